#include "replaycommand.h"

#include "calltext.h"
#include "imagefile.h"
#include "recordingreader.h"
#include "recordingwriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include <sys/stat.h>

namespace vyrsim::control {

namespace {

constexpr int kFrameWidth = 256;

int complain(const std::string &message, int status = 1)
{
    std::fprintf(stderr, "vyrsim: %s\n", message.c_str());
    return status;
}

std::optional<recording::Recording> load(const std::string &path)
{
    std::string error;
    std::optional<recording::Recording> recording = recording::readRecording(path, error);
    if (!recording)
        complain(path + ": " + error);
    return recording;
}

int list(const std::string &path)
{
    const std::optional<recording::Recording> recording = load(path);
    if (!recording)
        return 1;
    std::printf("%s: recording version %u; %s\n", path.c_str(), unsigned(recording->version),
                recording->about.c_str());
    std::printf("frames %s, templates %s\n",
                recording->flags & recording::kFramesLeftOut ? "left out" : "kept",
                recording->flags & recording::kTemplatesLeftOut ? "left out" : "kept");
    std::size_t number = 0;
    for (const recording::Call &call : recording->calls)
        std::printf("%6zu %10.3f s  %s\n", ++number, call.startMicros / 1e6,
                    recording::callLine(call).c_str());
    std::printf("%zu calls\n", recording->calls.size());
    return 0;
}

int frames(const std::string &path, const std::string &directory)
{
    const std::optional<recording::Recording> recording = load(path);
    if (!recording)
        return 1;
    if (::mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST)
        return complain("cannot make " + directory + ": " + std::strerror(errno));
    int written = 0;
    for (std::size_t i = 0; i < recording->calls.size(); ++i) {
        const recording::Call &call = recording->calls[i];
        for (const recording::Argument &a : call.arguments) {
            if (!recording::isFrame(a.kind) || a.isNull() || a.form == recording::Form::LeftOut
                || a.size < kFrameWidth)
                continue;
            GreyPicture picture;
            picture.width = kFrameWidth;
            picture.height = int(a.size / kFrameWidth);
            picture.pixels = a.bytes();
            picture.pixels.resize(std::size_t(picture.width) * std::size_t(picture.height));
            char name[64];
            std::snprintf(name, sizeof name, "/call-%06zu-%s.png", i + 1, call.name.c_str());
            const std::vector<unsigned char> png = encodeGreyPng(picture);
            std::string error;
            if (png.empty() || !writeFileBytes(directory + name, png.data(), png.size(), error))
                return complain(error.empty() ? std::string("cannot encode a frame") : error);
            ++written;
        }
    }
    std::printf("%d frames written to %s\n", written, directory.c_str());
    return 0;
}

int strip(const std::string &path, const std::string &out)
{
    const std::optional<recording::Recording> recording = load(path);
    if (!recording)
        return 1;
    // Written beside the copy and renamed over it, so that a copy over the
    // recording itself never loses it half way.
    const std::string temporary = out + ".part";
    recording::RecordingWriter writer;
    std::string error;
    bool ok = writer.open(temporary, recording::kFramesLeftOut | recording::kTemplatesLeftOut,
                          recording->about, error);
    for (std::size_t i = 0; ok && i < recording->calls.size(); ++i)
        ok = writer.write(recording->calls[i], error);
    writer.close();
    if (ok && std::rename(temporary.c_str(), out.c_str()) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        std::remove(temporary.c_str());
        return complain("cannot write " + out + ": " + error);
    }
    std::printf("%zu calls written to %s without frames and templates\n", recording->calls.size(),
                out.c_str());
    return 0;
}

} // namespace

std::vector<std::string> replayHelpLines()
{
    return {"replay --list FILE          the calls of a recording, as the trace shows them",
            "replay --frames FILE DIR    its frames as PNG files in DIR",
            "replay --strip FILE OUT     a copy without frames and templates, to share"};
}

int replayCommand(const std::vector<std::string> &arguments)
{
    const std::string verb = arguments.empty() ? std::string() : arguments[0];
    if (verb == "--list" && arguments.size() == 2)
        return list(arguments[1]);
    if (verb == "--frames" && arguments.size() == 3)
        return frames(arguments[1], arguments[2]);
    if (verb == "--strip" && arguments.size() == 3)
        return strip(arguments[1], arguments[2]);
    std::string usage = "usage:";
    for (const std::string &line : replayHelpLines())
        usage += "\n  vyrsim " + line.substr(0, line.find("  "));
    return complain(usage, 2);
}

} // namespace vyrsim::control
