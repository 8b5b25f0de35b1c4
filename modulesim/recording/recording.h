#ifndef RECORDING_RECORDING_H
#define RECORDING_RECORDING_H

// A recording of module library calls, as its reader gives it and its
// writer takes it. The file's layout is in docs/recording.md.

#include "callshape.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace recording {

constexpr char kMagic[8] = {'F', 'P', 'D', 'R', 'E', 'C', '\r', '\n'};
constexpr std::uint16_t kVersion = 1;

// Header flags: what was left out when recording.
constexpr std::uint16_t kFramesLeftOut = 1;
constexpr std::uint16_t kTemplatesLeftOut = 2;

constexpr std::uint8_t kCallRecord = 1;

// How an argument's bytes are stored.
enum class Form : std::uint8_t {
    Null = 0, // a null pointer: nothing read or written
    Raw = 1,
    Deflated = 2, // a zlib stream
    SameFrame = 3, // the bytes of the frame recorded last
    LeftOut = 4 // not recorded; `size` says how many there were
};

// Bounds a reader holds every recording to.
constexpr std::uint32_t kFrameBytes = 256 * 288; // a frame whose call gives no length
constexpr std::uint32_t kMaxFrameBytes = 92160; // room for 256 x 360, as the program has
constexpr std::uint32_t kMaxTemplateBytes = 8192;
constexpr std::uint32_t kMaxTextBytes = 4096;
constexpr std::uint32_t kMaxAboutBytes = 4096;
constexpr std::uint32_t kMaxRecordBytes = 1 << 20;

struct Argument
{
    Kind kind = Kind::Value;
    Form form = Form::Raw;
    std::int32_t value = 0; // Value and OutValue
    std::uint32_t size = 0; // bytes the call read or wrote
    // The stored bytes: raw or deflated. Shared, since one frame may stand
    // for many calls and a long recording is kept as it was stored.
    std::shared_ptr<const std::vector<unsigned char>> stored;

    bool isNull() const { return form == Form::Null; }
    // The bytes as the call saw them: zeros for bytes left out.
    std::vector<unsigned char> bytes() const;
};

struct Call
{
    std::string name;
    std::int32_t result = 0;
    std::uint64_t startMicros = 0; // since the recording began
    std::uint32_t durationMicros = 0;
    std::vector<Argument> arguments;
};

struct Recording
{
    std::uint16_t version = kVersion;
    std::uint16_t flags = 0;
    std::string about; // what recorded it, with which library, when
    std::vector<Call> calls;
};

// An argument whose bytes are kept raw.
Argument rawArgument(Kind kind, const unsigned char *data, std::uint32_t size);

} // namespace recording

#endif // RECORDING_RECORDING_H
