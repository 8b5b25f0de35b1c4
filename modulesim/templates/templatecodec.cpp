#include "templatecodec.h"

#include "plumbing.h"

#include <algorithm>
#include <cstring>

namespace vyrsim {

namespace {

constexpr unsigned char kMagic[3] = {'V', 'Y', 'T'};
constexpr unsigned char kPlain = 1; // layout version: minutiae only
constexpr unsigned char kRidged = 2; // and the ridges' cells
constexpr int kHeaderBytes = 8;
constexpr int kRidgeBytes = kRidgeCells / 2;
constexpr int kMinutiaBytes = 6;
constexpr int kChecksumAt = kTemplateBytes - 4;
constexpr unsigned char kFork = 0x80;

// Coordinates are signed 16-bit, two's complement, little-endian.
void put16(unsigned char *at, std::int16_t value)
{
    putLe16(at, static_cast<std::uint16_t>(value));
}

std::int16_t get16(const unsigned char *at)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(getLe16(at)));
}

} // namespace

std::uint32_t crc32(const unsigned char *data, int length)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t {};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xffffffffu;
    for (int i = 0; i < length; ++i)
        crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
    return crc ^ 0xffffffffu;
}

TemplateBytes encodeTemplate(const Template &t)
{
    TemplateBytes bytes {};
    const bool ridged = t.ridges.size() == std::size_t(kRidgeCells);
    const int n
        = std::min<int>(int(t.minutiae.size()), ridged ? kMaxRidgedMinutiae : kMaxTemplateMinutiae);
    std::memcpy(bytes.data(), kMagic, sizeof kMagic);
    bytes[3] = ridged ? kRidged : kPlain;
    bytes[4] = t.merged ? 1 : 0;
    bytes[5] = static_cast<unsigned char>(n);
    unsigned char *at = bytes.data() + kHeaderBytes;
    if (ridged) {
        for (int i = 0; i < kRidgeBytes; ++i)
            at[i] = static_cast<unsigned char>((t.ridges[std::size_t(2 * i)] & 0x0f)
                                               | (t.ridges[std::size_t(2 * i + 1)] << 4));
        at += kRidgeBytes;
    }
    for (int i = 0; i < n; ++i, at += kMinutiaBytes) {
        const Minutia &m = t.minutiae[std::size_t(i)];
        put16(at, m.x);
        put16(at + 2, m.y);
        at[4] = m.angle;
        at[5] = static_cast<unsigned char>((m.type == MinutiaType::Fork ? kFork : 0)
                                           | std::min<int>(m.quality, 100));
    }
    putLe32(bytes.data() + kChecksumAt, crc32(bytes.data(), kChecksumAt));
    return bytes;
}

std::optional<Template> decodeTemplate(const unsigned char *data, int length)
{
    if (!data || length != kTemplateBytes)
        return std::nullopt;
    if (std::memcmp(data, kMagic, sizeof kMagic) != 0 || (data[3] != kPlain && data[3] != kRidged))
        return std::nullopt;
    const bool ridged = data[3] == kRidged;
    if (getLe32(data + kChecksumAt) != crc32(data, kChecksumAt))
        return std::nullopt;
    const int n = data[5];
    if ((data[4] & ~1u) != 0 || n > (ridged ? kMaxRidgedMinutiae : kMaxTemplateMinutiae)
        || data[6] != 0 || data[7] != 0)
        return std::nullopt;
    const unsigned char *begin = data + kHeaderBytes + (ridged ? kRidgeBytes : 0);
    const unsigned char *end = begin + n * kMinutiaBytes;
    if (std::any_of(end, data + kChecksumAt, [](unsigned char b) { return b != 0; }))
        return std::nullopt;

    Template t;
    t.merged = data[4] & 1;
    if (ridged) {
        // Every value of a cell's four bits is a cell: nothing to refuse.
        t.ridges.resize(kRidgeCells);
        for (int i = 0; i < kRidgeBytes; ++i) {
            t.ridges[std::size_t(2 * i)] = data[kHeaderBytes + i] & 0x0f;
            t.ridges[std::size_t(2 * i + 1)] = data[kHeaderBytes + i] >> 4;
        }
    }
    t.minutiae.reserve(std::size_t(n));
    for (const unsigned char *at = begin; at < end; at += kMinutiaBytes) {
        Minutia m;
        m.x = get16(at);
        m.y = get16(at + 2);
        m.angle = at[4];
        m.type = (at[5] & kFork) ? MinutiaType::Fork : MinutiaType::Ending;
        m.quality = at[5] & 0x7f;
        if (m.quality > 100 || !withinReach(m.x, m.y))
            return std::nullopt;
        t.minutiae.push_back(m);
    }
    return t;
}

} // namespace vyrsim
