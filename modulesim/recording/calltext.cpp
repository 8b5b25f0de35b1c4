#include "calltext.h"

#include <cstdio>

namespace recording {

namespace {

std::string hex(const std::vector<unsigned char> &bytes)
{
    std::string out;
    char digits[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", bytes[i]);
        out += digits;
    }
    return out;
}

std::string quoted(const std::vector<unsigned char> &bytes)
{
    std::string out = "\"";
    for (const unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string argumentText(const Argument &a, bool withOutputs)
{
    if (a.isNull())
        return "null";
    if (a.kind == Kind::Value)
        return std::to_string(a.value);
    if (isOutput(a.kind) && !withOutputs)
        return "&?";
    const std::string prefix = isOutput(a.kind) ? "&" : "";
    const std::string leftOut = a.form == Form::LeftOut ? " left out" : "";
    switch (a.kind) {
    case Kind::OutValue:
        return prefix + std::to_string(a.value);
    case Kind::Text:
        return quoted(a.bytes());
    case Kind::InBytes:
    case Kind::OutBytes:
        return prefix + "<" + hex(a.bytes()) + ">";
    case Kind::InFrame:
    case Kind::OutFrame:
        return prefix + "<frame " + std::to_string(a.size) + " bytes" + leftOut + ">";
    default:
        return prefix + "<template " + std::to_string(a.size) + " bytes" + leftOut + ">";
    }
}

} // namespace

std::string callText(const std::string &name, const std::vector<Argument> &arguments,
                     bool withOutputs)
{
    std::string out = name + "(";
    for (std::size_t i = 0; i < arguments.size(); ++i)
        out += (i ? ", " : "") + argumentText(arguments[i], withOutputs);
    return out + ")";
}

std::string callLine(const Call &call)
{
    return callText(call.name, call.arguments, true) + " = " + std::to_string(call.result) + ", "
        + std::to_string(call.durationMicros) + " us";
}

} // namespace recording
