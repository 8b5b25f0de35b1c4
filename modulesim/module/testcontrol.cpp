#include "testcontrol.h"

#include "harness.h"
#include "vyrsim_codes.h"

#include <algorithm>

namespace vyrsim {

void TestControl::reset()
{
    Harness::instance().reset();
    m_board.locked([](Board::State &s) {
        s.attached = true;
        s.open = false;
        s.handle = 0;
        s.delayMs = 0;
        s.frameMode = VYRSIM_FRAMES_SYNTHETIC;
        s.uploads = 0;
        s.sensor.reset();
        s.image = GreyImage();
        s.buffers = {};
        s.password = {};
    });
    m_board.useStore(nullptr);
}

void TestControl::setAttached(bool attached)
{
    m_board.locked([&](Board::State &s) {
        s.attached = attached;
        if (!attached)
            s.open = false;
    });
}

void TestControl::setDelayMs(int ms)
{
    m_board.locked([&](Board::State &s) { s.delayMs = std::max(0, ms); });
}

void TestControl::setAutopilot(bool on)
{
    m_board.locked([&](Board::State &s) { s.sensor.setAutopilot(on, s.sensor.autopilotFinger()); });
}

void TestControl::setAutopilotFinger(int finger)
{
    m_board.locked([&](Board::State &s) { s.sensor.setAutopilot(s.sensor.autopilot(), finger); });
}

void TestControl::setFrameMode(int mode)
{
    m_board.locked([&](Board::State &s) {
        s.frameMode = mode == VYRSIM_FRAMES_COUNTER ? mode : VYRSIM_FRAMES_SYNTHETIC;
    });
}

void TestControl::setPassword(const unsigned char *password)
{
    if (!password)
        return;
    m_board.locked([&](Board::State &s) { std::copy(password, password + 4, s.password.begin()); });
}

void TestControl::setFinger(int finger)
{
    m_board.locked([&](Board::State &s) { s.sensor.setFinger(finger); });
}

void TestControl::setScript(const int *fingers, int count)
{
    m_board.locked([&](Board::State &s) { s.sensor.setScript(fingers, count); });
}

int TestControl::scriptLeft() const
{
    return m_board.locked([](const Board::State &s) { return s.sensor.scriptLeft(); });
}

int TestControl::placeImage(const unsigned char *pixels, int width, int height)
{
    if (!pixels || width < 1 || height < 1 || width > 4096 || height > 4096)
        return VYRSIM_ERR_BAD_ARGUMENT;
    GreyImage frame = centreOnSensor(pixels, width, height);
    m_board.locked([&](Board::State &s) { s.sensor.place(std::move(frame)); });
    return VYRSIM_OK;
}

std::string TestControl::describe() const
{
    return m_board.locked([](const Board::State &s) {
        const Store &store = s.store.store();
        const std::optional<std::string> path = s.store.path();
        std::string text = std::string("attached=") + (s.attached ? "yes" : "no");
        text += std::string(" open=") + (s.open ? "yes" : "no");
        text += " handle=" + (s.open ? std::to_string(s.handle) : std::string("none"));
        text += " sensor=\"" + s.sensor.describe() + "\"";
        text += " templates=" + std::to_string(store.count()) + "/"
            + std::to_string(store.capacity());
        text += " delay=" + std::to_string(s.delayMs) + "ms";
        text += " store=" + (path ? "\"" + *path + "\"" : std::string("none"));
        return text;
    });
}

} // namespace vyrsim
