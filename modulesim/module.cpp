#include "module.h"

#include "fingersynth.h"
#include "vyrsim.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace vyrsim {

namespace {

constexpr int kAddress = -1; // the module answers the broadcast address only
constexpr int kSearchThreshold = 50;
constexpr unsigned char kCharMagic[4] = {'V', 'Y', 'F', '1'};

// The autopilot operator: finger off for a moment, then on for a while.
constexpr int kAutopilotOffMs = 800;
constexpr int kAutopilotPeriodMs = 2000;

int envInt(const char *name, int fallback)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        return fallback;
    char *end = nullptr;
    const long parsed = std::strtol(value, &end, 10);
    return *end ? fallback : int(parsed);
}

std::uint64_t scramble(std::uint64_t x)
{
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    return x ^ (x >> 33);
}

void putInt(unsigned char *at, unsigned value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

unsigned getInt(const unsigned char *at)
{
    unsigned value = 0;
    for (int i = 0; i < 4; ++i)
        value |= unsigned(at[i]) << (8 * i);
    return value;
}

unsigned checksum(const unsigned char *data, int length)
{
    unsigned sum = 0;
    for (int i = 0; i < length; ++i)
        sum += data[i];
    return sum & 0xffff;
}

} // namespace

Module &Module::instance()
{
    static Module module;
    return module;
}

Module::Module()
    : m_store(std::size_t(m_capacity))
{
    // Defaults for a person trying the program by hand; tests reset them.
    m_attached = envInt("VYRSIM_NO_MODULE", 0) == 0;
    m_delayMs = std::max(0, envInt("VYRSIM_DELAY_MS", 30));
    m_autopilot = envInt("VYRSIM_AUTOPILOT", 1) != 0;
    m_autopilotFinger = std::max(1, envInt("VYRSIM_FINGER", 1));
    m_autopilotStart = std::chrono::steady_clock::now();
    // A module that already holds templates of the autopilot's finger, e.g. "3,12,40".
    if (const char *ids = std::getenv("VYRSIM_TEMPLATES")) {
        for (const char *p = ids; *p;) {
            char *end = nullptr;
            const long id = std::strtol(p, &end, 10);
            if (end == p)
                break;
            if (id >= 0 && id < m_capacity)
                m_store[std::size_t(id)] = Feature {m_autopilotFinger, 0, 0, true};
            p = *end == ',' ? end + 1 : end;
        }
    }
}

void Module::resetForTest()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_attached = true;
    m_open = false;
    m_handle = 0;
    m_delayMs = 0;
    m_frameMode = VYRSIM_FRAMES_SYNTHETIC;
    m_capacity = 1000;
    m_charLength = 512;
    m_autopilot = false;
    m_script.clear();
    m_heldFinger = 0;
    m_lastSensorFinger = 0;
    m_presses = 0;
    m_imageFinger = 0;
    m_imagePress = 0;
    m_frames = 0;
    m_uploads = 0;
    m_buffers = {};
    m_store.assign(std::size_t(m_capacity), Feature {});
    m_notepad = {};
}

void Module::setAttached(bool attached)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_attached = attached;
    if (!attached)
        m_open = false;
}

void Module::setDelayMs(int ms)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_delayMs = std::max(0, ms);
}

void Module::setAutopilot(bool on)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_autopilot = on;
    m_autopilotStart = std::chrono::steady_clock::now();
}

void Module::setCapacity(int ids)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_capacity = std::clamp(ids, 1, kMaxCapacity);
    m_store.resize(std::size_t(m_capacity));
}

void Module::setFrameMode(int mode)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_frameMode = mode == VYRSIM_FRAMES_COUNTER ? mode : VYRSIM_FRAMES_SYNTHETIC;
}

void Module::setFinger(int finger)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_script.clear();
    m_heldFinger = std::max(0, finger);
}

void Module::setScript(const int *fingers, int count)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_script.clear();
    for (int i = 0; fingers && i < count; ++i)
        m_script.push_back(std::max(0, fingers[i]));
}

int Module::scriptLeft() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_script.size());
}

int Module::storeDirect(int id, int finger)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (id < 0 || id >= m_capacity || finger < 1)
        return VYRSIM_ERR_BAD_ID;
    m_store[std::size_t(id)] = Feature {finger, ++m_presses, ++m_presses, true};
    return VYRSIM_OK;
}

int Module::stored(int id) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (id < 0 || id >= m_capacity)
        return -1;
    return m_store[std::size_t(id)].finger;
}

template<typename Body> int Module::onDevice(int h, int addr, Body body)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (const int rc = deviceCheck(h, addr))
        return rc;
    return body();
}

int Module::deviceCheck(int h, int addr) const
{
    if (!m_attached || !m_open || h != m_handle)
        return VYRSIM_ERR_NO_DEVICE;
    if (addr != kAddress)
        return VYRSIM_ERR_COMMUNICATION;
    return VYRSIM_OK;
}

int Module::sensorFinger()
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
    if (finger != 0 && finger != m_lastSensorFinger)
        ++m_presses;
    m_lastSensorFinger = finger;
    return finger;
}

void Module::pace() const
{
    int ms = 0;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        ms = m_delayMs;
    }
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int Module::score(const Feature &probe, const Feature &stored)
{
    const std::uint64_t h
        = scramble((std::uint64_t(probe.press) << 40) ^ (std::uint64_t(stored.press) << 20)
                   ^ stored.secondPress ^ std::uint64_t(probe.finger) * 0x9e3779b97f4a7c15ULL);
    return 60 + int(h % 180); // 60 to 239, always above the search threshold
}

int Module::setPath(int path, int option)
{
    return path < 0 || option < 0 ? VYRSIM_ERR_BAD_ARGUMENT : VYRSIM_OK;
}

int Module::setMode(int mode)
{
    return mode < 0 || mode > 2 ? VYRSIM_ERR_BAD_ARGUMENT : VYRSIM_OK;
}

int Module::open(int *handle)
{
    if (!handle)
        return VYRSIM_ERR_BAD_ARGUMENT;
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_attached)
        return VYRSIM_ERR_NO_DEVICE;
    // Opening again drops the old session and hands out a new handle.
    m_open = true;
    m_handle = m_nextHandle++;
    *handle = m_handle;
    return VYRSIM_OK;
}

int Module::close(int h)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (const int rc = deviceCheck(h, kAddress))
        return rc;
    m_open = false;
    m_buffers = {};
    return VYRSIM_OK;
}

int Module::verifyPassword(int h, int addr, const unsigned char *password)
{
    return onDevice(h, addr, [&] {
        if (!password)
            return VYRSIM_ERR_BAD_ARGUMENT;
        const unsigned char factory[4] = {0, 0, 0, 0};
        return std::memcmp(password, factory, 4) == 0 ? VYRSIM_OK : VYRSIM_ERR_PASSWORD;
    });
}

int Module::getImage(int h, int addr)
{
    int finger = 0;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (const int rc = deviceCheck(h, addr))
            return rc;
        finger = sensorFinger();
        m_imageFinger = finger;
        m_imagePress = m_presses;
        ++m_frames;
    }
    pace();
    return finger ? VYRSIM_OK : VYRSIM_ERR_NO_FINGER;
}

int Module::upImage(int h, int addr, unsigned char *image, int *length)
{
    int finger = 0;
    unsigned press = 0;
    std::uint64_t frame = 0;
    int mode = 0;
    unsigned upload = 0;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (const int rc = deviceCheck(h, addr))
            return rc;
        if (!image || !length)
            return VYRSIM_ERR_BAD_ARGUMENT;
        finger = m_imageFinger;
        press = m_imagePress;
        frame = m_frames;
        mode = m_frameMode;
        upload = ++m_uploads;
    }
    pace();
    if (mode == VYRSIM_FRAMES_COUNTER)
        std::memset(image, int(upload & 0xff), kFrameBytes);
    else if (finger)
        renderFinger(finger, pressFor(finger, press), frame, image);
    else
        renderEmpty(frame, image);
    *length = kFrameBytes;
    return VYRSIM_OK;
}

int Module::genChar(int h, int addr, int buffer)
{
    return onDevice(h, addr, [&] {
        if (buffer < 0 || buffer >= kBuffers)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (!m_imageFinger)
            return VYRSIM_ERR_FEATURE;
        m_buffers[std::size_t(buffer)] = Feature {m_imageFinger, m_imagePress, 0, false};
        return VYRSIM_OK;
    });
}

int Module::match(int h, int addr, int *score)
{
    return onDevice(h, addr, [&] {
        if (!score)
            return VYRSIM_ERR_BAD_ARGUMENT;
        const Feature &a = m_buffers[0];
        const Feature &b = m_buffers[1];
        if (a.empty() || b.empty())
            return VYRSIM_ERR_EMPTY;
        *score = a.finger == b.finger ? Module::score(a, b) : 0;
        return a.finger == b.finger ? VYRSIM_OK : VYRSIM_ERR_NO_MATCH;
    });
}

int Module::search(int h, int addr, int buffer, int start, int count, int *id, int *score)
{
    return onDevice(h, addr, [&] {
        if (buffer < 0 || buffer >= kBuffers || !id || !score || start < 0 || count < 1
            || start >= m_capacity)
            return VYRSIM_ERR_BAD_ARGUMENT;
        const Feature &probe = m_buffers[std::size_t(buffer)];
        if (probe.empty())
            return VYRSIM_ERR_EMPTY;
        const int end = int(std::min<long long>((long long)start + count, m_capacity));
        for (int i = start; i < end; ++i) {
            const Feature &stored = m_store[std::size_t(i)];
            if (!stored.empty() && stored.finger == probe.finger) {
                const int s = Module::score(probe, stored);
                if (s >= kSearchThreshold) {
                    *id = i;
                    *score = s;
                    return VYRSIM_OK;
                }
            }
        }
        return VYRSIM_ERR_NO_MATCH;
    });
}

int Module::regModule(int h, int addr)
{
    return onDevice(h, addr, [&] {
        const Feature &a = m_buffers[0];
        const Feature &b = m_buffers[1];
        if (a.empty() || b.empty())
            return VYRSIM_ERR_EMPTY;
        if (a.finger != b.finger)
            return VYRSIM_ERR_MERGE;
        const Feature merged {a.finger, a.press, b.press, true};
        m_buffers[0] = merged;
        m_buffers[1] = merged;
        return VYRSIM_OK;
    });
}

int Module::storeChar(int h, int addr, int buffer, int id)
{
    return onDevice(h, addr, [&] {
        if (buffer < 0 || buffer >= kBuffers)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (id < 0 || id >= m_capacity)
            return VYRSIM_ERR_BAD_ID;
        if (m_buffers[std::size_t(buffer)].empty())
            return VYRSIM_ERR_EMPTY;
        m_store[std::size_t(id)] = m_buffers[std::size_t(buffer)];
        return VYRSIM_OK;
    });
}

int Module::loadChar(int h, int addr, int buffer, int id)
{
    return onDevice(h, addr, [&] {
        if (buffer < 0 || buffer >= kBuffers)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (id < 0 || id >= m_capacity)
            return VYRSIM_ERR_BAD_ID;
        if (m_store[std::size_t(id)].empty())
            return VYRSIM_ERR_EMPTY;
        m_buffers[std::size_t(buffer)] = m_store[std::size_t(id)];
        return VYRSIM_OK;
    });
}

int Module::upChar(int h, int addr, int buffer, unsigned char *data, int *length)
{
    return onDevice(h, addr, [&] {
        if (buffer < 0 || buffer >= kBuffers || !data || !length)
            return VYRSIM_ERR_BAD_ARGUMENT;
        const Feature &f = m_buffers[std::size_t(buffer)];
        if (f.empty())
            return VYRSIM_ERR_EMPTY;
        const int n = m_charLength;
        std::memcpy(data, kCharMagic, 4);
        data[4] = f.merged ? 1 : 0;
        putInt(data + 5, unsigned(f.finger));
        putInt(data + 9, f.press);
        putInt(data + 13, f.secondPress);
        // The body stands for the minutiae: fixed for the finger, as a real one would be.
        for (int i = 17; i < n - 2; ++i)
            data[i] = static_cast<unsigned char>(
                scramble(std::uint64_t(f.finger) * 131u + unsigned(i)));
        const unsigned sum = checksum(data, n - 2);
        data[n - 2] = static_cast<unsigned char>(sum >> 8);
        data[n - 1] = static_cast<unsigned char>(sum);
        *length = n;
        return VYRSIM_OK;
    });
}

int Module::downChar(int h, int addr, int buffer, const unsigned char *data, int length)
{
    return onDevice(h, addr, [&] {
        if (buffer < 0 || buffer >= kBuffers || !data || length != m_charLength)
            return VYRSIM_ERR_BAD_ARGUMENT;
        const unsigned sum = checksum(data, length - 2);
        if (std::memcmp(data, kCharMagic, 4) != 0 || data[length - 2] != ((sum >> 8) & 0xff)
            || data[length - 1] != (sum & 0xff) || getInt(data + 5) == 0)
            return VYRSIM_ERR_FEATURE;
        m_buffers[std::size_t(buffer)]
            = Feature {int(getInt(data + 5)), getInt(data + 9), getInt(data + 13), data[4] != 0};
        return VYRSIM_OK;
    });
}

int Module::delChar(int h, int addr, int id, int count)
{
    return onDevice(h, addr, [&] {
        if (count < 1)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (id < 0 || (long long)id + count > m_capacity)
            return VYRSIM_ERR_BAD_ID;
        std::fill_n(m_store.begin() + id, count, Feature {});
        return VYRSIM_OK;
    });
}

int Module::empty(int h, int addr)
{
    return onDevice(h, addr, [&] {
        std::fill(m_store.begin(), m_store.end(), Feature {});
        return VYRSIM_OK;
    });
}

int Module::readParTable(int h, int addr, unsigned char *table)
{
    return onDevice(h, addr, [&] {
        if (!table)
            return VYRSIM_ERR_BAD_ARGUMENT;
        // Status register, sensor type, capacity, security level, address,
        // packet size code and baud rate factor, each big-endian.
        const unsigned char parameters[16] = {0x00,
                                              0x00,
                                              0x00,
                                              0x09,
                                              static_cast<unsigned char>(m_capacity >> 8),
                                              static_cast<unsigned char>(m_capacity),
                                              0x00,
                                              0x03,
                                              0xff,
                                              0xff,
                                              0xff,
                                              0xff,
                                              0x00,
                                              0x02,
                                              0x00,
                                              0x06};
        std::memcpy(table, parameters, sizeof parameters);
        return VYRSIM_OK;
    });
}

int Module::templateNum(int h, int addr, int *count)
{
    return onDevice(h, addr, [&] {
        if (!count)
            return VYRSIM_ERR_BAD_ARGUMENT;
        *count = int(std::count_if(m_store.begin(), m_store.end(),
                                   [](const Feature &f) { return !f.empty(); }));
        return VYRSIM_OK;
    });
}

int Module::readIndexTable(int h, int addr, int page, unsigned char *bits)
{
    return onDevice(h, addr, [&] {
        if (page < 0 || page >= kIndexPages || !bits)
            return VYRSIM_ERR_BAD_ARGUMENT;
        // Bit j of byte i stands for ID 256 * page + 8 * i + j, least significant bit first.
        std::memset(bits, 0, kIndexPageBytes);
        for (int i = 0; i < kIndexPageBytes * 8; ++i) {
            const int id = page * kIndexPageBytes * 8 + i;
            if (id < m_capacity && !m_store[std::size_t(id)].empty())
                bits[i / 8] = static_cast<unsigned char>(bits[i / 8] | (1u << (i % 8)));
        }
        return VYRSIM_OK;
    });
}

int Module::randomData(int h, int addr, unsigned char *data)
{
    return onDevice(h, addr, [&] {
        if (!data)
            return VYRSIM_ERR_BAD_ARGUMENT;
        m_random = scramble(m_random + 0x9e3779b97f4a7c15ULL);
        putInt(data, unsigned(m_random));
        return VYRSIM_OK;
    });
}

int Module::userDefine(int h, int addr, int port, int level)
{
    return onDevice(h, addr, [&] {
        return port < 0 || port > 1 || level < 0 || level > 1 ? VYRSIM_ERR_BAD_ARGUMENT : VYRSIM_OK;
    });
}

int Module::setCharLen(int length)
{
    if (length < 64 || length > 4096)
        return VYRSIM_ERR_BAD_ARGUMENT;
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_charLength = length;
    return VYRSIM_OK;
}

int Module::getCharLen(int *length)
{
    if (!length)
        return VYRSIM_ERR_BAD_ARGUMENT;
    const std::lock_guard<std::mutex> lock(m_mutex);
    *length = m_charLength;
    return VYRSIM_OK;
}

int Module::readInfo(int h, int addr, int page, unsigned char *data)
{
    return onDevice(h, addr, [&] {
        if (page < 0 || page >= kNotepadPages || !data)
            return VYRSIM_ERR_BAD_ARGUMENT;
        std::memcpy(data, m_notepad[std::size_t(page)].data(), kNotepadPageBytes);
        return VYRSIM_OK;
    });
}

int Module::writeInfo(int h, int addr, int page, const unsigned char *data)
{
    return onDevice(h, addr, [&] {
        if (page < 0 || page >= kNotepadPages || !data)
            return VYRSIM_ERR_BAD_ARGUMENT;
        std::memcpy(m_notepad[std::size_t(page)].data(), data, kNotepadPageBytes);
        return VYRSIM_OK;
    });
}

} // namespace vyrsim
