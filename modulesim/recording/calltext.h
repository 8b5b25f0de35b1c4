#ifndef RECORDING_CALLTEXT_H
#define RECORDING_CALLTEXT_H

// A call as one line, as the program's call trace writes it, for listing a
// recording and for saying where a replay left it.

#include "recording.h"

#include <string>

namespace recording {

// "VYRSearch(1, -1, 1, 0, 1000, &5, &403)": values as numbers, outputs as
// what the call wrote (or "&?" when `withOutputs` is false, for a call that
// has not run), texts quoted, short byte strings in hex, frames and
// templates by their size.
std::string callText(const std::string &name, const std::vector<Argument> &arguments,
                     bool withOutputs);

// callText with its result and time: "... = 0, 30112 us".
std::string callLine(const Call &call);

} // namespace recording

#endif // RECORDING_CALLTEXT_H
