#include "recordingreader.h"

#include "bytes.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace recording {

namespace {

// Reads fields from a span, failing once past its end.
class Cursor
{
public:
    Cursor(const unsigned char *data, std::size_t size)
        : m_data(data)
        , m_size(size)
    { }

    bool take(std::size_t n, const unsigned char *&out)
    {
        if (n > m_size - m_at)
            return false;
        out = m_data + m_at;
        m_at += n;
        return true;
    }
    template<typename T> bool field(T &value, int bytes)
    {
        const unsigned char *p = nullptr;
        if (!take(std::size_t(bytes), p))
            return false;
        value = static_cast<T>(get(p, bytes));
        return true;
    }
    std::size_t at() const { return m_at; }
    bool atEnd() const { return m_at == m_size; }

private:
    const unsigned char *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

std::uint32_t sizeLimit(const Shape &shape)
{
    switch (shape.kind) {
    case Kind::Value:
    case Kind::OutValue:
        return 4;
    case Kind::Text:
        return kMaxTextBytes;
    case Kind::InBytes:
    case Kind::OutBytes:
        return std::uint32_t(shape.size);
    case Kind::InFrame:
    case Kind::OutFrame:
        return kMaxFrameBytes;
    case Kind::InTemplate:
    case Kind::OutTemplate:
        return kMaxTemplateBytes;
    }
    return 0;
}

class Parser
{
public:
    explicit Parser(std::uint16_t flags)
        : m_flags(flags)
    { }

    // One call's body; false with `error` set.
    bool call(Cursor &in, Call &out, std::string &error)
    {
        std::uint8_t type = 0, nameLength = 0, count = 0;
        const unsigned char *name = nullptr;
        if (!in.field(type, 1) || type != kCallRecord)
            return fail(error, "not a call record");
        if (!in.field(nameLength, 1) || !in.take(nameLength, name))
            return fail(error, "cut short in the entry point's name");
        out.name.assign(reinterpret_cast<const char *>(name), nameLength);
        const ShapeList shapes = shapesOf(out.name);
        if (shapes.count < 0)
            return fail(error, "'" + printable(out.name) + "' is no entry point");
        if (!in.field(out.result, 4) || !in.field(out.startMicros, 8)
            || !in.field(out.durationMicros, 4) || !in.field(count, 1))
            return fail(error, "cut short in the call's fields");
        if (count != shapes.count)
            return fail(error,
                        out.name + " with " + std::to_string(count) + " arguments, not "
                            + std::to_string(shapes.count));
        for (const Shape &shape : shapes) {
            Argument a;
            if (!argument(in, shape, a, error))
                return fail(error,
                            out.name + " argument " + std::to_string(out.arguments.size() + 1)
                                + ": " + error);
            out.arguments.push_back(std::move(a));
        }
        if (!in.atEnd())
            return fail(error, "bytes after the call's last argument");
        return true;
    }

private:
    static bool fail(std::string &error, const std::string &why)
    {
        error = why;
        return false;
    }

    static std::string printable(const std::string &text)
    {
        std::string out;
        for (const char c : text)
            out += (c >= 0x20 && c < 0x7f) ? c : '?';
        return out;
    }

    bool argument(Cursor &in, const Shape &shape, Argument &a, std::string &error)
    {
        std::uint8_t kind = 0, form = 0;
        std::uint32_t storedLength = 0;
        const unsigned char *stored = nullptr;
        if (!in.field(kind, 1) || !in.field(form, 1) || !in.field(a.size, 4)
            || !in.field(storedLength, 4))
            return fail(error, "cut short");
        if (kind != std::uint8_t(shape.kind))
            return fail(error, "of another kind than the entry point takes");
        if (storedLength > kMaxRecordBytes || !in.take(storedLength, stored))
            return fail(error, "its length points past the record's end");
        a.kind = shape.kind;
        a.form = Form(form);
        if (a.form == Form::Null)
            return (shape.kind != Kind::Value && a.size == 0 && storedLength == 0)
                || fail(error, "a null that holds bytes");
        const bool fixed = shape.kind == Kind::Value || shape.kind == Kind::OutValue
            || shape.kind == Kind::InBytes || shape.kind == Kind::OutBytes;
        if (a.size > sizeLimit(shape) || (fixed && a.size != sizeLimit(shape)))
            return fail(error, "a size of " + std::to_string(a.size) + " bytes");
        if (leftOutAllowed(shape.kind) && a.form != Form::LeftOut)
            return fail(error, "kept, which the recording's flags say is left out");
        switch (a.form) {
        case Form::Raw:
            if (storedLength != a.size)
                return fail(error, "raw bytes of another length than its size");
            if (shape.kind == Kind::Value || shape.kind == Kind::OutValue)
                a.value = std::int32_t(get(stored, 4));
            break;
        case Form::Deflated:
            if (!isFrame(shape.kind) || !inflates(stored, storedLength, a.size))
                return fail(error, "a deflated stream that does not give its size");
            break;
        case Form::SameFrame:
            if (!isFrame(shape.kind) || !m_lastFrame.stored || m_lastFrame.size != a.size
                || storedLength != 0)
                return fail(error, "the same frame as before, with no such frame before it");
            a.form = m_lastFrame.form;
            a.stored = m_lastFrame.stored;
            return true;
        case Form::LeftOut:
            if (storedLength != 0 || !leftOutAllowed(shape.kind))
                return fail(error, "left out, which the recording's flags do not say");
            return true;
        default:
            return fail(error, "an unknown form " + std::to_string(form));
        }
        a.stored
            = std::make_shared<const std::vector<unsigned char>>(stored, stored + storedLength);
        if (isFrame(shape.kind))
            m_lastFrame = a;
        return true;
    }

    bool leftOutAllowed(Kind kind) const
    {
        if (isFrame(kind))
            return m_flags & kFramesLeftOut;
        return isTemplate(kind) && (m_flags & kTemplatesLeftOut);
    }

    static bool inflates(const unsigned char *stored, std::uint32_t length, std::uint32_t size)
    {
        std::vector<unsigned char> out(size + 1);
        uLongf produced = uLongf(out.size());
        const int status = uncompress(out.data(), &produced, stored, length);
        return status == Z_OK && produced == size;
    }

    std::uint16_t m_flags;
    Argument m_lastFrame;
};

} // namespace

std::optional<Recording> parseRecording(const unsigned char *data, std::size_t size,
                                        std::string &error)
{
    Cursor in(data, size);
    const unsigned char *magic = nullptr;
    if (!in.take(sizeof kMagic, magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
        error = "not a recording of module calls";
        return std::nullopt;
    }
    Recording recording;
    std::uint32_t aboutLength = 0;
    const unsigned char *about = nullptr;
    if (!in.field(recording.version, 2) || !in.field(recording.flags, 2)
        || !in.field(aboutLength, 4)) {
        error = "cut short in its header";
        return std::nullopt;
    }
    if (recording.version != kVersion) {
        error = "version " + std::to_string(recording.version) + ", this reads version "
            + std::to_string(kVersion);
        return std::nullopt;
    }
    if (recording.flags & ~(kFramesLeftOut | kTemplatesLeftOut)) {
        error = "flags this version does not know";
        return std::nullopt;
    }
    if (aboutLength > kMaxAboutBytes || !in.take(aboutLength, about)) {
        error = "its header's length points past its end";
        return std::nullopt;
    }
    recording.about.assign(reinterpret_cast<const char *>(about), aboutLength);

    Parser parser(recording.flags);
    while (!in.atEnd()) {
        const std::size_t offset = in.at();
        const std::string where = "call " + std::to_string(recording.calls.size() + 1) + " (byte "
            + std::to_string(offset) + "): ";
        std::uint32_t length = 0, checksum = 0;
        const unsigned char *body = nullptr;
        if (!in.field(length, 4) || !in.field(checksum, 4)) {
            error = where + "cut short in its record's head";
            return std::nullopt;
        }
        if (length > kMaxRecordBytes || !in.take(length, body)) {
            error = where + "its length points past the end of the file";
            return std::nullopt;
        }
        if (crc32(0, body, uInt(length)) != checksum) {
            error = where + "its checksum does not match";
            return std::nullopt;
        }
        Cursor record(body, length);
        Call call;
        if (!parser.call(record, call, error)) {
            error = where + error;
            return std::nullopt;
        }
        recording.calls.push_back(std::move(call));
    }
    return recording;
}

std::optional<Recording> readRecording(const std::string &path, std::string &error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    struct stat st
    {
    };
    std::vector<unsigned char> bytes;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
        && std::uint64_t(st.st_size) <= kMaxRecordingBytes;
    if (!ok)
        error = "not a regular file of at most 2 GiB";
    if (ok) {
        bytes.resize(std::size_t(st.st_size));
        std::size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            done += ok ? std::size_t(n) : 0;
        }
        if (!ok)
            error = "could not be read whole";
    }
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return parseRecording(bytes.data(), bytes.size(), error);
}

} // namespace recording
