#include "recordingwriter.h"

#include "bytes.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace recording {

namespace {

// Level 1: a frame deflates to nearly the same size at any level, and the
// recorder runs on the thread that waits for the module.
std::vector<unsigned char> deflated(const std::vector<unsigned char> &raw)
{
    uLongf length = compressBound(uLong(raw.size()));
    std::vector<unsigned char> out(length);
    if (compress2(out.data(), &length, raw.data(), uLong(raw.size()), 1) != Z_OK)
        return {};
    out.resize(length);
    return out;
}

} // namespace

RecordingWriter::~RecordingWriter()
{
    close();
}

bool RecordingWriter::open(const std::string &path, std::uint16_t flags, const std::string &about,
                           std::string &error)
{
    close();
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    m_flags = flags;
    m_haveLastFrame = false;
    const std::string text = about.substr(0, kMaxAboutBytes);
    std::vector<unsigned char> header(std::begin(kMagic), std::end(kMagic));
    put(header, kVersion, 2);
    put(header, flags, 2);
    put(header, text.size(), 4);
    header.insert(header.end(), text.begin(), text.end());
    return writeAll(header, error);
}

void RecordingWriter::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void RecordingWriter::appendArgument(std::vector<unsigned char> &body, const Argument &a)
{
    Form form = a.form;
    std::vector<unsigned char> stored;
    if (a.kind == Kind::Value || a.kind == Kind::OutValue) {
        if (form != Form::Null)
            put(stored, std::uint32_t(a.value), 4);
    } else if (form != Form::Null && form != Form::LeftOut) {
        const bool leftOut = (isFrame(a.kind) && (m_flags & kFramesLeftOut))
            || (isTemplate(a.kind) && (m_flags & kTemplatesLeftOut));
        if (leftOut) {
            form = Form::LeftOut;
        } else if (isFrame(a.kind)) {
            std::vector<unsigned char> raw = a.bytes();
            if (m_haveLastFrame && raw == m_lastFrame) {
                form = Form::SameFrame;
            } else {
                stored = deflated(raw);
                form = Form::Deflated;
                if (stored.empty() || stored.size() >= raw.size()) {
                    stored = raw;
                    form = Form::Raw;
                }
                m_lastFrame = std::move(raw);
                m_haveLastFrame = true;
            }
        } else {
            stored = a.bytes();
            form = Form::Raw;
        }
    }
    body.push_back(static_cast<unsigned char>(a.kind));
    body.push_back(static_cast<unsigned char>(form));
    put(body, a.size, 4);
    put(body, stored.size(), 4);
    body.insert(body.end(), stored.begin(), stored.end());
}

bool RecordingWriter::write(const Call &call, std::string &error)
{
    if (m_fd < 0) {
        error = "the recording is not open";
        return false;
    }
    std::vector<unsigned char> body;
    body.push_back(kCallRecord);
    body.push_back(static_cast<unsigned char>(call.name.size()));
    body.insert(body.end(), call.name.begin(), call.name.end());
    put(body, std::uint32_t(call.result), 4);
    put(body, call.startMicros, 8);
    put(body, call.durationMicros, 4);
    body.push_back(static_cast<unsigned char>(call.arguments.size()));
    for (const Argument &a : call.arguments)
        appendArgument(body, a);

    std::vector<unsigned char> record;
    record.reserve(body.size() + 8);
    put(record, body.size(), 4);
    put(record, crc32(0, body.data(), uInt(body.size())), 4);
    record.insert(record.end(), body.begin(), body.end());
    return writeAll(record, error);
}

bool RecordingWriter::writeAll(const std::vector<unsigned char> &bytes, std::string &error)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? std::strerror(errno) : "nothing written";
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

} // namespace recording
