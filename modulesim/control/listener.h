#ifndef LISTENER_H
#define LISTENER_H

#include <mutex>
#include <string>
#include <thread>

#include <sys/types.h>

namespace vyrsim::control {

// The control channel's socket and the threads that serve it: one accepts
// clients, up to 32 at once, and each client has a thread of its own, which
// reads what the client sends into a buffer of its own, answers complete
// lines in order through a Dispatcher and writes replies without ever
// blocking; the module's lock is taken only inside the calls the Dispatcher
// makes, never across a read or a write. A client that says nothing, sends
// garbage or an endless line, reads no replies or asks for something slow
// costs a buffer of bounded size and a thread, and delays nobody else.
//
// Opened when the library is loaded (unless VYRSIM_CONTROL=0) and closed,
// socket file and all, when it is unloaded or the process exits.
class Listener
{
public:
    static Listener &instance();
    ~Listener();

    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    // Opens the socket and starts serving it; false, with the reason on
    // standard error, when it cannot. True at once while serving already.
    bool start();
    void stop();
    std::string socketPath() const;

private:
    Listener() = default;

    mutable std::mutex m_mutex;
    std::thread m_thread; // accepts, and joins every client's thread before it ends
    int m_wakeFd = -1; // an eventfd: written to end every thread's poll
    std::string m_path;
    dev_t m_device = 0; // of the socket file, so that stop removes only our own
    ino_t m_inode = 0;
};

} // namespace vyrsim::control

#endif // LISTENER_H
