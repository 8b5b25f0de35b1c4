#include "listener.h"

#include "commands.h"
#include "dispatcher.h"
#include "harness.h"
#include "module.h"
#include "plumbing.h"
#include "socketdir.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <list>
#include <system_error>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vyrsim::control {

namespace {

constexpr int kMaxClients = 32;
constexpr std::size_t kReadChunk = 65536;
// A client that reads no replies gets no more commands served past this.
constexpr std::size_t kOutputLimit = 256 * 1024;
constexpr std::chrono::milliseconds kAcceptBackOff {100};

struct Client
{
    int fd = -1;
    std::string in; // bytes of lines not yet answered
    std::string out; // replies not yet written
    bool discarding = false; // inside a refused over-long line, up to its newline
    bool closing = false; // the client sent its last byte
    bool dead = false;
};

void sendSome(Client &client)
{
    while (!client.out.empty()) {
        const ssize_t n
            = ::send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            client.dead = errno != EAGAIN && errno != EWOULDBLOCK;
            return;
        }
        client.out.erase(0, std::size_t(n));
    }
}

// Answers the complete lines in the client's buffer, while its replies fit.
void answerLines(Client &client, const Dispatcher &dispatcher)
{
    std::size_t start = 0;
    while (client.out.size() < kOutputLimit) {
        const std::size_t end = client.in.find('\n', start);
        if (end == std::string::npos)
            break;
        if (client.discarding)
            client.discarding = false; // that newline ends the refused line
        else
            client.out += dispatcher.reply(std::string_view(client.in).substr(start, end - start));
        start = end + 1;
    }
    client.in.erase(0, start);
    if (client.in.find('\n') != std::string::npos)
        return; // waits until the replies drain
    if (client.discarding) {
        client.in.clear();
    } else if (client.in.size() > kMaxLineBytes) {
        client.out += "error: line longer than " + std::to_string(kMaxLineBytes) + " bytes\n";
        client.in.clear();
        client.discarding = true;
    }
}

void readSome(Client &client, const Dispatcher &dispatcher)
{
    char chunk[kReadChunk];
    const ssize_t n = ::recv(client.fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0) {
        client.dead = errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
        return;
    }
    if (n == 0)
        client.closing = true; // a line cut short by the end is never run
    client.in.append(chunk, std::size_t(n));
    answerLines(client, dispatcher);
}

// One client's commands, served on a thread of its own until the client
// leaves or the wake-up descriptor ends the listener. A command that takes
// long (a large image, an enrollment) delays only its own client's replies.
void serveClient(Client &client, int wakeFd, const Dispatcher &dispatcher)
{
    while (!client.dead) {
        short events = 0;
        if (!client.closing && client.out.size() < kOutputLimit)
            events |= POLLIN;
        if (!client.out.empty())
            events |= POLLOUT;
        pollfd polled[2] = {{wakeFd, POLLIN, 0}, {client.fd, events, 0}};
        if (::poll(polled, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (polled[0].revents)
            break;
        const short revents = polled[1].revents;
        if (revents & POLLIN)
            readSome(client, dispatcher);
        else if (revents & (POLLHUP | POLLERR | POLLNVAL))
            client.dead = true;
        if (revents & POLLOUT)
            answerLines(client, dispatcher); // lines held back for a full output
        if (!client.dead)
            sendSome(client);
        if (client.closing && client.out.empty())
            client.dead = true;
    }
    ::close(client.fd);
}

// A connected client and the thread that serves it.
struct Session
{
    Client client;
    std::atomic<bool> done {false};
    JoinedThread thread; // last: joined before the rest goes
};

// Joins the threads of clients that have left.
void dropDoneSessions(std::list<Session> &sessions)
{
    sessions.remove_if([](const Session &session) { return session.done.load(); });
}

// Starts a thread for the client on `fd`; where none can be had, the client
// is told so and let go, and the channel serves the others on.
void startSession(std::list<Session> &sessions, int fd, int wakeFd, const Dispatcher &dispatcher)
{
    Session &session = sessions.emplace_back();
    session.client.fd = fd;
    try {
        session.thread.start([&session, wakeFd, &dispatcher] {
            serveClient(session.client, wakeFd, dispatcher);
            session.done = true;
        });
    } catch (const std::system_error &) {
        static const char refusal[] = "error: no thread to serve another client\n";
        ::send(fd, refusal, sizeof refusal - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(fd);
        sessions.pop_back();
    }
}

// False when the process is out of descriptors (or memory): the pending
// connection stays queued and poll would report it again at once.
bool acceptClients(int listenFd, int wakeFd, std::list<Session> &sessions,
                   const Dispatcher &dispatcher)
{
    for (;;) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return errno != EMFILE && errno != ENFILE && errno != ENOBUFS && errno != ENOMEM;
        if (!peerIsSameUser(fd)) {
            ::close(fd);
            continue;
        }
        dropDoneSessions(sessions);
        if (sessions.size() >= std::size_t(kMaxClients)) {
            static const char full[] = "error: too many clients\n";
            ::send(fd, full, sizeof full - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(fd);
            continue;
        }
        startSession(sessions, fd, wakeFd, dispatcher);
    }
}

using Clock = std::chrono::steady_clock;

// Milliseconds from now to `at`, rounded up; 0 once it has passed.
int msUntil(Clock::time_point at)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(at - Clock::now());
    return int(std::max<long long>(0, left.count()));
}

// Accepts clients until the wake-up descriptor is written to; each client
// is served on a thread of its own, and every one is joined before this
// returns. The wake-up descriptor is never read, so that it stays readable
// for every thread.
void serve(int listenFd, int wakeFd)
{
    const Dispatcher dispatcher;
    std::list<Session> sessions; // after the dispatcher: its threads go first
    bool backingOff = false; // out of descriptors: no accepting before acceptAgainAt
    Clock::time_point acceptAgainAt;
    bool toldOutOfDescriptors = false;
    for (;;) {
        const short listenEvents = backingOff ? 0 : POLLIN;
        pollfd polled[2] = {{wakeFd, POLLIN, 0}, {listenFd, listenEvents, 0}};
        if (::poll(polled, 2, backingOff ? msUntil(acceptAgainAt) : -1) < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "vyrsim: the control channel stops: %s\n", lastError().c_str());
            break;
        }
        if (polled[0].revents)
            break;
        if (backingOff && Clock::now() >= acceptAgainAt)
            backingOff = false;
        if ((polled[1].revents & POLLIN)
            && !acceptClients(listenFd, wakeFd, sessions, dispatcher)) {
            // Served clients go on; new ones wait in the queue until a
            // descriptor is free, looked for ten times a second.
            acceptAgainAt = Clock::now() + kAcceptBackOff;
            backingOff = true;
            if (!toldOutOfDescriptors)
                std::fprintf(stderr, "vyrsim: the control channel accepts no client: %s\n",
                             lastError().c_str());
            toldOutOfDescriptors = true;
        } else if (polled[1].revents & POLLIN) {
            toldOutOfDescriptors = false;
        }
    }
    // A poll that failed leaves the clients' threads polling: they are told.
    const std::uint64_t one = 1;
    while (::write(wakeFd, &one, sizeof one) < 0 && errno == EINTR) { }
    sessions.clear();
    ::close(listenFd);
}

// A socket listening on the address's path, readable by this user alone,
// with what stat() says of its file; -1 with `why` said otherwise, the
// socket file removed again if this call made it.
int listenOn(const sockaddr_un &address, struct stat &info, std::string &why)
{
    const char *path = address.sun_path;
    const int listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    bool bound = false; // the socket file is ours to remove
    const auto fail = [&](const std::string &reason) {
        why = reason;
        if (bound)
            ::unlink(path);
        if (listenFd >= 0)
            ::close(listenFd);
        return -1;
    };
    if (listenFd < 0)
        return fail(lastError());
    const auto bindSocket = [&] {
        return ::bind(listenFd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    };
    if (!bindSocket()) {
        if (errno != EADDRINUSE)
            return fail(lastError());
        // Left by an earlier process of the same pid, unless a second copy
        // of the library in this very process answers on it.
        const int probe = connectTo(path);
        if (probe >= 0) {
            ::close(probe);
            return fail("another copy of the library in this process serves it");
        }
        ::unlink(path);
        if (!bindSocket())
            return fail(lastError());
    }
    bound = true;
    if (::chmod(path, 0600) != 0 || ::listen(listenFd, 16) != 0 || ::stat(path, &info) != 0)
        return fail(lastError());
    return listenFd;
}

// Sockets of processes that are gone: killed before they could remove them.
void removeStaleSockets(const std::string &directory)
{
    for (const int pid : socketPids(directory))
        if (pid != ::getpid() && !processAlive(pid))
            ::unlink(socketPath(directory, pid).c_str());
}

// Opens the channel when the library is loaded and closes it when the
// library is unloaded or the process exits. The module, the harness and the
// listener are made first, so that they are destroyed after this object:
// the thread never outlives what it calls.
class Autostart
{
public:
    // No exception may leave a library's load: it would end the process
    // that loads it.
    Autostart()
    {
        try {
            Module::instance();
            Harness::instance();
            Listener &listener = Listener::instance();
            const char *control = std::getenv("VYRSIM_CONTROL");
            if (!control || std::strcmp(control, "0") != 0)
                listener.start();
        } catch (const std::exception &error) {
            std::fprintf(stderr, "vyrsim: no control channel: %s\n", error.what());
        }
    }
    ~Autostart() { Listener::instance().stop(); }
    Autostart(const Autostart &) = delete;
    Autostart &operator=(const Autostart &) = delete;
};

const Autostart autostart;

} // namespace

Listener &Listener::instance()
{
    static Listener listener;
    return listener;
}

Listener::~Listener()
{
    stop();
}

bool Listener::start()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_thread.joinable())
        return true;
    const std::string directory = socketDirectory();
    std::string error;
    if (!prepareSocketDirectory(directory, error)) {
        std::fprintf(stderr, "vyrsim: no control channel: %s\n", error.c_str());
        return false;
    }
    removeStaleSockets(directory);
    const std::string path = control::socketPath(directory, ::getpid());
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "vyrsim: no control channel: the path %s is too long\n", path.c_str());
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    std::string why;
    struct stat info
    {
    };
    const int listenFd = listenOn(address, info, why);
    const int wakeFd = listenFd < 0 ? -1 : ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (listenFd >= 0 && wakeFd < 0) {
        why = lastError();
        ::unlink(path.c_str());
        ::close(listenFd);
    }
    if (wakeFd < 0) {
        std::fprintf(stderr, "vyrsim: no control channel on %s: %s\n", path.c_str(), why.c_str());
        return false;
    }
    try {
        m_thread = std::thread(serve, listenFd, wakeFd);
    } catch (const std::system_error &error) {
        // Where no thread can be had: the module works on without its
        // channel, and nothing of the channel is left behind.
        ::unlink(path.c_str());
        ::close(listenFd);
        ::close(wakeFd);
        std::fprintf(stderr, "vyrsim: no control channel: no thread to serve it (%s)\n",
                     error.code().message().c_str());
        return false;
    }
    m_wakeFd = wakeFd;
    m_path = path;
    m_device = info.st_dev;
    m_inode = info.st_ino;
    return true;
}

void Listener::stop()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_thread.joinable())
        return;
    const std::uint64_t one = 1;
    while (::write(m_wakeFd, &one, sizeof one) < 0 && errno == EINTR) { }
    m_thread.join();
    ::close(m_wakeFd);
    m_wakeFd = -1;
    struct stat info
    {
    };
    if (::stat(m_path.c_str(), &info) == 0 && info.st_dev == m_device && info.st_ino == m_inode)
        ::unlink(m_path.c_str());
    m_path.clear();
}

std::string Listener::socketPath() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_path;
}

} // namespace vyrsim::control
