#include "bmp.h"

#include "fingersynth.h"
#include "plumbing.h"
#include "vyrsim_codes.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace vyrsim {

namespace {

constexpr int kHeaderBytes = 14 + 40 + 256 * 4;

struct FileCloser
{
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

int writeBmp(const unsigned char *image, const char *path)
{
    if (!image || !path)
        return VYRSIM_ERR_BAD_ARGUMENT;
    unsigned char header[kHeaderBytes] = {};
    header[0] = 'B';
    header[1] = 'M';
    putLe32(header + 2, kHeaderBytes + kFrameBytes);
    putLe32(header + 10, kHeaderBytes);
    putLe32(header + 14, 40);
    putLe32(header + 18, kFrameWidth);
    putLe32(header + 22, kFrameHeight); // positive: bottom row first
    putLe16(header + 26, 1);
    putLe16(header + 28, 8);
    putLe32(header + 34, kFrameBytes);
    putLe32(header + 46, 256);
    for (unsigned i = 0; i < 256; ++i) {
        unsigned char *entry = header + 54 + 4 * i;
        entry[0] = entry[1] = entry[2] = static_cast<unsigned char>(i);
    }
    File file(std::fopen(path, "wb"));
    if (!file || std::fwrite(header, 1, sizeof header, file.get()) != sizeof header)
        return VYRSIM_ERR_FILE;
    for (int row = kFrameHeight - 1; row >= 0; --row) {
        if (std::fwrite(image + row * kFrameWidth, 1, kFrameWidth, file.get()) != kFrameWidth)
            return VYRSIM_ERR_FILE;
    }
    // A full disk shows only when the buffer goes out: the file is complete
    // when flushing and closing both succeed.
    const bool flushed = std::fflush(file.get()) == 0;
    return std::fclose(file.release()) == 0 && flushed ? VYRSIM_OK : VYRSIM_ERR_FILE;
}

int readBmp(const char *path, unsigned char *image, int *length)
{
    if (!path || !image || !length)
        return VYRSIM_ERR_BAD_ARGUMENT;
    const File file(std::fopen(path, "rb"));
    if (!file)
        return VYRSIM_ERR_FILE;
    unsigned char header[54];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header || header[0] != 'B'
        || header[1] != 'M')
        return VYRSIM_ERR_FILE;
    // Every field is compared as the bits it is, before any arithmetic: a
    // height of -2^31 has no positive counterpart.
    const unsigned offset = getLe32(header + 10);
    const unsigned width = getLe32(header + 18);
    const unsigned height = getLe32(header + 22);
    const bool topDown = height == unsigned(-kFrameHeight);
    if (getLe32(header + 14) < 40 || width != unsigned(kFrameWidth)
        || (height != unsigned(kFrameHeight) && !topDown) || getLe16(header + 28) != 8
        || getLe32(header + 30) != 0 || offset < sizeof header || offset > (1u << 20))
        return VYRSIM_ERR_FILE;
    std::vector<unsigned char> pixels(kFrameBytes);
    if (std::fseek(file.get(), long(offset), SEEK_SET) != 0
        || std::fread(pixels.data(), 1, pixels.size(), file.get()) != pixels.size())
        return VYRSIM_ERR_FILE;
    for (int row = 0; row < kFrameHeight; ++row) {
        const int from = topDown ? row : kFrameHeight - 1 - row;
        std::memcpy(image + row * kFrameWidth, pixels.data() + from * kFrameWidth, kFrameWidth);
    }
    *length = kFrameBytes;
    return VYRSIM_OK;
}

} // namespace vyrsim
