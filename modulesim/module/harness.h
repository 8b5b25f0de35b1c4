#ifndef HARNESS_H
#define HARNESS_H

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vyrsim {

// Not an entry point, but a gate too: the synthetic enrollment of a finger
// not enrolled before waits there, holding no lock of the module.
inline constexpr const char *kEnrollmentGate = "vyrsim_store";
// And the write of a changed store to its file, which waits there holding
// only the store's writer lock, not the module's.
inline constexpr const char *kStoreWriteGate = "vyrsim_store_write";

// What a test steers besides the module itself: injected failures, gates
// that hold calls back, and the log of every call. Entry points pass through
// enter() first and record() last.
class Harness
{
public:
    static Harness &instance();

    void reset();

    bool setFault(const std::string &entry, int first, int count, int code);
    void clearFaults();
    // The faults still to strike, as "Entry:code:calls,..." (calls: how many
    // more will fail, or "all"; "@n" after it when they begin only with the
    // n-th call from now); "none" when no fault is armed.
    std::string describeFaults() const;
    bool setGate(const std::string &entry, bool closed);
    int waiting() const;

    // Waits while the entry point's gate is closed, then counts the call and
    // returns the code it must fail with, if a fault covers it.
    std::optional<int> enter(const char *entry);
    // Waits while the gate of that name is closed.
    void passGate(const char *name);
    void record(std::string line);

    int logSize() const;
    std::optional<std::string> logEntry(int index) const;
    void clearLog();

private:
    void waitAtGate(std::unique_lock<std::mutex> &lock, const char *name);

    struct Fault
    {
        long long first = 0;
        long long last = 0; // -1: no end
        int code = 0;
        long long calls = 0;
    };

    mutable std::mutex m_mutex;
    std::condition_variable m_gateOpened;
    std::map<std::string, Fault> m_faults;
    std::set<std::string> m_closedGates;
    int m_waiting = 0;
    // The most recent calls only: a program left open under the autopilot
    // calls the module many times a second, for hours.
    static constexpr std::size_t kLogKept = 20000;
    std::deque<std::string> m_log;
};

bool isEntryPoint(const std::string &name);

} // namespace vyrsim

#endif // HARNESS_H
