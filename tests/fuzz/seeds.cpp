// Writes the fuzz targets' first inputs with the module's own writers, so
// that they follow the formats as the code has them now: templates through
// VYRUpChar and encodeTemplate, store files by serializeStore, a frame by
// VYRImgData2BMP, small pictures as PNG and PGM, and one line of each
// command of the control table, and recordings of module calls
// (recordingseeds.cpp). Run with VYRSIM_STORE=none VYRSIM_CONTROL=0.
//
//   fuzz_seeds DIR    writes DIR/<target>/<seed>

#include "commands.h"
#include "storefile.h"
#include "templatecodec.h"
#include "vyr_api.h"
#include "vyrsim.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>

void writeRecordingSeeds(const std::string &folder); // recordingseeds.cpp

namespace {

constexpr int kAddr = -1;
constexpr int kWidth = 256;

std::string g_dir;

void require(bool done, const std::string &what)
{
    if (!done) {
        std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", what.c_str());
        std::exit(1);
    }
}

// The path of a seed of the target, its folder made.
std::string seed(const std::string &target, const std::string &name)
{
    ::mkdir((g_dir + "/" + target).c_str(), 0755);
    return g_dir + "/" + target + "/" + name;
}

template<typename Bytes>
void put(const std::string &target, const std::string &name, const Bytes &bytes)
{
    std::FILE *file = std::fopen(seed(target, name).c_str(), "wb");
    require(file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size()
                && std::fclose(file) == 0,
            name);
}

// The block of the template in the buffer, after a press of finger 1 when asked.
vyrsim::TemplateBytes upload(int handle, int buffer, bool press)
{
    vyrsim::TemplateBytes block {};
    int length = 0;
    require(!press || (VYRGetImage(handle, kAddr) == 0 && VYRGenChar(handle, kAddr, buffer) == 0),
            "a template of finger 1");
    require(VYRUpChar(handle, kAddr, buffer, block.data(), &length) == 0, "a template");
    return block;
}

void writePictures(int handle)
{
    std::vector<unsigned char> frame(kWidth * 288);
    int length = 0;
    require(VYRUpImage(handle, kAddr, frame.data(), &length) == 0
                && VYRImgData2BMP(frame.data(), seed("bmp", "frame.bmp").c_str()) == 0
                && VYRImgData2BMP(frame.data(), seed("image", "frame.bmp").c_str()) == 0,
            "a frame");
    // A corner of the frame keeps the other pictures small.
    constexpr int side = 24;
    std::string corner;
    for (int y = 100; y < 100 + side; ++y)
        corner.append(frame.begin() + y * kWidth + 100, frame.begin() + y * kWidth + 100 + side);
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    image.width = image.height = side;
    image.format = PNG_FORMAT_GRAY;
    require(png_image_write_to_file(&image, seed("image", "corner.png").c_str(), 0, corner.data(),
                                    0, nullptr),
            "a PNG");
    put("image", "corner.pgm", "P5\n# a corner\n24 24\n255\n" + corner);
}

// What each argument of a command's usage stands for in its seed.
std::string example(const std::string &name)
{
    static const std::string words = " ID=3 FINGER=1 [FINGER]=2 FILE=block MS=0 HEX=0a0b0c0d "
                                     "ENTRY=VYRGenChar [CODE]=9 [COUNT]=2 on|off|FINGER=on [N]=4 ";
    const std::size_t at = words.find(" " + name + "=");
    require(at != std::string::npos, "an example of " + name);
    const std::size_t value = at + name.size() + 2;
    return words.substr(value, words.find(' ', value) - value);
}

void writeCommands()
{
    std::string all = "store add 3 1\nstore export 3 block\nimage small.pgm\nimage wide.pgm\n";
    for (const vyrsim::control::Verb &verb : vyrsim::control::commandTable()) {
        std::string line = verb.name;
        const std::string arguments = std::string(verb.arguments) + " ";
        for (std::size_t at = 0, end; (end = arguments.find(' ', at)) != std::string::npos;
             at = end + 1)
            line += end > at ? " " + example(arguments.substr(at, end - at)) : "";
        put("control", verb.name, line + "\n");
        all += line + "\n";
    }
    put("control", "every command", all);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    g_dir = argv[1];
    ::mkdir(g_dir.c_str(), 0755);
    vyrsim_reset();
    vyrsim_set_finger(1);
    int handle = 0;
    require(VYROpenDeviceEx(&handle, 2, nullptr, 2, 0) == 0, "anything: no module");
    const vyrsim::TemplateBytes single = upload(handle, 0, true);
    upload(handle, 1, true);
    require(VYRRegModule(handle, kAddr) == 0, "a merged template");
    const vyrsim::TemplateBytes merged = upload(handle, 0, false);
    writePictures(handle);
    VYRCloseDeviceEx(handle);
    ::mkdir((g_dir + "/recording").c_str(), 0755);
    writeRecordingSeeds(g_dir + "/recording");

    vyrsim::Template plain = *vyrsim::decodeTemplate(single.data(), int(single.size()));
    plain.ridges.clear(); // written in the layout without ridge cells
    put("template", "press", single);
    put("template", "merged", merged);
    put("template", "plain", vyrsim::encodeTemplate(plain));
    vyrsim::Store store(40);
    store.put(3, *vyrsim::decodeTemplate(merged.data(), int(merged.size())));
    store.put(17, plain);
    const unsigned char page[32] = "a page of the notepad";
    store.setNotepad(5, page);
    put("storefile", "two templates", vyrsim::serializeStore(store));
    put("storefile", "empty", vyrsim::serializeStore(vyrsim::Store()));
    writeCommands();
    return 0;
}
