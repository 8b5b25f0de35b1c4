#ifndef REPLIES_H
#define REPLIES_H

// The words every handler answers with: "ok ...", "error: ...", and an "ok"
// followed by a list up to an empty line.

#include <optional>
#include <string>
#include <vector>

namespace vyrsim::control {

// The argument as a number inside [low, high], or nothing.
std::optional<int> number(const std::string &text, int low, int high);

std::string ok(const std::string &text);
std::string failure(const std::string &text);
std::string list(const std::string &text, const std::vector<std::string> &lines);

} // namespace vyrsim::control

#endif // REPLIES_H
