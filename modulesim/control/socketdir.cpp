#include "socketdir.h"

#include "plumbing.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace vyrsim::control {

namespace {

bool checkDirectory(const std::string &directory, bool repairMode, std::string &error)
{
    struct stat info
    {
    };
    if (::lstat(directory.c_str(), &info) != 0) {
        error = "cannot use " + directory + ": " + lastError();
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = directory + " is not a directory";
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        error = directory + " belongs to another user";
        return false;
    }
    if ((info.st_mode & 077) != 0 && !(repairMode && ::chmod(directory.c_str(), 0700) == 0)) {
        error = directory + " is open to other users";
        return false;
    }
    return true;
}

} // namespace

std::string socketDirectory()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return std::string(runtime) + "/vyrsim";
    const char *temporary = std::getenv("TMPDIR");
    const std::string base = temporary && temporary[0] == '/' ? temporary : "/tmp";
    return base + "/vyrsim-" + std::to_string(::geteuid());
}

std::string socketPath(const std::string &directory, int pid)
{
    return directory + "/" + std::to_string(pid) + ".sock";
}

bool prepareSocketDirectory(const std::string &directory, std::string &error)
{
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + directory + ": " + lastError();
        return false;
    }
    return checkDirectory(directory, true, error);
}

bool checkSocketDirectory(const std::string &directory, std::string &error)
{
    return checkDirectory(directory, false, error);
}

std::vector<int> socketPids(const std::string &directory)
{
    std::vector<int> pids;
    DIR *listing = ::opendir(directory.c_str());
    if (!listing)
        return pids;
    while (const dirent *entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        const std::size_t dot = name.find('.');
        if (dot == 0 || dot > 9 || name.substr(dot) != ".sock"
            || name.find_first_not_of("0123456789") != dot)
            continue;
        pids.push_back(std::atoi(name.c_str()));
    }
    ::closedir(listing);
    std::sort(pids.begin(), pids.end());
    return pids;
}

bool peerIsSameUser(int fd)
{
    ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer
        && peer.uid == ::geteuid();
}

int connectTo(const std::string &path, int timeoutMs)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // A Unix socket's connect waits for room in the listener's queue no
    // longer than the send timeout.
    const timeval timeout {timeoutMs / 1000, timeoutMs % 1000 * 1000};
    if (timeoutMs > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

bool processAlive(int pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno != ESRCH);
}

} // namespace vyrsim::control
