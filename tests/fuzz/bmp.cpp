// Frames in BMP files, as VYRGetImgDataFromBMP reads them with readBmp: a
// refused file leaves the caller's frame and length as they were; an
// accepted one is a whole frame, which writeBmp writes and readBmp reads
// back unchanged. readBmp takes a path, so the bytes go to a file first.

#include "bmp.h"
#include "fuzzsupport.h"
#include "vyrsim_codes.h"

#include <cstdint>
#include <vector>

namespace {

constexpr int kFrameBytes = 256 * 288; // synthesis/fingersynth.h

const fuzz::PrivateDir folder;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    folder.write("input.bmp", data, size);
    const std::vector<unsigned char> untouched(kFrameBytes, 0xa5);
    std::vector<unsigned char> frame = untouched;
    int length = -1;
    if (vyrsim::readBmp(folder.file("input.bmp").c_str(), frame.data(), &length) != VYRSIM_OK) {
        fuzz::require(frame == untouched && length == -1, "a refused file changes nothing");
        return 0;
    }
    fuzz::require(length == kFrameBytes, "an accepted file is a whole frame");
    const std::string again = folder.file("again.bmp");
    fuzz::require(vyrsim::writeBmp(frame.data(), again.c_str()) == VYRSIM_OK, "it is written");
    std::vector<unsigned char> reread(kFrameBytes);
    fuzz::require(vyrsim::readBmp(again.c_str(), reread.data(), &length) == VYRSIM_OK
                      && reread == frame,
                  "the frame written reads back the same");
    return 0;
}
