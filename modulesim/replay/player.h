#ifndef VYRSIM_PLAYER_H
#define VYRSIM_PLAYER_H

// The module as a recording shows it: while a replay runs, every entry point
// is answered from the recording, in its order, instead of by the simulated
// module. A call must be the one the recording holds next, with the same
// inputs; it then gets the recorded result and outputs after the recorded
// time. The first call that goes another way, or comes after the last
// recorded one, is said on stderr and in the status, and fails with a code
// of its own, as does every call after it, so a session that left the
// recording cannot look like one that followed it.

#include "callcapture.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace vyrsim {

class Player
{
public:
    static Player &instance();

    // Answers from the recording at `path` from now on, at `speed` times
    // its pace (0: at once). A recording that cannot be read whole is
    // refused with one line on stderr; every call then fails until stop().
    bool start(const std::string &path, double speed);
    void stop();

    bool active() const { return m_active.load(std::memory_order_acquire); }
    int answer(const char *name, recording::ShapeList shapes, const recording::Param *params);
    // One line for the module's status, empty while no replay runs.
    std::string status() const;

private:
    enum class State { Off, Playing, WentAstray, Ended, Refused };

    Player() = default;
    int fail(State state, int code, const std::string &report);

    mutable std::mutex m_mutex;
    std::atomic<bool> m_active {false};
    State m_state = State::Off;
    std::string m_path;
    // Shared with the calls under way, which a stop or a new start while
    // they wait must not pull from under them.
    std::shared_ptr<const recording::Recording> m_recording;
    std::size_t m_next = 0;
    double m_speed = 1;
    std::string m_report;
};

} // namespace vyrsim

#endif // VYRSIM_PLAYER_H
