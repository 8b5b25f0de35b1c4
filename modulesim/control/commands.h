#ifndef COMMANDS_H
#define COMMANDS_H

// The commands of the control channel, one table for both ends: the
// library's listener parses lines with it and answers each by the handler
// of that name (handlers.h), and the vyrsim program checks what it is asked
// to send, makes file paths absolute and knows which replies go on over
// several lines. The table names no handler, so that the program carries
// none of them, nor what they read and write.
//
// A command is one line of words separated by blanks. Its name is one word
// or two ("store add"); a file argument comes last and takes the rest of the
// line, blanks and all. Replies are one line beginning "ok" or "error:"; an
// "ok" to a command with a list reply goes on with lines up to an empty one.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vyrsim::control {

// Longer lines are refused, on the channel and by vyrsim.
constexpr std::size_t kMaxLineBytes = 4096;

struct Verb
{
    const char *name;
    const char *arguments; // as help shows them: "ID FINGER", "[N]"
    int minArguments;
    int maxArguments;
    bool pathLast; // the last argument is a file path
    bool listReply;
    const char *summary;
};

const std::vector<Verb> &commandTable();

struct Command
{
    const Verb *verb = nullptr;
    std::vector<std::string> arguments;

    // The command as a line to send, without its newline.
    std::string line() const;
};

// The command a line holds, or nothing with `error` saying what is wrong
// (in words fit to follow "error: ").
std::optional<Command> parseCommand(std::string_view line, std::string &error);

// One line a command: its syntax and summary.
std::vector<std::string> helpLines();

} // namespace vyrsim::control

#endif // COMMANDS_H
