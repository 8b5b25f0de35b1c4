#ifndef HANDLERS_H
#define HANDLERS_H

// One handler a command of the table (commands.cpp), bound to it by name
// in handlers.cpp. Each checks its arguments, acts through the request's
// ControlApi and words the reply; none keeps state between calls.

#include "commands.h"

#include <string>
#include <vector>

namespace vyrsim::control {

struct ControlApi; // dispatcher.h

// What a command's handler is given: the calls to act through, the command
// as the table names it and its arguments, already counted.
struct Request
{
    const ControlApi &api;
    const Verb &verb;
    const std::vector<std::string> &args;

    // "usage: NAME ARGUMENTS", for a reply that says how to call it.
    std::string usage() const;
};

// The whole reply to a command, each of its lines ending in '\n'.
using Handler = std::string (*)(const Request &);

// The handler of a command of the table; null for a name that has none.
Handler handlerFor(const Verb &verb);

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
