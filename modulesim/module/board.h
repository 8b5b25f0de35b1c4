#ifndef BOARD_H
#define BOARD_H

#include "grid.h"
#include "persistentstore.h"
#include "sensor.h"
#include "template.h"
#include "vyrsim_codes.h"

#include <array>
#include <cstdint>
#include <mutex>

namespace vyrsim {

// What the module holds between calls, and its one lock, which guards all
// of State: the program's worker thread, a test and the control channel may
// call the module at once, and each call reads or changes the state only
// inside locked(), onDevice() or changeStore(). What takes long and needs no
// state runs outside the lock, so that other calls go on meanwhile: the
// delay of an image request, the enrollment of a synthetic finger, the
// centring of a placed image, the decoding of an imported template and the
// write of a changed store to its file.
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
        // What VYRVfyPwd takes; the module's own, so it is kept out of the store file.
        std::array<unsigned char, 4> password {};

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

    // Changes the store. `body(state, next)` runs under the lock on the
    // state and a copy of the store, and returns a status code; on
    // VYRSIM_OK the copy is written to the store's file without the lock,
    // then kept under it. Readers meanwhile see the store the file held
    // before. Changes take turns on the writer lock, so nothing else
    // changes the store between the copy and its keeping.
    template<typename Body> int changeStore(Body body)
    {
        const std::lock_guard<std::mutex> writing(m_storeWriter);
        // Read without the lock: only a holder of the writer lock changes it.
        Store next = m_state.store.store();
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (const int rc = body(m_state, next))
                return rc;
        }
        if (const int rc = m_state.store.write(next))
            return rc;
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_state.store.keep(std::move(next));
        return VYRSIM_OK;
    }
    // The same, once the device is open and `h` and `addr` are right.
    template<typename Body> int changeStoreOnDevice(int h, int addr, Body body)
    {
        return changeStore([&](State &s, Store &next) -> int {
            if (const int rc = s.deviceCheck(h, addr))
                return rc;
            return body(s, next);
        });
    }
    // PersistentStore::use, with both locks held.
    int useStore(const char *path);

    // Waits as long as an image request takes, without the lock.
    void pace() const;

private:
    mutable std::mutex m_mutex;
    std::mutex m_storeWriter; // taken before m_mutex, never after
    State m_state;
};

} // namespace vyrsim

#endif // BOARD_H
