// Recordings of module calls, as VYRSIM_REPLAY and vyrsim replay read them
// with parseRecording: a refused one says why; an accepted one lists, hands
// its outputs to buffers as large as the program's and no larger, and comes
// back the same once written again and read. Random bytes almost never carry
// a record's checksum, so each input is tried a second time with every
// record's made right, to reach the calls behind them.

#include "callcapture.h"
#include "calltext.h"
#include "fuzzsupport.h"
#include "recordingreader.h"
#include "recordingwriter.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace {

const fuzz::PrivateDir folder;

bool sameArguments(const recording::Argument &a, const recording::Argument &b)
{
    return a.kind == b.kind && a.isNull() == b.isNull() && a.value == b.value && a.size == b.size
        && (a.form == recording::Form::LeftOut) == (b.form == recording::Form::LeftOut)
        && a.bytes() == b.bytes();
}

// Every output into a buffer of the size the program gives it: frames of
// 92160 bytes, templates of 8192, fixed outputs as their shape says.
void answer(const recording::Call &call)
{
    const recording::ShapeList shapes = recording::shapesOf(call.name);
    fuzz::require(shapes.count == int(call.arguments.size()), "a call has its entry's arguments");
    std::vector<std::vector<unsigned char>> buffers;
    std::vector<int> values(call.arguments.size());
    std::vector<recording::Param> params(call.arguments.size());
    for (int i = 0; i < shapes.count; ++i) {
        const recording::Kind kind = shapes.shapes[i].kind;
        std::size_t room = std::size_t(shapes.shapes[i].size);
        if (kind == recording::Kind::OutFrame)
            room = recording::kMaxFrameBytes;
        if (kind == recording::Kind::OutTemplate)
            room = recording::kMaxTemplateBytes;
        if (kind == recording::Kind::OutValue) {
            params[i].pointer = &values[std::size_t(i)];
        } else if (recording::isOutput(kind)) {
            buffers.emplace_back(room);
            params[i].pointer = buffers.back().data();
        }
    }
    recording::writeOutputs(shapes, call.arguments, params.data());
    fuzz::require(!recording::callLine(call).empty(), "a call has a line");
    fuzz::require(recording::firstDifference(call.arguments, call.arguments) < 0,
                  "a recorded call is the call it records");
}

void check(const std::vector<unsigned char> &bytes)
{
    std::string error;
    const std::optional<recording::Recording> read
        = recording::parseRecording(bytes.data(), bytes.size(), error);
    if (!read) {
        fuzz::require(!error.empty(), "a refused recording says why");
        return;
    }
    for (const recording::Call &call : read->calls)
        answer(call);

    recording::RecordingWriter writer;
    fuzz::require(writer.open(folder.file("again"), read->flags, read->about, error),
                  "a copy can be opened");
    for (const recording::Call &call : read->calls)
        fuzz::require(writer.write(call, error), "a call read can be written");
    writer.close();
    const std::optional<recording::Recording> again
        = recording::readRecording(folder.file("again"), error);
    fuzz::require(again && again->flags == read->flags && again->about == read->about
                      && again->calls.size() == read->calls.size(),
                  "a recording written again reads back whole");
    for (std::size_t i = 0; i < read->calls.size(); ++i) {
        const recording::Call &a = read->calls[i], &b = again->calls[i];
        bool same = a.name == b.name && a.result == b.result && a.startMicros == b.startMicros
            && a.durationMicros == b.durationMicros && a.arguments.size() == b.arguments.size();
        for (std::size_t j = 0; same && j < a.arguments.size(); ++j)
            same = sameArguments(a.arguments[j], b.arguments[j]);
        fuzz::require(same, "every call reads back as it was");
    }
}

std::uint32_t le32(const unsigned char *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

// Makes every record's checksum right, as far as the lengths hold.
void seal(std::vector<unsigned char> &bytes)
{
    if (bytes.size() < 16)
        return;
    std::size_t at = 16 + std::size_t(le32(&bytes[12]));
    while (at + 8 <= bytes.size()) {
        const std::size_t length = le32(&bytes[at]);
        if (length > bytes.size() - at - 8)
            return;
        const std::uint32_t crc = std::uint32_t(crc32(0, &bytes[at + 8], uInt(length)));
        for (int i = 0; i < 4; ++i)
            bytes[at + 4 + std::size_t(i)] = static_cast<unsigned char>(crc >> (8 * i));
        at += 8 + length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<unsigned char> bytes(data, data + size);
    check(bytes);
    seal(bytes);
    check(bytes);
    return 0;
}
