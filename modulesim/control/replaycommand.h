#ifndef REPLAYCOMMAND_H
#define REPLAYCOMMAND_H

// `vyrsim replay ...`: reads a recording of module calls here, with no
// program running: lists its calls, writes its frames as PNG, or writes a
// copy without frames and templates.

#include <string>
#include <vector>

namespace vyrsim::control {

int replayCommand(const std::vector<std::string> &arguments);
std::vector<std::string> replayHelpLines();

} // namespace vyrsim::control

#endif // REPLAYCOMMAND_H
