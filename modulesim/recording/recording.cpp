#include "recording.h"

#include <zlib.h>

namespace recording {

namespace {

struct Entry
{
    std::string_view name;
    ShapeList shapes;
};

#define RECORDING_ENTRY(result, name, parameters, list) {#name, shapes::name},
constexpr Entry kEntries[] = {VYR_ENTRY_POINTS(RECORDING_ENTRY)};
#undef RECORDING_ENTRY

} // namespace

ShapeList shapesOf(std::string_view name)
{
    for (const Entry &entry : kEntries) {
        if (entry.name == name)
            return entry.shapes;
    }
    return {nullptr, -1};
}

bool isOutput(Kind kind)
{
    return kind == Kind::OutValue || kind == Kind::OutBytes || kind == Kind::OutFrame
        || kind == Kind::OutTemplate;
}

bool isFrame(Kind kind)
{
    return kind == Kind::InFrame || kind == Kind::OutFrame;
}

bool isTemplate(Kind kind)
{
    return kind == Kind::InTemplate || kind == Kind::OutTemplate;
}

Argument rawArgument(Kind kind, const unsigned char *data, std::uint32_t size)
{
    Argument a;
    a.kind = kind;
    a.form = Form::Raw;
    a.size = size;
    a.stored = std::make_shared<const std::vector<unsigned char>>(data, data + size);
    return a;
}

std::vector<unsigned char> Argument::bytes() const
{
    if (form == Form::Raw && stored)
        return *stored;
    std::vector<unsigned char> out(size, 0);
    if (form == Form::Deflated && stored) {
        uLongf length = size;
        // The reader has inflated every stream once to the size it claims.
        if (uncompress(out.data(), &length, stored->data(), uLong(stored->size())) != Z_OK
            || length != size)
            std::fill(out.begin(), out.end(), 0);
    }
    return out;
}

} // namespace recording
