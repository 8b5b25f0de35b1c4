#include "module.h"

#include "extractor.h"
#include "fingersynth.h"
#include "harness.h"
#include "matcher.h"
#include "merge.h"
#include "search.h"
#include "templatecodec.h"
#include "vyrsim.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace vyrsim {

namespace {

constexpr int kAddress = -1; // the module answers the broadcast address only

constexpr int kMaxDelayMs = 60000; // as the channel's delay command allows
// Enrolled fingers kept: a test fills a store from a few fingers, but a
// script may add a thousand different ones.
constexpr std::size_t kEnrolledFingersKept = 64;

// The variable's number, when it is set to one inside [low, high]. A value
// that is set but no such number is named on standard error with what is
// used instead: a person who mistyped it learns so.
int envInt(const char *name, int fallback, int low, int high, const char *instead)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        return fallback;
    char *end = nullptr;
    errno = 0;
    const long parsed = std::strtol(value, &end, 10);
    if (*end || end == value || errno == ERANGE || parsed < low || parsed > high) {
        if (low == 0 && high == 1)
            std::fprintf(stderr, "vyrsim: %s=%s is neither 0 nor 1; %s\n", name, value, instead);
        else
            std::fprintf(stderr, "vyrsim: %s=%s is not a number from %d to %d; %s\n", name, value,
                         low, high, instead);
        return fallback;
    }
    return int(parsed);
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

} // namespace

Module &Module::instance()
{
    static Module module;
    return module;
}

Module::Module()
{
    // Defaults for a person trying the program by hand; tests reset them.
    m_attached = envInt("VYRSIM_NO_MODULE", 0, 0, 1, "the module is attached, as with 0") == 0;
    m_delayMs = envInt("VYRSIM_DELAY_MS", 30, 0, kMaxDelayMs, "30 ms is used");
    const bool autopilot
        = envInt("VYRSIM_AUTOPILOT", 1, 0, 1, "the autopilot is on, as with 1") != 0;
    m_sensor.setAutopilot(autopilot, envInt("VYRSIM_FINGER", 1, 1, 1000000, "finger 1 is pressed"));

    const char *storeVariable = std::getenv("VYRSIM_STORE");
    const std::string storePath
        = storeVariable && *storeVariable ? storeVariable : StoreFile::defaultPath();
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (storePath.empty())
        std::fprintf(stderr, "vyrsim: no home directory, the store is kept in memory only\n");
    else if (storePath != "none")
        m_storeFile.emplace(storePath);
    loadStoreFile();
    addStartTemplates();
}

void Module::addStartTemplates()
{
    // More templates of the autopilot's finger, e.g. "3,12,40". Nobody else
    // calls the module yet, so the enrollment may run under the lock here.
    const char *ids = std::getenv("VYRSIM_TEMPLATES");
    if (!ids || !*ids)
        return;
    std::string skipped;
    for (const char *p = ids; *p;) {
        const char *comma = std::strchr(p, ',');
        const std::string item(p, comma ? std::size_t(comma - p) : std::strlen(p));
        p = comma ? comma + 1 : p + item.size();
        char *end = nullptr;
        errno = 0;
        const long id = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end || errno == ERANGE || id < 0 || id >= m_store.capacity()) {
            skipped += (skipped.empty() ? "" : ",") + item;
            continue;
        }
        const Template t = enrolledFinger(m_sensor.autopilotFinger());
        changeStore([&](Store &store) { store.put(int(id), t); });
    }
    if (!skipped.empty())
        std::fprintf(stderr,
                     "vyrsim: VYRSIM_TEMPLATES=%s holds %s, which is no ID from 0 to %d; the "
                     "other IDs are used\n",
                     ids, skipped.c_str(), m_store.capacity() - 1);
}

int Module::loadStoreFile()
{
    m_storeFileFailing = false;
    if (!m_storeFile) {
        m_store = Store();
        return VYRSIM_OK;
    }
    StoreFile::Loaded loaded = m_storeFile->load();
    m_store = std::move(loaded.store);
    if (loaded.problem.empty())
        return VYRSIM_OK;
    std::fprintf(stderr, "vyrsim: the store file %s is refused (%s); the module starts empty",
                 m_storeFile->path().c_str(), loaded.problem.c_str());
    if (!loaded.keptAs.empty())
        std::fprintf(stderr, "; the file was kept as %s\n", loaded.keptAs.c_str());
    else
        std::fprintf(stderr, "; it is left as it is and changes of the store will fail\n");
    return VYRSIM_ERR_FILE;
}

template<typename Edit> int Module::changeStore(Edit edit)
{
    Store next = m_store;
    edit(next);
    if (m_storeFile) {
        std::string error;
        if (!m_storeFile->save(next, error)) {
            if (!m_storeFileFailing)
                std::fprintf(stderr, "vyrsim: the store is not changed: %s\n", error.c_str());
            m_storeFileFailing = true;
            return VYRSIM_ERR_FILE;
        }
    }
    m_storeFileFailing = false;
    m_store = std::move(next);
    return VYRSIM_OK;
}

void Module::resetForTest()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_attached = true;
    m_open = false;
    m_handle = 0;
    m_delayMs = 0;
    m_frameMode = VYRSIM_FRAMES_SYNTHETIC;
    m_uploads = 0;
    m_sensor.reset();
    m_image = GreyImage();
    m_buffers = {};
    m_storeFile.reset();
    loadStoreFile();
}

int Module::useStore(const char *path)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_storeFile.reset();
    if (path && *path)
        m_storeFile.emplace(path);
    return loadStoreFile();
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
    m_sensor.setAutopilot(on, m_sensor.autopilotFinger());
}

void Module::setAutopilotFinger(int finger)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_sensor.setAutopilot(m_sensor.autopilot(), finger);
}

int Module::setCapacity(int ids)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return changeStore([&](Store &store) { store.setCapacity(ids); });
}

int Module::capacity() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_store.capacity();
}

void Module::setFrameMode(int mode)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_frameMode = mode == VYRSIM_FRAMES_COUNTER ? mode : VYRSIM_FRAMES_SYNTHETIC;
}

void Module::setFinger(int finger)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_sensor.setFinger(finger);
}

void Module::setScript(const int *fingers, int count)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_sensor.setScript(fingers, count);
}

int Module::scriptLeft() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_sensor.scriptLeft();
}

int Module::placeImage(const unsigned char *pixels, int width, int height)
{
    if (!pixels || width < 1 || height < 1 || width > 4096 || height > 4096)
        return VYRSIM_ERR_BAD_ARGUMENT;
    GreyImage frame = centreOnSensor(pixels, width, height);
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_sensor.place(std::move(frame));
    return VYRSIM_OK;
}

Template Module::enrolledFinger(int finger)
{
    {
        const std::lock_guard<std::mutex> lock(m_enrolledMutex);
        const auto known = m_enrolledFingers.find(finger);
        if (known != m_enrolledFingers.end())
            return known->second;
    }
    // Rendering and extracting the presses takes a good tenth of a second;
    // no lock is held meanwhile, so the program's calls go on. Two threads
    // enrolling one finger at once both get the same template.
    Harness::instance().passGate(kEnrollmentGate);
    // Two presses of the finger, as an operator would give them, made into
    // features and merged like an enrollment; a press the gate refuses is
    // given again. Press numbers far beyond the sensor's own keep these
    // presses apart from those the sensor shows.
    GreyImage frame(kFrameWidth, kFrameHeight);
    Template first;
    Template enrolled;
    for (unsigned press = 1u << 30; press < (1u << 30) + 16 && enrolled.empty(); ++press) {
        renderFinger(finger, pressFor(finger, press), press, frame.cells.data());
        const Extraction e = extractFeatures(frame);
        if (!e.accepted)
            continue;
        if (first.empty()) {
            first = e.feature;
        } else if (auto merged = mergeFeatures(first, e.feature)) {
            enrolled = std::move(*merged);
        }
    }
    if (enrolled.empty())
        enrolled = first;
    const std::lock_guard<std::mutex> lock(m_enrolledMutex);
    if (m_enrolledFingers.emplace(finger, enrolled).second) {
        m_enrolledOrder.push_back(finger);
        if (m_enrolledOrder.size() > kEnrolledFingersKept) {
            m_enrolledFingers.erase(m_enrolledOrder.front());
            m_enrolledOrder.pop_front();
        }
    }
    return enrolled;
}

int Module::storeFinger(int id, int finger)
{
    if (finger < 1 || id < 0 || id >= capacity())
        return VYRSIM_ERR_BAD_ID;
    const Template t = enrolledFinger(finger);
    // Only the change of the store itself takes the module's lock; the
    // capacity is checked again, as it may have shrunk meanwhile.
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_store.contains(id))
        return VYRSIM_ERR_BAD_ID;
    return changeStore([&](Store &store) { store.put(id, t); });
}

int Module::stored(int id) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_store.contains(id))
        return -1;
    return m_store.occupied(id) ? 1 : 0;
}

int Module::storeDelete(int id)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_store.contains(id))
        return VYRSIM_ERR_BAD_ID;
    if (!m_store.occupied(id))
        return VYRSIM_ERR_EMPTY;
    return changeStore([&](Store &store) { store.erase(id, 1); });
}

int Module::storeClear()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return changeStore([](Store &store) { store.clear(); });
}

int Module::storeExport(int id, unsigned char *block) const
{
    if (!block)
        return VYRSIM_ERR_BAD_ARGUMENT;
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_store.contains(id))
        return VYRSIM_ERR_BAD_ID;
    if (!m_store.occupied(id))
        return VYRSIM_ERR_EMPTY;
    const TemplateBytes bytes = encodeTemplate(m_store.at(id));
    std::memcpy(block, bytes.data(), bytes.size());
    return VYRSIM_OK;
}

int Module::storeImport(int id, const unsigned char *block, int length)
{
    if (!block)
        return VYRSIM_ERR_BAD_ARGUMENT;
    std::optional<Template> t = decodeTemplate(block, length);
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_store.contains(id))
        return VYRSIM_ERR_BAD_ID;
    if (!t || t->empty())
        return VYRSIM_ERR_TEMPLATE;
    return changeStore([&](Store &store) { store.put(id, std::move(*t)); });
}

std::string Module::describe() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::string text = std::string("attached=") + (m_attached ? "yes" : "no");
    text += std::string(" open=") + (m_open ? "yes" : "no");
    text += " handle=" + (m_open ? std::to_string(m_handle) : std::string("none"));
    text += " sensor=\"" + m_sensor.describe() + "\"";
    text += " templates=" + std::to_string(m_store.count()) + "/"
        + std::to_string(m_store.capacity());
    text += " delay=" + std::to_string(m_delayMs) + "ms";
    text += " store=" + (m_storeFile ? "\"" + m_storeFile->path() + "\"" : std::string("none"));
    return text;
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
    bool finger = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (const int rc = deviceCheck(h, addr))
            return rc;
        finger = m_sensor.capture(m_image);
    }
    pace();
    return finger ? VYRSIM_OK : VYRSIM_ERR_NO_FINGER;
}

int Module::upImage(int h, int addr, unsigned char *image, int *length)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (const int rc = deviceCheck(h, addr))
            return rc;
        if (!image || !length)
            return VYRSIM_ERR_BAD_ARGUMENT;
        const unsigned upload = ++m_uploads;
        if (m_frameMode == VYRSIM_FRAMES_COUNTER)
            std::memset(image, int(upload & 0xff), kFrameBytes);
        else if (m_image.cells.empty())
            renderEmpty(0, image); // no request yet: the bare sensor
        else
            std::memcpy(image, m_image.cells.data(), kFrameBytes);
        *length = kFrameBytes;
    }
    pace();
    return VYRSIM_OK;
}

int Module::genChar(int h, int addr, int buffer)
{
    return onDevice(h, addr, [&] {
        if (buffer < 0 || buffer >= kBuffers)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (m_image.cells.empty())
            return VYRSIM_ERR_FEATURE;
        Extraction extraction = extractFeatures(m_image);
        if (!extraction.accepted)
            return VYRSIM_ERR_FEATURE;
        m_buffers[std::size_t(buffer)] = std::move(extraction.feature);
        return VYRSIM_OK;
    });
}

int Module::match(int h, int addr, int *score)
{
    return onDevice(h, addr, [&] {
        if (!score)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (m_buffers[0].empty() || m_buffers[1].empty())
            return VYRSIM_ERR_EMPTY;
        *score = Matcher(m_buffers[0]).score(EdgeTable::build(m_buffers[1]));
        return *score >= VYRSIM_MATCH_THRESHOLD ? VYRSIM_OK : VYRSIM_ERR_NO_MATCH;
    });
}

int Module::search(int h, int addr, int buffer, int start, int count, int *id, int *score)
{
    return onDevice(h, addr, [&] {
        if (buffer < 0 || buffer >= kBuffers || !id || !score || start < 0 || count < 1
            || !m_store.contains(start))
            return VYRSIM_ERR_BAD_ARGUMENT;
        const Template &probe = m_buffers[std::size_t(buffer)];
        if (probe.empty())
            return VYRSIM_ERR_EMPTY;
        const int end = int(std::min<long long>((long long)start + count, m_store.capacity()));
        const SearchHit hit = searchStore(probe, m_store, start, end);
        if (hit.id < 0)
            return VYRSIM_ERR_NO_MATCH;
        *id = hit.id;
        *score = hit.score;
        return VYRSIM_OK;
    });
}

int Module::regModule(int h, int addr)
{
    return onDevice(h, addr, [&] {
        if (m_buffers[0].empty() || m_buffers[1].empty())
            return VYRSIM_ERR_EMPTY;
        std::optional<Template> merged = mergeFeatures(m_buffers[0], m_buffers[1]);
        if (!merged)
            return VYRSIM_ERR_MERGE;
        m_buffers[0] = *merged;
        m_buffers[1] = std::move(*merged);
        return VYRSIM_OK;
    });
}

int Module::storeChar(int h, int addr, int buffer, int id)
{
    return onDevice(h, addr, [&]() -> int {
        if (buffer < 0 || buffer >= kBuffers)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (!m_store.contains(id))
            return VYRSIM_ERR_BAD_ID;
        if (m_buffers[std::size_t(buffer)].empty())
            return VYRSIM_ERR_EMPTY;
        return changeStore([&](Store &store) { store.put(id, m_buffers[std::size_t(buffer)]); });
    });
}

int Module::loadChar(int h, int addr, int buffer, int id)
{
    return onDevice(h, addr, [&] {
        if (buffer < 0 || buffer >= kBuffers)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (!m_store.contains(id))
            return VYRSIM_ERR_BAD_ID;
        if (!m_store.occupied(id))
            return VYRSIM_ERR_EMPTY;
        m_buffers[std::size_t(buffer)] = m_store.at(id);
        return VYRSIM_OK;
    });
}

int Module::upChar(int h, int addr, int buffer, unsigned char *data, int *length)
{
    return onDevice(h, addr, [&] {
        if (buffer < 0 || buffer >= kBuffers || !data || !length)
            return VYRSIM_ERR_BAD_ARGUMENT;
        const Template &t = m_buffers[std::size_t(buffer)];
        if (t.empty())
            return VYRSIM_ERR_EMPTY;
        const TemplateBytes bytes = encodeTemplate(t);
        std::memcpy(data, bytes.data(), bytes.size());
        *length = kTemplateBytes;
        return VYRSIM_OK;
    });
}

int Module::downChar(int h, int addr, int buffer, const unsigned char *data, int length)
{
    return onDevice(h, addr, [&] {
        if (buffer < 0 || buffer >= kBuffers || !data)
            return VYRSIM_ERR_BAD_ARGUMENT;
        std::optional<Template> t = decodeTemplate(data, length);
        if (!t)
            return VYRSIM_ERR_TEMPLATE;
        m_buffers[std::size_t(buffer)] = std::move(*t);
        return VYRSIM_OK;
    });
}

int Module::delChar(int h, int addr, int id, int count)
{
    return onDevice(h, addr, [&]() -> int {
        if (count < 1)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (id < 0 || (long long)id + count > m_store.capacity())
            return VYRSIM_ERR_BAD_ID;
        return changeStore([&](Store &store) { store.erase(id, count); });
    });
}

int Module::empty(int h, int addr)
{
    return onDevice(h, addr, [&] { return changeStore([](Store &store) { store.clear(); }); });
}

int Module::readParTable(int h, int addr, unsigned char *table)
{
    return onDevice(h, addr, [&] {
        if (!table)
            return VYRSIM_ERR_BAD_ARGUMENT;
        // Status register, sensor type, capacity, security level, address,
        // packet size code and baud rate factor, each big-endian.
        const int capacity = m_store.capacity();
        const unsigned char parameters[16] = {0x00,
                                              0x00,
                                              0x00,
                                              0x09,
                                              static_cast<unsigned char>(capacity >> 8),
                                              static_cast<unsigned char>(capacity),
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
        *count = m_store.count();
        return VYRSIM_OK;
    });
}

int Module::readIndexTable(int h, int addr, int page, unsigned char *bits)
{
    return onDevice(h, addr, [&] {
        if (page < 0 || page >= kIndexPages || !bits)
            return VYRSIM_ERR_BAD_ARGUMENT;
        // Bit j of byte i stands for ID 256 * page + 8 * i + j, least significant bit first.
        m_store.indexBits(page * kIndexPageBytes * 8, bits, kIndexPageBytes);
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
    // Templates have one form; the module takes only its length.
    return length == kTemplateBytes ? VYRSIM_OK : VYRSIM_ERR_BAD_ARGUMENT;
}

int Module::getCharLen(int *length)
{
    if (!length)
        return VYRSIM_ERR_BAD_ARGUMENT;
    *length = kTemplateBytes;
    return VYRSIM_OK;
}

int Module::readInfo(int h, int addr, int page, unsigned char *data)
{
    return onDevice(h, addr, [&] {
        if (page < 0 || page >= Store::kNotepadPages || !data)
            return VYRSIM_ERR_BAD_ARGUMENT;
        std::memcpy(data, m_store.notepad(page).data(), Store::kNotepadPageBytes);
        return VYRSIM_OK;
    });
}

int Module::writeInfo(int h, int addr, int page, const unsigned char *data)
{
    return onDevice(h, addr, [&]() -> int {
        if (page < 0 || page >= Store::kNotepadPages || !data)
            return VYRSIM_ERR_BAD_ARGUMENT;
        return changeStore([&](Store &store) { store.setNotepad(page, data); });
    });
}

} // namespace vyrsim
