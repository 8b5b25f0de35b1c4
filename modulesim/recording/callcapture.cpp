#include "callcapture.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace recording {

namespace {

std::uint32_t clampedSize(int length, std::uint32_t limit)
{
    return length <= 0 ? 0 : std::min(std::uint32_t(length), limit);
}

// The length an output's companion parameter gives once the call returned.
int writtenLength(const Param *params, int next, int count)
{
    if (next >= count || !params[next].pointer)
        return 0;
    int length = 0;
    std::memcpy(&length, params[next].pointer, sizeof length);
    return length;
}

std::uint32_t inputSize(const Shape &shape, const Param *params, int i, int count)
{
    switch (shape.kind) {
    case Kind::Text:
        return clampedSize(
            int(strnlen(static_cast<const char *>(params[i].pointer), kMaxTextBytes)),
            kMaxTextBytes);
    case Kind::InBytes:
        return std::uint32_t(shape.size);
    case Kind::InFrame:
        return kFrameBytes;
    case Kind::InTemplate:
        return i + 1 < count ? clampedSize(params[i + 1].value, kMaxTemplateBytes) : 0;
    default:
        return 0;
    }
}

std::uint32_t outputSize(const Shape &shape, const Param *params, int i, int count)
{
    switch (shape.kind) {
    case Kind::OutBytes:
        return std::uint32_t(shape.size);
    case Kind::OutFrame: {
        const int length = writtenLength(params, i + 1, count);
        return length > 0 && std::uint32_t(length) <= kMaxFrameBytes ? std::uint32_t(length)
                                                                     : kFrameBytes;
    }
    case Kind::OutTemplate:
        return clampedSize(writtenLength(params, i + 1, count), kMaxTemplateBytes);
    default:
        return 0;
    }
}

std::string_view lastComponent(const std::vector<unsigned char> &text)
{
    const std::string_view whole(reinterpret_cast<const char *>(text.data()), text.size());
    const std::size_t slash = whole.rfind('/');
    return slash == std::string_view::npos ? whole : whole.substr(slash + 1);
}

bool sameInput(const Argument &recorded, const Argument &came)
{
    if (recorded.kind != came.kind || recorded.isNull() != came.isNull())
        return false;
    if (recorded.kind == Kind::Value)
        return recorded.value == came.value;
    if (isOutput(recorded.kind) || recorded.isNull())
        return true;
    if (recorded.size != came.size)
        return false;
    if (recorded.form == Form::LeftOut)
        return true;
    if (recorded.kind == Kind::Text)
        return lastComponent(recorded.bytes()) == lastComponent(came.bytes());
    return recorded.bytes() == came.bytes();
}

} // namespace

std::vector<Argument> captureInputs(ShapeList shapes, const Param *params)
{
    std::vector<Argument> arguments;
    arguments.reserve(std::size_t(shapes.count));
    for (int i = 0; i < shapes.count; ++i) {
        const Shape &shape = shapes.shapes[i];
        Argument a;
        a.kind = shape.kind;
        if (shape.kind == Kind::Value) {
            a.value = params[i].value;
            a.size = 4;
        } else if (!params[i].pointer) {
            a.form = Form::Null;
        } else if (!isOutput(shape.kind)) {
            a = rawArgument(shape.kind, static_cast<const unsigned char *>(params[i].pointer),
                            inputSize(shape, params, i, shapes.count));
        }
        arguments.push_back(std::move(a));
    }
    return arguments;
}

void captureOutputs(ShapeList shapes, const Param *params, std::vector<Argument> &arguments)
{
    for (int i = 0; i < shapes.count; ++i) {
        const Shape &shape = shapes.shapes[i];
        if (!isOutput(shape.kind) || !params[i].pointer)
            continue;
        if (shape.kind == Kind::OutValue) {
            std::memcpy(&arguments[i].value, params[i].pointer, sizeof(int));
            arguments[i].size = 4;
        } else {
            arguments[i]
                = rawArgument(shape.kind, static_cast<const unsigned char *>(params[i].pointer),
                              outputSize(shape, params, i, shapes.count));
        }
    }
}

int firstDifference(const std::vector<Argument> &recorded, const std::vector<Argument> &came)
{
    for (std::size_t i = 0; i < std::max(recorded.size(), came.size()); ++i) {
        if (i >= recorded.size() || i >= came.size() || !sameInput(recorded[i], came[i]))
            return int(i);
    }
    return -1;
}

void writeOutputs(ShapeList shapes, const std::vector<Argument> &recorded, const Param *params)
{
    for (int i = 0; i < shapes.count && std::size_t(i) < recorded.size(); ++i) {
        const Argument &a = recorded[i];
        if (!isOutput(a.kind) || a.isNull() || !params[i].pointer)
            continue;
        if (a.kind == Kind::OutValue) {
            std::memcpy(params[i].pointer, &a.value, sizeof a.value);
        } else {
            // An output of no bytes (a template of length 0) has no data
            // to copy from, and memcpy may not be given a null source.
            const std::vector<unsigned char> bytes = a.bytes();
            if (!bytes.empty())
                std::memcpy(params[i].pointer, bytes.data(), bytes.size());
        }
    }
}

} // namespace recording
