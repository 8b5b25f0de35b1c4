#ifndef PLUMBING_H
#define PLUMBING_H

// What the module's files would otherwise each write again: little-endian
// integers inside byte blocks (the template block, the store file and BMP
// headers are all little-endian), errno in words for a message, a file
// descriptor that is closed on every way out of a function, and a thread
// that is joined on every way out.

#include <cerrno>
#include <cstdint>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

namespace vyrsim {

inline std::uint32_t getLe16(const unsigned char *at)
{
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8;
}

inline std::uint32_t getLe32(const unsigned char *at)
{
    return getLe16(at) | getLe16(at + 2) << 16;
}

inline void putLe16(unsigned char *at, std::uint32_t value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

inline void putLe32(unsigned char *at, std::uint32_t value)
{
    putLe16(at, value & 0xffff);
    putLe16(at + 2, value >> 16);
}

inline void appendLe32(std::vector<unsigned char> &out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// The last failed call's errno, as words to follow "cannot ...: ".
inline std::string lastError()
{
    return std::generic_category().message(errno);
}

// Owns a descriptor: closes it when it goes out of scope, unless released
// to be closed by hand where the result of close() matters.
class Fd
{
public:
    explicit Fd(int fd = -1)
        : m_fd(fd)
    { }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;

    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// Joins its thread when it goes out of scope: an exception thrown while the
// thread runs would otherwise reach std::thread's destructor, which ends the
// process.
class JoinedThread
{
public:
    JoinedThread() = default;
    ~JoinedThread() { join(); }
    JoinedThread(const JoinedThread &) = delete;
    JoinedThread &operator=(const JoinedThread &) = delete;

    // Throws std::system_error, as std::thread does, when no thread can be had.
    template<typename Body> void start(Body &&body)
    {
        join();
        m_thread = std::thread(std::forward<Body>(body));
    }
    bool running() const { return m_thread.joinable(); }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
};

} // namespace vyrsim

#endif // PLUMBING_H
