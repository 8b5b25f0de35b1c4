#include "replies.h"

#include <charconv>

namespace vyrsim::control {

std::optional<int> number(const std::string &text, int low, int high)
{
    int value = 0;
    const char *end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string ok(const std::string &text)
{
    return "ok " + text + "\n";
}

std::string failure(const std::string &text)
{
    return "error: " + text + "\n";
}

std::string list(const std::string &text, const std::vector<std::string> &lines)
{
    std::string reply = ok(text);
    for (const std::string &line : lines)
        reply += line + "\n";
    return reply + "\n";
}

} // namespace vyrsim::control
