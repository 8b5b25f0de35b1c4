// vyrsim: steers the simulated fingerprint module of a running program
// through its control channel. Sends one command given as arguments, or the
// commands on standard input, one a line, and prints every reply.

#include "commands.h"
#include "replaycommand.h"
#include "socketdir.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vyrsim::control;

namespace {

// A stand-in answers at once (store add enrolls in a fifth of a second); one
// that is stopped or stuck is given up on after this long.
constexpr int kReplyTimeoutMs = 5000;

int complain(const std::string &message, int status = 1)
{
    std::fprintf(stderr, "vyrsim: %s\n", message.c_str());
    return status;
}

void printUsage()
{
    std::printf("usage: vyrsim [--pid N] [COMMAND [ARGUMENT...]]\n"
                "       vyrsim -h | --help | -v | --version\n\n"
                "Sends COMMAND to the simulated fingerprint module of a running program and\n"
                "prints the reply; without COMMAND, sends the commands on standard input, one a\n"
                "line (at a terminal, after a prompt; Ctrl+D ends). --pid N, before the command,\n"
                "chooses the program when several run. A program that does not answer within\n"
                "5 s is given up on. Exit status: 0 when every reply is ok, 1 on an error reply\n"
                "or no answer, 2 on a wrong command line.\n\n"
                "Commands:\n");
    for (const std::string &line : helpLines())
        std::printf("  %s\n", line.c_str());
    std::printf("\nRecordings of module calls (fpdesk --record FILE), read here with no program\n"
                "running; a module loaded with VYRSIM_REPLAY=FILE replays one:\n");
    for (const std::string &line : replayHelpLines())
        std::printf("  %s\n", line.c_str());
}

class Connection
{
public:
    explicit Connection(int fd)
        : m_fd(fd)
    { }
    ~Connection() { ::close(m_fd); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool send(const std::string &line, std::string &error)
    {
        const std::string data = line + "\n";
        std::size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t n = ::send(m_fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                error = "the simulated module took no command within "
                    + std::to_string(kReplyTimeoutMs / 1000) + " s; is its program stopped?";
                return false;
            }
            if (n < 0) {
                error = "cannot send: " + std::generic_category().message(errno);
                return false;
            }
            sent += std::size_t(n);
        }
        return true;
    }

    // One line of the reply, without its newline.
    bool readLine(std::string &line, std::string &error)
    {
        for (;;) {
            const std::size_t end = m_buffer.find('\n');
            if (end != std::string::npos) {
                line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return true;
            }
            pollfd polled {m_fd, POLLIN, 0};
            const int ready = ::poll(&polled, 1, kReplyTimeoutMs);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0) {
                error = "the simulated module gave no reply within "
                    + std::to_string(kReplyTimeoutMs / 1000) + " s; is its program stopped?";
                return false;
            }
            char chunk[4096];
            const ssize_t n = ready < 0 ? -1 : ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = "the simulated module closed the connection";
                return false;
            }
            m_buffer.append(chunk, std::size_t(n));
        }
    }

private:
    int m_fd;
    std::string m_buffer;
};

// Paths travel as the program sees them, which may not share our directory.
void makePathAbsolute(Command &command)
{
    if (!command.verb->pathLast || command.arguments.empty()
        || command.arguments.back().front() == '/')
        return;
    std::vector<char> directory(4096);
    if (::getcwd(directory.data(), directory.size()))
        command.arguments.back() = std::string(directory.data()) + "/" + command.arguments.back();
}

// Sends one command and prints its reply; false when the reply is an error.
// A lost connection ends the program.
bool exchange(Connection &connection, Command command)
{
    makePathAbsolute(command);
    std::string error;
    std::string line;
    if (!connection.send(command.line(), error) || !connection.readLine(line, error))
        std::exit(complain(error));
    std::printf("%s\n", line.c_str());
    const bool ok = line.compare(0, 2, "ok") == 0;
    while (ok && command.verb->listReply) {
        if (!connection.readLine(line, error))
            std::exit(complain(error));
        std::printf("%s\n", line.c_str());
        if (line.empty())
            break;
    }
    std::fflush(stdout);
    return ok;
}

// The connection to the one module running, or to the one of `pid`.
std::optional<int> connectToModule(std::optional<int> pid, std::string &error)
{
    const std::string directory = socketDirectory();
    if (::access(directory.c_str(), F_OK) != 0) {
        error = "no simulated module is running (no folder " + directory + ")";
        return std::nullopt;
    }
    if (!checkSocketDirectory(directory, error))
        return std::nullopt;
    const auto stuck = [](int process) {
        return "the simulated module in process " + std::to_string(process)
            + " took no connection within " + std::to_string(kReplyTimeoutMs / 1000)
            + " s; is its program stopped?";
    };
    if (pid) {
        const int fd = connectTo(socketPath(directory, *pid), kReplyTimeoutMs);
        if (fd < 0 && errno == EAGAIN)
            error = stuck(*pid);
        else if (fd < 0)
            error = "no simulated module runs in process " + std::to_string(*pid) + " (looked for "
                + socketPath(directory, *pid) + ")";
        return fd < 0 ? std::nullopt : std::optional<int>(fd);
    }
    std::vector<int> live;
    std::vector<int> fds;
    for (const int candidate : socketPids(directory)) {
        const int fd = connectTo(socketPath(directory, candidate), kReplyTimeoutMs);
        if (fd < 0 && errno != EAGAIN)
            continue; // left behind by a process that is gone
        live.push_back(candidate); // running, though perhaps not answering
        fds.push_back(fd);
    }
    if (live.size() == 1 && fds.front() < 0)
        error = stuck(live.front());
    if (live.size() == 1)
        return fds.front() < 0 ? std::nullopt : std::optional<int>(fds.front());
    for (const int fd : fds)
        if (fd >= 0)
            ::close(fd);
    if (live.empty()) {
        error = "no simulated module is running (looked in " + directory + ")";
    } else {
        error = std::to_string(live.size()) + " simulated modules are running (processes";
        for (std::size_t i = 0; i < live.size(); ++i)
            error += (i ? ", " : " ") + std::to_string(live[i]);
        error += "); choose one with --pid N";
    }
    return std::nullopt;
}

// Options go before the command; one after it would otherwise travel as an
// argument and be refused far from the cause. "./--pid" names a file.
bool pidAfterCommand(int argc, char *argv[], int first)
{
    for (int i = first; i < argc && std::strcmp(argv[first - 1], "--") != 0; ++i) {
        const std::string argument = argv[i];
        if (argument == "--pid" || argument.compare(0, 6, "--pid=") == 0)
            return true;
    }
    return false;
}

// The commands of standard input, a line each, until it ends: 0 when every
// one was sound and answered "ok", 1 otherwise.
int runScript(Connection &connection)
{
    // A person at a terminal sees a prompt, and how to get out; a script's
    // output stays as it was.
    const bool typed = ::isatty(STDIN_FILENO) == 1;
    if (typed)
        std::fprintf(stderr, "vyrsim: one command a line; help lists them, Ctrl+D ends\n");
    const auto prompt = [typed] {
        if (typed)
            std::fprintf(stderr, "vyrsim> ");
        return true;
    };
    bool allOk = true;
    std::string line;
    std::string error;
    while (prompt() && std::getline(std::cin, line)) {
        const std::size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#')
            continue; // blank lines and comments make scripts readable
        std::optional<Command> next = parseCommand(line, error);
        if (!next) {
            std::printf("error: %s\n", error.c_str());
            allOk = false;
            continue;
        }
        allOk = exchange(connection, *next) && allOk;
    }
    return allOk ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    std::optional<int> pid;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string option = argv[first];
        if (option == "--help" || option == "-h") {
            printUsage();
            return 0;
        }
        if (option == "--version" || option == "-v") {
            std::printf("vyrsim %s\n", FPDESK_VERSION);
            return 0;
        }
        if (option == "--pid" || option.compare(0, 6, "--pid=") == 0) {
            const std::string value
                = option == "--pid" ? (first + 1 < argc ? argv[++first] : "") : option.substr(6);
            char *end = nullptr;
            const long parsed = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || parsed < 1 || parsed > 1 << 30)
                return complain("--pid needs a process number", 2);
            pid = int(parsed);
            continue;
        }
        if (option == "--") {
            ++first;
            break;
        }
        if (option.size() > 1 && option[0] == '-')
            return complain("unknown option " + option + "; try --help", 2);
        break;
    }

    if (first < argc && std::string(argv[first]) == "replay")
        return replayCommand(std::vector<std::string>(argv + first + 1, argv + argc));

    if (pidAfterCommand(argc, argv, first))
        return complain("--pid goes before the command: vyrsim --pid N COMMAND ...", 2);

    std::optional<Command> command;
    if (first < argc) {
        std::string line;
        for (int i = first; i < argc; ++i)
            line += (i > first ? " " : "") + std::string(argv[i]);
        std::string error;
        command = parseCommand(line, error);
        if (!command)
            return complain("error: " + error, 2);
    }

    std::string error;
    const std::optional<int> fd = connectToModule(pid, error);
    if (!fd)
        return complain(error);
    Connection connection(*fd);
    if (!peerIsSameUser(*fd))
        return complain("the socket is served by another user");

    if (command)
        return exchange(connection, *command) ? 0 : 1;
    return runScript(connection);
}
