#include "device.h"

#include "edgetable.h"
#include "extractor.h"
#include "fingersynth.h"
#include "matcher.h"
#include "merge.h"
#include "plumbing.h"
#include "search.h"
#include "templatecodec.h"
#include "vyrsim_codes.h"

#include <algorithm>
#include <cstring>

namespace vyrsim {

namespace {

std::uint64_t scramble(std::uint64_t x)
{
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    return x ^ (x >> 33);
}

bool isBuffer(int buffer)
{
    return buffer >= 0 && buffer < Board::kBuffers;
}

} // namespace

int Device::setPath(int path, int option)
{
    return path < 0 || option < 0 ? VYRSIM_ERR_BAD_ARGUMENT : VYRSIM_OK;
}

int Device::setMode(int mode)
{
    return mode < 0 || mode > 2 ? VYRSIM_ERR_BAD_ARGUMENT : VYRSIM_OK;
}

int Device::open(int *handle)
{
    if (!handle)
        return VYRSIM_ERR_BAD_ARGUMENT;
    return m_board.locked([&](Board::State &s) {
        if (!s.attached)
            return VYRSIM_ERR_NO_DEVICE;
        // Opening again drops the old session and hands out a new handle.
        s.open = true;
        s.handle = s.nextHandle++;
        *handle = s.handle;
        return VYRSIM_OK;
    });
}

int Device::close(int h)
{
    return m_board.onDevice(h, Board::kAddress, [](Board::State &s) {
        s.open = false;
        s.buffers = {};
        return VYRSIM_OK;
    });
}

int Device::verifyPassword(int h, int addr, const unsigned char *password)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        if (!password)
            return VYRSIM_ERR_BAD_ARGUMENT;
        return std::memcmp(password, s.password.data(), s.password.size()) == 0
            ? VYRSIM_OK
            : VYRSIM_ERR_PASSWORD;
    });
}

int Device::getImage(int h, int addr)
{
    bool finger = false;
    if (const int rc = m_board.onDevice(h, addr, [&](Board::State &s) {
            finger = s.sensor.capture(s.image);
            return VYRSIM_OK;
        }))
        return rc;
    m_board.pace();
    return finger ? VYRSIM_OK : VYRSIM_ERR_NO_FINGER;
}

int Device::upImage(int h, int addr, unsigned char *image, int *length)
{
    if (const int rc = m_board.onDevice(h, addr, [&](Board::State &s) {
            if (!image || !length)
                return VYRSIM_ERR_BAD_ARGUMENT;
            const unsigned upload = ++s.uploads;
            if (s.frameMode == VYRSIM_FRAMES_COUNTER)
                std::memset(image, int(upload & 0xff), kFrameBytes);
            else if (s.image.cells.empty())
                renderEmpty(0, image); // no request yet: the bare sensor
            else
                std::memcpy(image, s.image.cells.data(), kFrameBytes);
            *length = kFrameBytes;
            return VYRSIM_OK;
        }))
        return rc;
    m_board.pace();
    return VYRSIM_OK;
}

int Device::genChar(int h, int addr, int buffer)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        if (!isBuffer(buffer))
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (s.image.cells.empty())
            return VYRSIM_ERR_FEATURE;
        Extraction extraction = extractFeatures(s.image);
        if (!extraction.accepted)
            return VYRSIM_ERR_FEATURE;
        s.buffers[std::size_t(buffer)] = std::move(extraction.feature);
        makeReady(s, buffer);
        return VYRSIM_OK;
    });
}

void Device::makeReady(const Board::State &s, int buffer)
{
    if (buffer > 1 || m_readyFrom[std::size_t(buffer)] == s.buffers[std::size_t(buffer)])
        return;
    const Template &t = s.buffers[std::size_t(buffer)];
    if (buffer == 0)
        m_matcher.setProbe(t, Matcher::Candidates::One);
    else
        m_candidate.rebuild(t);
    m_readyFrom[std::size_t(buffer)] = t;
}

int Device::match(int h, int addr, int *score)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        if (!score)
            return VYRSIM_ERR_BAD_ARGUMENT;
        if (s.buffers[0].empty() || s.buffers[1].empty())
            return VYRSIM_ERR_EMPTY;
        makeReady(s, 0);
        makeReady(s, 1);
        *score = m_matcher.score(m_candidate);
        return *score >= VYRSIM_MATCH_THRESHOLD ? VYRSIM_OK : VYRSIM_ERR_NO_MATCH;
    });
}

int Device::search(int h, int addr, int buffer, int start, int count, int *id, int *score)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        const Store &store = s.store.store();
        if (!isBuffer(buffer) || !id || !score || start < 0 || count < 1 || !store.contains(start))
            return VYRSIM_ERR_BAD_ARGUMENT;
        const Template &probe = s.buffers[std::size_t(buffer)];
        if (probe.empty())
            return VYRSIM_ERR_EMPTY;
        const int end = int(std::min<long long>((long long)start + count, store.capacity()));
        const SearchHit hit = searchStore(probe, store, start, end);
        if (hit.id < 0)
            return VYRSIM_ERR_NO_MATCH;
        *id = hit.id;
        *score = hit.score;
        return VYRSIM_OK;
    });
}

int Device::regModule(int h, int addr)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        if (s.buffers[0].empty() || s.buffers[1].empty())
            return VYRSIM_ERR_EMPTY;
        std::optional<Template> merged = mergeFeatures(s.buffers[0], s.buffers[1]);
        if (!merged)
            return VYRSIM_ERR_MERGE;
        s.buffers[0] = *merged;
        s.buffers[1] = std::move(*merged);
        makeReady(s, 0);
        makeReady(s, 1);
        return VYRSIM_OK;
    });
}

int Device::upChar(int h, int addr, int buffer, unsigned char *data, int *length)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        if (!isBuffer(buffer) || !data || !length)
            return VYRSIM_ERR_BAD_ARGUMENT;
        const Template &t = s.buffers[std::size_t(buffer)];
        if (t.empty())
            return VYRSIM_ERR_EMPTY;
        const TemplateBytes bytes = encodeTemplate(t);
        std::memcpy(data, bytes.data(), bytes.size());
        *length = kTemplateBytes;
        return VYRSIM_OK;
    });
}

int Device::downChar(int h, int addr, int buffer, const unsigned char *data, int length)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        if (!isBuffer(buffer) || !data)
            return VYRSIM_ERR_BAD_ARGUMENT;
        std::optional<Template> t = decodeTemplate(data, length);
        if (!t)
            return VYRSIM_ERR_TEMPLATE;
        s.buffers[std::size_t(buffer)] = std::move(*t);
        makeReady(s, buffer);
        return VYRSIM_OK;
    });
}

int Device::randomData(int h, int addr, unsigned char *data)
{
    return m_board.onDevice(h, addr, [&](Board::State &s) {
        if (!data)
            return VYRSIM_ERR_BAD_ARGUMENT;
        s.random = scramble(s.random + 0x9e3779b97f4a7c15ULL);
        putLe32(data, std::uint32_t(s.random));
        return VYRSIM_OK;
    });
}

int Device::userDefine(int h, int addr, int port, int level)
{
    return m_board.onDevice(h, addr, [&](Board::State &) {
        return port < 0 || port > 1 || level < 0 || level > 1 ? VYRSIM_ERR_BAD_ARGUMENT : VYRSIM_OK;
    });
}

int Device::setCharLen(int length)
{
    // Templates have one form; the module takes only its length.
    return length == kTemplateBytes ? VYRSIM_OK : VYRSIM_ERR_BAD_ARGUMENT;
}

int Device::getCharLen(int *length)
{
    if (!length)
        return VYRSIM_ERR_BAD_ARGUMENT;
    *length = kTemplateBytes;
    return VYRSIM_OK;
}

} // namespace vyrsim
