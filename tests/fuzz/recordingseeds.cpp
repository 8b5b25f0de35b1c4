// The recording target's seeds, written with the recording's own writer: a
// call of every entry point, each argument of its kind, a frame twice (so
// stored once), whole and with frames and templates left out.

#include "callcapture.h"
#include "recordingwriter.h"

#include <cstdlib>
#include <string>
#include <vector>

void writeRecordingSeeds(const std::string &folder)
{
    std::vector<unsigned char> frame(256 * 288), block(recording::kMaxTemplateBytes, 7),
        bytes(32, 0xA5);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<unsigned char>(i * 31 / 256);
    int length = int(frame.size()); // every output length: a frame's, a template's cut to its bound
    char path[] = "/tmp/frame.bmp";
    for (const bool lean : {false, true}) {
        recording::RecordingWriter writer;
        std::string error;
        if (!writer.open(folder + (lean ? "/lean" : "/whole"),
                         lean ? recording::kFramesLeftOut | recording::kTemplatesLeftOut : 0,
                         "fuzz_seeds", error))
            std::exit(1);
        std::uint64_t start = 0;
        const auto record = [&](const char *name) {
            const recording::ShapeList shapes = recording::shapesOf(name);
            std::vector<recording::Param> params(std::size_t(shapes.count));
            for (int i = 0; i < shapes.count; ++i) {
                const recording::Kind kind = shapes.shapes[i].kind;
                recording::Param &p = params[std::size_t(i)];
                if (kind == recording::Kind::Value)
                    p.value
                        = i > 0 && recording::isTemplate(shapes.shapes[i - 1].kind) ? 512 : i - 1;
                else
                    p.pointer = kind == recording::Kind::OutValue ? static_cast<void *>(&length)
                        : kind == recording::Kind::Text           ? static_cast<void *>(path)
                        : recording::isFrame(kind)                ? frame.data()
                        : recording::isTemplate(kind)             ? block.data()
                                                                  : bytes.data();
            }
            recording::Call call {name, 0, start += 1000, 30, {}};
            call.arguments = recording::captureInputs(shapes, params.data());
            recording::captureOutputs(shapes, params.data(), call.arguments);
            if (!writer.write(call, error))
                std::exit(1);
        };
#define RECORDING_SEED(result, name, parameters, shapes) record(#name);
        VYR_ENTRY_POINTS(RECORDING_SEED)
#undef RECORDING_SEED
        record("VYRUpImage");
    }
}
