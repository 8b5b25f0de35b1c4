// Lines of the control channel, each answered by the listener's Dispatcher
// on the real module: its exported control calls, store file writes and all.
// Every reply is whole lines: one beginning "ok" or "error: ", and for an
// "ok" to a command with a list reply, its lines up to an empty one.
//
// The module is made while the program loads, and reads its environment
// then; so before any other initialiser runs, a throw-away folder is made,
// the store put inside it, the control socket turned off and the folder
// made the working directory. Each input then starts from an empty folder
// holding two pictures and a reset module, so that a failure replays from
// its input alone.

#include "commands.h"
#include "dispatcher.h"
#include "fuzzsupport.h"
#include "handlers.h"
#include "replies.h"
#include "vyrsim.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utility>

#include <dirent.h>
#include <unistd.h>

namespace {

// Freed by the exit handler below, which runs after the module is gone: it is
// registered before the module is made.
fuzz::PrivateDir *folder = nullptr;

__attribute__((constructor(101))) void beforeTheModule()
{
    folder = new fuzz::PrivateDir;
    fuzz::require(::setenv("VYRSIM_STORE", folder->file("store").c_str(), 1) == 0
                      && ::setenv("VYRSIM_CONTROL", "0", 1) == 0
                      && ::chdir(folder->path().c_str()) == 0,
                  "the module is set up inside the private folder");
    std::atexit([] { delete folder; });
}

void emptyFolder()
{
    DIR *listing = ::opendir(".");
    fuzz::require(listing != nullptr, "the private folder can be listed");
    while (const dirent *entry = ::readdir(listing))
        if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..")
            ::unlink(entry->d_name);
    ::closedir(listing);
}

// Two pictures for image to find, the one wider than the module takes.
void putPictures()
{
    const std::string small = "P5 8 8 255\n" + std::string(64, '\x80');
    const std::string wide = "P5 4100 2 255\n" + std::string(8200, '\x40');
    for (const auto &[name, bytes] : {std::pair("small.pgm", small), std::pair("wide.pgm", wide)})
        folder->write(name, reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
}

// Lines that are run. import, export and image take a path from the input:
// only a relative one without ".." is sure to stay inside the folder, which
// holds no links and no subfolders; a fuzzer given the others would read and
// write files of the machine it runs on. And enrolling a finger draws and
// reads two presses, a tenth of a second in a plain build but seconds with
// the sanitizers and libFuzzer's hooks, for each finger the module has not
// kept: store add enrolls finger 1 alone, kept after its first time. Other
// finger numbers pass the same checks of the handler.
bool runnable(const vyrsim::control::Command &command)
{
    const std::vector<std::string> &args = command.arguments;
    if (std::string_view(command.verb->name) == "store add" && args.size() == 2)
        return vyrsim::control::number(args[1], 2, vyrsim::control::kMaxFinger) == std::nullopt;
    if (!command.verb->pathLast || args.empty())
        return true;
    const std::string &path = args.back();
    return !path.empty() && path.front() != '/' && path.find("..") == std::string::npos;
}

void checkReply(const std::string &reply, const vyrsim::control::Verb *verb)
{
    fuzz::require(!reply.empty() && reply.back() == '\n', "a reply is whole lines");
    const bool ok = reply.compare(0, 2, "ok") == 0 && (reply[2] == ' ' || reply[2] == '\n');
    fuzz::require(ok || reply.compare(0, 7, "error: ") == 0, "a reply begins ok or error: ");
    const std::size_t firstEnd = reply.find('\n');
    if (!ok || !verb || !verb->listReply)
        fuzz::require(firstEnd + 1 == reply.size(), "a reply that is no list is one line");
    else
        fuzz::require(reply.find("\n\n", firstEnd) + 2 == reply.size(),
                      "a list ends at its first empty line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    emptyFolder();
    putPictures();
    vyrsim_reset();
    fuzz::require(vyrsim_use_store(folder->file("store").c_str()) == 0, "an empty store is used");
    const vyrsim::control::Dispatcher dispatcher;
    std::string_view rest(reinterpret_cast<const char *>(data), size);
    while (!rest.empty()) {
        const std::string_view line = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(std::min(rest.size(), line.size() + 1));
        std::string error;
        const auto command = vyrsim::control::parseCommand(line, error);
        if (command && !runnable(*command))
            continue;
        checkReply(dispatcher.reply(line), command ? command->verb : nullptr);
    }
    return 0;
}
