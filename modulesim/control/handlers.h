#ifndef HANDLERS_H
#define HANDLERS_H

// One handler a command, each named in its row of the command table
// (commands.cpp). Each checks its arguments, acts through the request's
// ControlApi and words the reply; none keeps state between calls.

#include "commands.h"

#include <string>

namespace vyrsim::control {

// The highest finger a command may name, as the module's control calls take.
constexpr int kMaxFinger = 1000000;

// The module, the sensor and the faults: modulehandlers.cpp
std::string handleHelp(const Request &request);
std::string handleStatus(const Request &request);
std::string handlePress(const Request &request);
std::string handleLift(const Request &request);
std::string handleImage(const Request &request);
std::string handleAutopilot(const Request &request);
std::string handleAttach(const Request &request);
std::string handleDetach(const Request &request);
std::string handleDelay(const Request &request);
std::string handlePassword(const Request &request);
std::string handleFailClear(const Request &request);
std::string handleFail(const Request &request);
std::string handleLog(const Request &request);

// The store: storehandlers.cpp
std::string handleStoreList(const Request &request);
std::string handleStoreAdd(const Request &request);
std::string handleStoreDelete(const Request &request);
std::string handleStoreClear(const Request &request);
std::string handleStoreExport(const Request &request);
std::string handleStoreImport(const Request &request);

} // namespace vyrsim::control

#endif // HANDLERS_H
