#include "recordingseeds.h"

#include "callcapture.h"
#include "recordingwriter.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

class SeedWriter
{
public:
    SeedWriter(const std::string &path, std::uint16_t flags)
    {
        std::string error;
        if (!m_writer.open(path, flags, "fuzz_seeds", error)) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
            std::exit(1);
        }
        for (std::size_t i = 0; i < m_frame.size(); ++i)
            m_frame[i] = static_cast<unsigned char>(i * 31 / 256);
    }

    void record(const char *name)
    {
        const recording::ShapeList shapes = recording::shapesOf(name);
        std::vector<recording::Param> params(std::size_t(shapes.count));
        for (int i = 0; i < shapes.count; ++i) {
            const recording::Kind kind = shapes.shapes[i].kind;
            const bool afterTemplate
                = i > 0 && shapes.shapes[i - 1].kind == recording::Kind::InTemplate;
            if (kind == recording::Kind::Value)
                params[std::size_t(i)].value = afterTemplate ? 512 : i - 1;
            else
                params[std::size_t(i)].pointer = pointerFor(kind);
        }
        recording::Call call;
        call.name = name;
        call.startMicros = m_start += 1000;
        call.durationMicros = 30;
        call.arguments = recording::captureInputs(shapes, params.data());
        recording::captureOutputs(shapes, params.data(), call.arguments);
        std::string error;
        if (!m_writer.write(call, error))
            std::exit(1);
    }

private:
    void *pointerFor(recording::Kind kind)
    {
        switch (kind) {
        case recording::Kind::OutValue:
            return &m_length;
        case recording::Kind::Text:
            return m_path;
        case recording::Kind::InFrame:
        case recording::Kind::OutFrame:
            return m_frame.data();
        case recording::Kind::InTemplate:
        case recording::Kind::OutTemplate:
            return m_block.data();
        default:
            return m_bytes.data();
        }
    }

    recording::RecordingWriter m_writer;
    std::uint64_t m_start = 0;
    int m_length = 256 * 288; // each output length: a frame's, a template's cut to its bound
    char m_path[16] = "/tmp/frame.bmp";
    std::vector<unsigned char> m_frame = std::vector<unsigned char>(256 * 288);
    std::vector<unsigned char> m_block
        = std::vector<unsigned char>(recording::kMaxTemplateBytes, 7);
    std::vector<unsigned char> m_bytes = std::vector<unsigned char>(32, 0xA5);
};

} // namespace

void writeRecordingSeeds(const std::string &folder)
{
    for (const bool lean : {false, true}) {
        SeedWriter writer(folder + (lean ? "/lean" : "/whole"),
                          lean ? recording::kFramesLeftOut | recording::kTemplatesLeftOut : 0);
#define RECORDING_SEED(result, name, parameters, shapes) writer.record(#name);
        VYR_ENTRY_POINTS(RECORDING_SEED)
#undef RECORDING_SEED
        writer.record("VYRUpImage");
    }
}
