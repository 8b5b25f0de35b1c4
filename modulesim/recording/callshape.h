#ifndef RECORDING_CALLSHAPE_H
#define RECORDING_CALLSHAPE_H

// What each parameter of an entry point carries, as the entry points' list
// (vyr_entrypoints.h) gives it, so that a recording can take a call's inputs
// and outputs by value and a replay can hand the outputs back.

#include "vyr_entrypoints.h"

#include <cstdint>
#include <string_view>

namespace recording {

enum class Kind : std::uint8_t {
    Value = 1, // an int passed in
    OutValue = 2, // an int the call writes through a pointer
    Text = 3, // a NUL-terminated string the call reads
    InBytes = 4, // a fixed number of bytes the call reads
    OutBytes = 5, // a fixed number of bytes the call writes
    InFrame = 6, // an image the call reads
    OutFrame = 7, // an image the call writes; its length is the OutValue after it
    InTemplate = 8, // a template block the call reads; its length is the Value after it
    OutTemplate = 9 // a template block the call writes; its length is the OutValue after it
};

struct Shape
{
    Kind kind;
    int size; // bytes, for InBytes and OutBytes
};

struct ShapeList
{
    const Shape *shapes;
    int count;
    const Shape *begin() const { return shapes; }
    const Shape *end() const { return shapes + count; }
};

// The tokens the list's last column is written in.
namespace tokens {
constexpr Shape Value {Kind::Value, 4};
constexpr Shape OutValue {Kind::OutValue, 4};
constexpr Shape Text {Kind::Text, 0};
constexpr Shape InFrame {Kind::InFrame, 0};
constexpr Shape OutFrame {Kind::OutFrame, 0};
constexpr Shape InTemplate {Kind::InTemplate, 0};
constexpr Shape OutTemplate {Kind::OutTemplate, 0};
constexpr Shape InBytes(int n)
{
    return {Kind::InBytes, n};
}
constexpr Shape OutBytes(int n)
{
    return {Kind::OutBytes, n};
}
} // namespace tokens

// recording::shapes::VYRUpImage and so on, one array for each entry point.
namespace shapes {
using namespace tokens;
#define RECORDING_UNPAREN(...) __VA_ARGS__
#define RECORDING_SHAPES(result, name, parameters, list)                                           \
    constexpr Shape name##_array[] = {RECORDING_UNPAREN list};                                     \
    constexpr ShapeList name {name##_array, int(sizeof name##_array / sizeof(Shape))};
VYR_ENTRY_POINTS(RECORDING_SHAPES)
#undef RECORDING_SHAPES
#undef RECORDING_UNPAREN
} // namespace shapes

// The shapes of the entry point called `name`; a count of -1 for a name
// that is no entry point.
ShapeList shapesOf(std::string_view name);

bool isOutput(Kind kind);
bool isFrame(Kind kind);
bool isTemplate(Kind kind);

} // namespace recording

#endif // RECORDING_CALLSHAPE_H
