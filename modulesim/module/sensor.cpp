#include "sensor.h"

#include "fingersynth.h"

#include <algorithm>
#include <vector>

namespace vyrsim {

namespace {

// The autopilot operator: finger off for a moment, then on for a while.
constexpr int kAutopilotOffMs = 800;
constexpr int kAutopilotPeriodMs = 2000;

} // namespace

void Sensor::reset()
{
    *this = Sensor();
}

void Sensor::setFinger(int finger)
{
    m_script.clear();
    m_placed = false;
    m_heldFinger = std::max(0, finger);
}

void Sensor::setScript(const int *fingers, int count)
{
    m_script.clear();
    m_placed = false;
    for (int i = 0; fingers && i < count; ++i)
        m_script.push_back(std::max(0, fingers[i]));
}

void Sensor::setAutopilot(bool on, int finger)
{
    m_autopilot = on;
    m_autopilotFinger = std::max(1, finger);
    m_autopilotStart = std::chrono::steady_clock::now();
}

void Sensor::place(GreyImage image)
{
    m_script.clear();
    m_placed = true;
    m_placedImage = std::move(image);
}

int Sensor::fingerNow()
{
    int finger = m_heldFinger;
    if (!m_script.empty()) {
        finger = m_heldFinger = m_script.front();
        m_script.pop_front();
    } else if (m_autopilot) {
        using namespace std::chrono;
        const auto ms = duration_cast<milliseconds>(steady_clock::now() - m_autopilotStart).count();
        finger = ms % kAutopilotPeriodMs >= kAutopilotOffMs ? m_autopilotFinger : 0;
    }
    // A new press begins whenever a finger comes down or another one takes its place.
    if (finger != 0 && finger != m_lastFinger)
        ++m_presses;
    m_lastFinger = finger;
    return finger;
}

bool Sensor::capture(GreyImage &frame)
{
    ++m_frames;
    if (m_placed) {
        frame = m_placedImage;
        return true;
    }
    frame = GreyImage(kFrameWidth, kFrameHeight);
    const int finger = fingerNow();
    if (finger)
        renderFinger(finger, pressFor(finger, m_presses), m_frames, frame.cells.data());
    else
        renderEmpty(m_frames, frame.cells.data());
    return finger != 0;
}

std::string Sensor::describe() const
{
    if (m_placed)
        return "placed image";
    if (!m_script.empty())
        return "script, " + std::to_string(m_script.size()) + " requests left";
    if (m_autopilot)
        return "autopilot, finger " + std::to_string(m_autopilotFinger);
    return m_heldFinger ? "finger " + std::to_string(m_heldFinger) : "nothing";
}

GreyImage centreOnSensor(const unsigned char *pixels, int width, int height)
{
    std::vector<unsigned char> edge;
    for (int x = 0; x < width; ++x) {
        edge.push_back(pixels[x]);
        edge.push_back(pixels[std::size_t(height - 1) * std::size_t(width) + std::size_t(x)]);
    }
    for (int y = 0; y < height; ++y) {
        edge.push_back(pixels[std::size_t(y) * std::size_t(width)]);
        edge.push_back(pixels[std::size_t(y) * std::size_t(width) + std::size_t(width - 1)]);
    }
    std::nth_element(edge.begin(), edge.begin() + long(edge.size() / 2), edge.end());
    GreyImage frame(kFrameWidth, kFrameHeight, edge[edge.size() / 2]);
    const int ox = (width - kFrameWidth) / 2; // negative: the image is narrower
    const int oy = (height - kFrameHeight) / 2;
    for (int y = std::max(0, -oy); y < std::min(kFrameHeight, height - oy); ++y)
        for (int x = std::max(0, -ox); x < std::min(kFrameWidth, width - ox); ++x)
            frame.at(x, y) = pixels[std::size_t(y + oy) * std::size_t(width) + std::size_t(x + ox)];
    return frame;
}

} // namespace vyrsim
