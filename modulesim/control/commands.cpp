#include "commands.h"

#include <algorithm>

namespace vyrsim::control {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Splits off the first word of `text`, which then holds the rest, trimmed.
std::string_view nextWord(std::string_view &text)
{
    std::size_t end = 0;
    while (end < text.size() && !isBlank(text[end]))
        ++end;
    const std::string_view word = text.substr(0, end);
    text = trimmed(text.substr(end));
    return word;
}

// Finds a table entry by its name: "store add" before "store", "fail clear"
// before "fail".
const Verb *findVerb(std::string_view &rest)
{
    std::string_view afterFirst = rest;
    const std::string_view first = nextWord(afterFirst);
    std::string_view afterSecond = afterFirst;
    const std::string twoWords = std::string(first) + " " + std::string(nextWord(afterSecond));
    for (const Verb &verb : commandTable()) {
        if (verb.name == twoWords) {
            rest = afterSecond;
            return &verb;
        }
    }
    for (const Verb &verb : commandTable()) {
        if (verb.name == first) {
            rest = afterFirst;
            return &verb;
        }
    }
    return nullptr;
}

// The second words of the two-word commands that begin with `first`
// ("list, add, ..." for "store"); empty when none does.
std::string verbsOf(std::string_view first)
{
    const std::string prefix = std::string(first) + " ";
    std::string verbs;
    for (const Verb &verb : commandTable())
        if (std::string_view(verb.name).substr(0, prefix.size()) == prefix)
            verbs += (verbs.empty() ? "" : ", ") + std::string(verb.name).substr(prefix.size());
    return verbs;
}

} // namespace

const std::vector<Verb> &commandTable()
{
    static const std::vector<Verb> table = {
        {"help", "", 0, 0, false, true, "list the commands"},
        {"status", "", 0, 0, false, false, "what the module is doing, as key=value pairs"},
        {"press", "[FINGER]", 0, 1, false, false,
         "put a finger (default 1) on the sensor and keep it there; the autopilot stops"},
        {"lift", "", 0, 0, false, false,
         "take every finger and image off the sensor; the autopilot stops"},
        {"image", "FILE", 1, 1, true, false,
         "put a PNG, BMP or binary PGM image of any size on the sensor, centred"},
        {"autopilot", "on|off|FINGER", 1, 1, false, false,
         "the operator who presses a finger now and then (FINGER: on, with that finger)"},
        {"attach", "", 0, 0, false, false, "plug the module in"},
        {"detach", "", 0, 0, false, false, "unplug the module: calls fail as with no module"},
        {"delay", "MS", 1, 1, false, false, "each image request and upload takes MS milliseconds"},
        {"password", "HEX", 1, 1, false, false,
         "VYRVfyPwd takes the 4-byte password HEX (8 hex digits) from now on"},
        {"fail clear", "", 0, 0, false, false, "disarm every fault"},
        {"fail", "ENTRY [CODE] [COUNT]", 1, 3, false, false,
         "calls of the entry point fail with CODE (default 1): the next COUNT, or all until fail "
         "clear"},
        {"store list", "", 0, 0, false, true, "the IDs that hold a template"},
        {"store add", "ID FINGER", 2, 2, false, false, "enroll a finger under the ID"},
        {"store delete", "ID", 1, 1, false, false, "delete the template under the ID"},
        {"store clear", "", 0, 0, false, false, "delete every template"},
        {"store export", "ID FILE", 2, 2, true, false,
         "write the template under the ID to FILE as its 512-byte block"},
        {"store import", "ID FILE", 2, 2, true, false,
         "store the 512-byte template block in FILE under the ID"},
        {"log", "[N]", 0, 1, false, true,
         "the last N entry point calls (default 10), with arguments and results"},
    };
    return table;
}

std::string Command::line() const
{
    std::string text = verb->name;
    for (const std::string &argument : arguments)
        text += " " + argument;
    return text;
}

std::optional<Command> parseCommand(std::string_view line, std::string &error)
{
    std::string_view rest = trimmed(line);
    if (rest.empty()) {
        error = "empty command";
        return std::nullopt;
    }
    if (line.size() > kMaxLineBytes) {
        error = "line longer than " + std::to_string(kMaxLineBytes) + " bytes";
        return std::nullopt;
    }
    if (line.find('\0') != std::string_view::npos) {
        error = "NUL byte in the line";
        return std::nullopt;
    }
    Command command;
    const std::string_view name = trimmed(rest.substr(0, rest.find_first_of(" \t")));
    command.verb = findVerb(rest);
    if (!command.verb) {
        const std::string verbs = verbsOf(name);
        error = verbs.empty() ? "unknown command '" + std::string(name) + "'"
                              : std::string(name) + " needs one of: " + verbs;
        error += "; help lists the commands";
        return std::nullopt;
    }
    const Verb &verb = *command.verb;
    while (!rest.empty()) {
        const bool path = verb.pathLast && int(command.arguments.size()) == verb.maxArguments - 1;
        command.arguments.emplace_back(path ? rest : nextWord(rest));
        if (path)
            rest = {};
    }
    const int count = int(command.arguments.size());
    if (count < verb.minArguments || count > verb.maxArguments) {
        error = std::string(count < verb.minArguments ? "too few" : "too many")
            + " arguments; usage: " + verb.name + (*verb.arguments ? " " : "") + verb.arguments;
        return std::nullopt;
    }
    return command;
}

std::vector<std::string> helpLines()
{
    std::size_t width = 0;
    for (const Verb &verb : commandTable())
        width = std::max(width,
                         std::string(verb.name).size() + 1 + std::string(verb.arguments).size());
    std::vector<std::string> lines;
    for (const Verb &verb : commandTable()) {
        std::string usage = std::string(verb.name) + (*verb.arguments ? " " : "") + verb.arguments;
        usage.resize(width + 2, ' ');
        lines.push_back(usage + verb.summary);
    }
    return lines;
}

} // namespace vyrsim::control
