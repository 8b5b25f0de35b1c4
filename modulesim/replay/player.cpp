#include "player.h"

#include "calltext.h"
#include "recordingreader.h"
#include "vyrsim_codes.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace vyrsim {

Player &Player::instance()
{
    static Player player;
    return player;
}

bool Player::start(const std::string &path, double speed)
{
    std::string error;
    std::optional<recording::Recording> recording = recording::readRecording(path, error);
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_path = path;
    m_recording
        = recording ? std::make_shared<const recording::Recording>(std::move(*recording)) : nullptr;
    m_next = 0;
    m_speed = speed;
    m_active.store(true, std::memory_order_release);
    if (!m_recording) {
        m_state = State::Refused;
        m_report = "refused " + path + ": " + error;
        std::fprintf(stderr, "vyrsim: replay: %s\n", m_report.c_str());
        return false;
    }
    m_state = State::Playing;
    m_report.clear();
    return true;
}

void Player::stop()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_active.store(false, std::memory_order_release);
    m_state = State::Off;
    m_recording.reset();
    m_report.clear();
}

int Player::fail(State state, int code, const std::string &report)
{
    m_state = state;
    m_report = report;
    std::fprintf(stderr, "vyrsim: replay: %s\n", report.c_str());
    return code;
}

int Player::answer(const char *name, recording::ShapeList shapes, const recording::Param *params)
{
    std::shared_ptr<const recording::Recording> held;
    const recording::Call *call = nullptr;
    double speed = 1;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        switch (m_state) {
        case State::Off:
            return VYRSIM_ERR_REPLAY;
        case State::Playing:
            break;
        case State::Ended:
            return VYRSIM_ERR_REPLAY_END;
        case State::WentAstray:
        case State::Refused:
            return VYRSIM_ERR_REPLAY;
        }
        const std::vector<recording::Argument> came = recording::captureInputs(shapes, params);
        // Written out only for a report: most calls match.
        const auto cameText = [&] {
            return recording::callText(name, came, false);
        };
        const std::size_t number = m_next + 1;
        if (m_next >= m_recording->calls.size())
            return fail(State::Ended, VYRSIM_ERR_REPLAY_END,
                        "the recording ended after call " + std::to_string(m_next) + "; call "
                            + std::to_string(number) + " came: " + cameText());
        const recording::Call &next = m_recording->calls[m_next];
        const int differs
            = next.name == name ? recording::firstDifference(next.arguments, came) : 0;
        if (next.name != name || differs >= 0) {
            const std::string which = next.name == name
                ? " (argument " + std::to_string(differs + 1) + " differs)"
                : "";
            return fail(State::WentAstray, VYRSIM_ERR_REPLAY,
                        "call " + std::to_string(number) + " went another way" + which
                            + ": the recording holds "
                            + recording::callText(next.name, next.arguments, false) + ", came "
                            + cameText());
        }
        held = m_recording;
        call = &next;
        speed = m_speed;
        ++m_next;
    }
    if (speed > 0) {
        const double micros = call->durationMicros / speed;
        std::this_thread::sleep_for(std::chrono::microseconds(std::int64_t(micros)));
    }
    recording::writeOutputs(shapes, call->arguments, params);
    return call->result;
}

std::string Player::status() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    switch (m_state) {
    case State::Off:
        return {};
    case State::Playing:
        return "playing " + m_path + ", " + std::to_string(m_next) + " of "
            + std::to_string(m_recording->calls.size()) + " calls answered";
    default:
        return m_report;
    }
}

namespace {

// VYRSIM_REPLAY names a recording to answer from as the library loads;
// VYRSIM_REPLAY_SPEED, a factor of its pace.
double speedFromEnvironment()
{
    const char *text = std::getenv("VYRSIM_REPLAY_SPEED");
    if (!text || !*text)
        return 1;
    char *end = nullptr;
    const double speed = std::strtod(text, &end);
    if (*end != '\0' || !std::isfinite(speed) || speed < 0) {
        std::fprintf(stderr,
                     "vyrsim: VYRSIM_REPLAY_SPEED='%s' is no factor (0 or more); replaying at "
                     "the recorded pace\n",
                     text);
        return 1;
    }
    return speed;
}

[[maybe_unused]] const bool kReplayFromEnvironment = [] {
    const char *path = std::getenv("VYRSIM_REPLAY");
    return path && *path && Player::instance().start(path, speedFromEnvironment());
}();

} // namespace

} // namespace vyrsim
