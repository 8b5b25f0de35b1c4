// Pictures for `vyrsim image`, as its handler reads them with
// readGreyPicture: PNG, BMP and binary PGM. A refused file says why; an
// accepted one is a picture of the sides it claims, inside the bounds the
// reader promises. The reader takes a path, so the bytes go to a file first.

#include "fuzzsupport.h"
#include "imagefile.h"

#include <cstdint>

namespace {

const fuzz::PrivateDir folder;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using vyrsim::control::kMaxPictureSide;
    folder.write("input", data, size);
    std::string error;
    const auto picture = vyrsim::control::readGreyPicture(folder.file("input"), error);
    fuzz::require(picture.has_value() == error.empty(), "a refusal says why, an acceptance not");
    if (picture)
        fuzz::require(picture->width >= 1 && picture->width <= kMaxPictureSide
                          && picture->height >= 1 && picture->height <= kMaxPictureSide
                          && picture->pixels.size()
                              == std::size_t(picture->width) * std::size_t(picture->height),
                      "an accepted picture has the pixels of its sides");
    return 0;
}
