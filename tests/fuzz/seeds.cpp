// Writes the fuzz targets' first inputs with the module's own writers, so
// that they follow the formats as the code has them now: templates through
// VYRUpChar and encodeTemplate, a store file by serializeStore, a frame by
// VYRImgData2BMP, small pictures as PNG and PGM, and one line of each
// command of the control table, and recordings of module calls
// (recordingseeds.h). Run with VYRSIM_STORE=none VYRSIM_CONTROL=0.
//
//   fuzz_seeds DIR    writes DIR/<target>/<seed>

#include "bmp.h"
#include "commands.h"
#include "recordingseeds.h"
#include "storefile.h"
#include "templatecodec.h"
#include "vyr_api.h"
#include "vyrsim.h"

#include <png.h>

#include <cstdio>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kAddr = -1;
constexpr int kWidth = 256;
constexpr int kHeight = 288;

std::string g_dir;

// The path of a seed of the target, its folder made.
std::string seedPath(const std::string &target, const std::string &name)
{
    ::mkdir((g_dir + "/" + target).c_str(), 0755);
    return g_dir + "/" + target + "/" + name;
}

void put(const std::string &target, const std::string &name, const void *data, std::size_t size)
{
    std::FILE *file = std::fopen(seedPath(target, name).c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::perror(name.c_str());
        std::exit(1);
    }
}

void put(const std::string &target, const std::string &name, const std::string &text)
{
    put(target, name, text.data(), text.size());
}

// The template the module makes of a press of the finger into the buffer.
vyrsim::TemplateBytes press(int handle, int finger, int buffer)
{
    vyrsim_set_finger(finger);
    vyrsim::TemplateBytes block {};
    int length = 0;
    if (VYRGetImage(handle, kAddr) != 0 || VYRGenChar(handle, kAddr, buffer) != 0
        || VYRUpChar(handle, kAddr, buffer, block.data(), &length) != 0) {
        std::fprintf(stderr, "fuzz_seeds: finger %d makes no template\n", finger);
        std::exit(1);
    }
    return block;
}

// A corner of the frame, which keeps the pictures' seeds small.
std::vector<unsigned char> corner(const std::vector<unsigned char> &frame, int side)
{
    std::vector<unsigned char> pixels;
    for (int y = 0; y < side; ++y)
        pixels.insert(pixels.end(), frame.begin() + (100 + y) * kWidth + 100,
                      frame.begin() + (100 + y) * kWidth + 100 + side);
    return pixels;
}

void writePictures(int handle)
{
    std::vector<unsigned char> frame(kWidth * kHeight);
    int length = 0;
    if (VYRUpImage(handle, kAddr, frame.data(), &length) != 0
        || VYRImgData2BMP(frame.data(), seedPath("bmp", "frame.bmp").c_str()) != 0
        || VYRImgData2BMP(frame.data(), seedPath("image", "frame.bmp").c_str()) != 0) {
        std::fprintf(stderr, "fuzz_seeds: no frame\n");
        std::exit(1);
    }
    const int side = 24;
    const std::vector<unsigned char> small = corner(frame, side);
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    image.width = image.height = side;
    image.format = PNG_FORMAT_GRAY;
    if (!png_image_write_to_file(&image, seedPath("image", "corner.png").c_str(), 0, small.data(),
                                 0, nullptr)) {
        std::fprintf(stderr, "fuzz_seeds: no PNG: %s\n", image.message);
        std::exit(1);
    }
    put("image", "corner.pgm",
        "P5\n# a corner\n24 24\n255\n" + std::string(small.begin(), small.end()));
}

// Words the control table's argument names stand for.
const std::map<std::string, std::string> kExamples = {
    {"ID", "3"},
    {"FINGER", "2"},
    {"[FINGER]", "2"},
    {"FILE", "block"},
    {"MS", "0"},
    {"HEX", "0a0b0c0d"},
    {"ENTRY", "VYRGenChar"},
    {"[CODE]", "9"},
    {"[COUNT]", "2"},
    {"on|off|FINGER", "on"},
    {"[N]", "4"},
};

void writeCommands()
{
    std::string all = "store add 3 1\nstore export 3 block\n";
    for (const vyrsim::control::Verb &verb : vyrsim::control::commandTable()) {
        std::string line = verb.name;
        std::string arguments = verb.arguments;
        for (std::size_t at = 0; at < arguments.size();) {
            const std::size_t end = std::min(arguments.find(' ', at), arguments.size());
            line += " " + kExamples.at(arguments.substr(at, end - at));
            at = end + 1;
        }
        std::string name = verb.name;
        for (char &c : name)
            c = c == ' ' ? '-' : c;
        put("control", name, line + "\n");
        all += line + "\n";
    }
    put("control", "every-command", all);
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
    int handle = 0;
    if (VYROpenDeviceEx(&handle, 2, nullptr, 2, 0) != 0)
        return 1;
    const vyrsim::TemplateBytes single = press(handle, 1, 0);
    press(handle, 1, 1);
    vyrsim::TemplateBytes merged {};
    int length = 0;
    if (VYRRegModule(handle, kAddr) != 0 || VYRUpChar(handle, kAddr, 0, merged.data(), &length))
        return 1;
    writePictures(handle);
    ::mkdir((g_dir + "/recording").c_str(), 0755);
    writeRecordingSeeds(g_dir + "/recording");
    put("template", "press", single.data(), single.size());
    put("template", "merged", merged.data(), merged.size());
    vyrsim::Template plain = *vyrsim::decodeTemplate(single.data(), int(single.size()));
    plain.ridges.clear(); // written in the layout without ridge cells
    const vyrsim::TemplateBytes plainBlock = vyrsim::encodeTemplate(plain);
    put("template", "plain", plainBlock.data(), plainBlock.size());

    vyrsim::Store store(40);
    store.put(3, *vyrsim::decodeTemplate(merged.data(), int(merged.size())));
    store.put(17, plain);
    const unsigned char page[32] = "a page of the notepad";
    store.setNotepad(5, page);
    const std::vector<unsigned char> file = vyrsim::serializeStore(store);
    put("storefile", "two-templates", file.data(), file.size());
    const std::vector<unsigned char> empty = vyrsim::serializeStore(vyrsim::Store());
    put("storefile", "empty", empty.data(), empty.size());
    writeCommands();
    VYRCloseDeviceEx(handle);
    return 0;
}
