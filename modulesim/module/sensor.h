#ifndef SENSOR_H
#define SENSOR_H

// What lies on the module's sensor at each image request: nothing, a
// synthetic finger (scripted request by request, held, or pressed now and
// then by the autopilot operator), or an image placed from outside.

#include "grid.h"

#include <chrono>
#include <deque>
#include <string>

namespace vyrsim {

class Sensor
{
public:
    void reset();

    // 0 lifts every finger; drops the script and a placed image.
    void setFinger(int finger);
    // One entry per coming image request; the last entry then holds.
    void setScript(const int *fingers, int count);
    int scriptLeft() const { return int(m_script.size()); }
    void setAutopilot(bool on, int finger);
    bool autopilot() const { return m_autopilot; }
    int autopilotFinger() const { return m_autopilotFinger; }
    // The image lies on the sensor until a finger is set, a script is given
    // or another image is placed.
    void place(GreyImage image);

    // One image request: settles what lies on the sensor now and draws the
    // frame the sensor takes of it. True when a finger lies there.
    bool capture(GreyImage &frame);

    // What lies there, for a person to read: "nothing", "finger 2", ...
    std::string describe() const;

private:
    int fingerNow();

    std::deque<int> m_script;
    int m_heldFinger = 0;
    int m_lastFinger = 0;
    unsigned m_presses = 0; // every new press lands differently
    unsigned long long m_frames = 0; // every frame has its own noise

    bool m_autopilot = false;
    int m_autopilotFinger = 1;
    std::chrono::steady_clock::time_point m_autopilotStart;

    bool m_placed = false;
    GreyImage m_placedImage;
};

// A grey image of any size, centred on the sensor's frame: cropped where it
// is larger, padded with its own background grey (the median of its edge
// pixels) where it is smaller.
GreyImage centreOnSensor(const unsigned char *pixels, int width, int height);

} // namespace vyrsim

#endif // SENSOR_H
