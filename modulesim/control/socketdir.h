#ifndef SOCKETDIR_H
#define SOCKETDIR_H

// Where the control sockets live and who may use them, for both ends.
// Every process with the stand-in loaded has its socket <pid>.sock in one
// directory that only the user can enter: $XDG_RUNTIME_DIR/vyrsim, or,
// without XDG_RUNTIME_DIR, vyrsim-<uid> in the temporary directory.

#include <string>
#include <vector>

namespace vyrsim::control {

std::string socketDirectory();
std::string socketPath(const std::string &directory, int pid);

// Creates the directory when it is missing. False, with `error` saying why,
// unless it is a real directory of the user's that nobody else can enter.
bool prepareSocketDirectory(const std::string &directory, std::string &error);
// The same checks, creating nothing: for a client.
bool checkSocketDirectory(const std::string &directory, std::string &error);

// The pids of the sockets in the directory, whatever state they are in.
std::vector<int> socketPids(const std::string &directory);

// True when the other end of a connected Unix socket runs as this user.
bool peerIsSameUser(int fd);

// A blocking connection to a socket, or -1 with errno set. With a timeout,
// connecting and every later send give up after that long (errno EAGAIN):
// a process that is stopped, or whose listener is stuck, stops nobody.
int connectTo(const std::string &path, int timeoutMs = 0);

bool processAlive(int pid);

} // namespace vyrsim::control

#endif // SOCKETDIR_H
