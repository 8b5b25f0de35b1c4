#ifndef BOARD_H
#define BOARD_H

#include "grid.h"
#include "persistentstore.h"
#include "sensor.h"
#include "template.h"

#include <array>
#include <cstdint>
#include <mutex>

namespace vyrsim {

// What the module holds between calls, and its one lock, which guards all
// of State: the program's worker thread, a test and the control channel may
// call the module at once, and each call reads or changes the state only
// inside locked() or onDevice(). What takes long and needs no state runs
// outside the lock, so that other calls go on meanwhile: the delay of an
// image request, the enrollment of a synthetic finger, the centring of a
// placed image and the decoding of an imported template.
class Board
{
public:
    static constexpr int kBuffers = 4;
    static constexpr int kAddress = -1; // the module answers the broadcast address only

    struct State
    {
        bool attached = true;
        bool open = false;
        int handle = 0;
        int nextHandle = 3;
        int delayMs = 0;
        int frameMode = 0;
        unsigned uploads = 0;
        Sensor sensor;
        GreyImage image; // the last frame the sensor took; empty before the first
        std::array<Template, kBuffers> buffers {};
        PersistentStore store;
        std::uint64_t random = 0x2545f4914f6cdd1dULL;

        // VYRSIM_OK once the device is open and `h` and `addr` are right.
        int deviceCheck(int h, int addr) const;
    };

    // Runs `body` on the state under the lock; returns what it returns.
    template<typename Body> auto locked(Body body)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return body(m_state);
    }
    template<typename Body> auto locked(Body body) const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return body(static_cast<const State &>(m_state));
    }

    // Runs `body` under the lock once the device is open and `h` and `addr`
    // are right; their error code otherwise.
    template<typename Body> int onDevice(int h, int addr, Body body)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (const int rc = m_state.deviceCheck(h, addr))
            return rc;
        return body(m_state);
    }

    // Waits as long as an image request takes, without the lock.
    void pace() const;

private:
    mutable std::mutex m_mutex;
    State m_state;
};

} // namespace vyrsim

#endif // BOARD_H
