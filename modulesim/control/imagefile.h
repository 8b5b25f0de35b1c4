#ifndef IMAGEFILE_H
#define IMAGEFILE_H

// Files the control channel reads and writes for its commands: pictures to
// lay on the sensor, template blocks to export and import.

#include <optional>
#include <string>
#include <vector>

namespace vyrsim::control {

struct GreyPicture
{
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels; // 0 black to 255 white, rows top first
};

// Sides beyond this are refused before any pixel is read.
constexpr int kMaxPictureSide = 16384;

// A PNG, a BMP (8 bits a pixel with a palette, 24 or 32 bits) or a binary
// PGM (P5) as grey pixels; nothing, with `error` saying why, for a file that
// cannot be read or is no such image.
std::optional<GreyPicture> readGreyPicture(const std::string &path, std::string &error);

// The picture as the bytes of a PNG file; empty when it cannot be encoded.
std::vector<unsigned char> encodeGreyPng(const GreyPicture &picture);

// The whole file, when it is no longer than `limit` bytes.
bool readFileBytes(const std::string &path, std::size_t limit, std::vector<unsigned char> &bytes,
                   std::string &error);
bool writeFileBytes(const std::string &path, const unsigned char *data, std::size_t size,
                    std::string &error);

} // namespace vyrsim::control

#endif // IMAGEFILE_H
