#ifndef WATCHDOG_H
#define WATCHDOG_H

#include <chrono>
#include <functional>
#include <thread>

// Whether `condition` holds within `ms`, checked without processing any
// events: the reports queued to the GUI thread stay queued meanwhile.
inline bool holdsWithin(const std::function<bool()> &condition, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// Runs `action` on a thread of its own once `condition` holds, or after
// `ms` at the latest, so that a test whose wait goes wrong fails instead of
// hanging. The action learns whether the condition came in time.
class Watchdog
{
public:
    Watchdog(std::function<bool()> condition, std::function<void(bool inTime)> action, int ms)
        : m_thread([=] { action(holdsWithin(condition, ms)); })
    { }
    ~Watchdog() { join(); }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
};

#endif // WATCHDOG_H
