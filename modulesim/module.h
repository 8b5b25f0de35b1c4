#ifndef MODULE_H
#define MODULE_H

#include "grid.h"
#include "sensor.h"
#include "store.h"
#include "storefile.h"
#include "template.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace vyrsim {

// The simulated fingerprint module: sensor, image buffer, feature buffers,
// template store and notepad, behind one lock, so that the program's worker
// thread and a test or control thread may call it at once. Every method
// returns a status code of vyrsim.h; argument checks come before any change
// of state. What the module decides about a finger it decides from the
// image in its buffer alone: features by the extractor, matches by the
// matcher.
class Module
{
public:
    static Module &instance();

    static constexpr int kBuffers = 4;
    static constexpr int kIndexPages = 4;
    static constexpr int kIndexPageBytes = 32;

    // Control
    // Also lets go of the store file: a test never writes over a user's store.
    void resetForTest();
    // Keeps the store in that file from now on, reading what it holds; null
    // keeps it in memory only.
    int useStore(const char *path);
    void setAttached(bool attached);
    void setDelayMs(int ms);
    void setAutopilot(bool on);
    void setAutopilotFinger(int finger);
    int setCapacity(int ids);
    int capacity() const;
    void setFrameMode(int mode);
    void setFinger(int finger);
    void setScript(const int *fingers, int count);
    int scriptLeft() const;
    int placeImage(const unsigned char *pixels, int width, int height);
    int storeFinger(int id, int finger);
    int stored(int id) const;
    int storeDelete(int id);
    int storeClear();
    int storeExport(int id, unsigned char *block) const;
    int storeImport(int id, const unsigned char *block, int length);
    // What the module is doing, as "key=value" pairs for a person or a script.
    std::string describe() const;

    // Device
    int setPath(int path, int option);
    int setMode(int mode);
    int open(int *handle);
    int close(int h);
    int verifyPassword(int h, int addr, const unsigned char *password);
    int getImage(int h, int addr);
    int upImage(int h, int addr, unsigned char *image, int *length);
    int genChar(int h, int addr, int buffer);
    int match(int h, int addr, int *score);
    int search(int h, int addr, int buffer, int start, int count, int *id, int *score);
    int regModule(int h, int addr);
    int storeChar(int h, int addr, int buffer, int id);
    int loadChar(int h, int addr, int buffer, int id);
    int upChar(int h, int addr, int buffer, unsigned char *data, int *length);
    int downChar(int h, int addr, int buffer, const unsigned char *data, int length);
    int delChar(int h, int addr, int id, int count);
    int empty(int h, int addr);
    int readParTable(int h, int addr, unsigned char *table);
    int templateNum(int h, int addr, int *count);
    int readIndexTable(int h, int addr, int page, unsigned char *bits);
    int randomData(int h, int addr, unsigned char *data);
    int userDefine(int h, int addr, int port, int level);
    int setCharLen(int length);
    int getCharLen(int *length);
    int readInfo(int h, int addr, int page, unsigned char *data);
    int writeInfo(int h, int addr, int page, const unsigned char *data);

private:
    Module();

    // Runs `body` under the lock once the device is open and h and addr are right.
    template<typename Body> int onDevice(int h, int addr, Body body);
    int deviceCheck(int h, int addr) const; // with m_mutex held
    void pace() const;
    // The template a synthetic finger's enrollment makes; without m_mutex.
    Template enrolledFinger(int finger);
    void addStartTemplates(); // with m_mutex held
    // Applies `edit` to a copy of the store, writes the copy to the store
    // file, and only then keeps it. With m_mutex held.
    template<typename Edit> int changeStore(Edit edit);
    int loadStoreFile(); // with m_mutex held

    mutable std::mutex m_mutex;
    bool m_attached = true;
    bool m_open = false;
    int m_handle = 0;
    int m_nextHandle = 3;
    int m_delayMs = 0;
    int m_frameMode = 0;
    unsigned m_uploads = 0;

    Sensor m_sensor;
    GreyImage m_image; // the last frame the sensor took; empty before the first
    std::array<Template, kBuffers> m_buffers {};
    Store m_store;
    std::optional<StoreFile> m_storeFile; // none: the store lives in memory only
    bool m_storeFileFailing = false; // said so on standard error already
    std::uint64_t m_random = 0x2545f4914f6cdd1dULL;
    // Templates that storeFinger made of a synthetic finger's presses, kept
    // so that filling a store for a test does not enroll the finger anew;
    // the oldest go first. A lock of their own, never held while enrolling.
    std::mutex m_enrolledMutex;
    std::map<int, Template> m_enrolledFingers;
    std::deque<int> m_enrolledOrder;
};

} // namespace vyrsim

#endif // MODULE_H
