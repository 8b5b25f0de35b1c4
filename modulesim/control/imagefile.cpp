#include "imagefile.h"

#include "plumbing.h"

#include <png.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vyrsim::control {

namespace {

constexpr std::size_t kMaxFileBytes = std::size_t(256) << 20;
constexpr std::uint64_t kMaxPixels = std::uint64_t(64) << 20;

bool sizeAllowed(long long width, long long height, std::string &error)
{
    if (width < 1 || height < 1) {
        error = "has no pixels";
        return false;
    }
    if (width > kMaxPictureSide || height > kMaxPictureSide
        || std::uint64_t(width) * std::uint64_t(height) > kMaxPixels) {
        error = "is too large (" + std::to_string(width) + " x " + std::to_string(height)
            + "; at most " + std::to_string(kMaxPictureSide) + " a side and 64 Mpixels)";
        return false;
    }
    return true;
}

unsigned luma(unsigned red, unsigned green, unsigned blue)
{
    return (red * 299 + green * 587 + blue * 114 + 500) / 1000;
}

std::optional<GreyPicture> decodePng(const std::vector<unsigned char> &bytes, std::string &error)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        error = std::string("is a damaged PNG image (") + image.message + ")";
        return std::nullopt;
    }
    if (!sizeAllowed(image.width, image.height, error)) {
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_GRAY;
    GreyPicture picture {int(image.width), int(image.height), {}};
    picture.pixels.resize(PNG_IMAGE_SIZE(image));
    const png_color white = {255, 255, 255}; // under transparent parts: a bare sensor
    if (!png_image_finish_read(&image, &white, picture.pixels.data(), 0, nullptr)) {
        error = std::string("is a damaged PNG image (") + image.message + ")";
        return std::nullopt;
    }
    return picture;
}

// Grey from one channel mask of a 32-bit BMP pixel.
unsigned channel(std::uint32_t pixel, std::uint32_t mask)
{
    if (!mask)
        return 0;
    int shift = 0;
    while (!(mask >> shift & 1))
        ++shift;
    // In 64 bits: a mask of all 32 bits times 255 would wrap.
    const std::uint64_t maximum = mask >> shift;
    return unsigned(std::uint64_t((pixel & mask) >> shift) * 255 / maximum);
}

// How a BMP's pixels turn into greys: by the palette for 8 bits a pixel, by
// the colour masks for 32.
struct BmpPixels
{
    unsigned bits;
    std::uint32_t masks[3] = {0xff0000, 0xff00, 0xff};
    std::uint32_t greys[256] = {};

    unsigned grey(const unsigned char *row, int x) const
    {
        if (bits == 8)
            return greys[row[x]];
        if (bits == 24)
            return luma(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        const std::uint32_t pixel = getLe32(row + 4 * x);
        return luma(channel(pixel, masks[0]), channel(pixel, masks[1]), channel(pixel, masks[2]));
    }
};

// The palette's colours as greys; false when the file ends inside it.
bool readPalette(const unsigned char *data, std::size_t size, std::uint32_t infoSize,
                 std::uint32_t (&greys)[256])
{
    const std::uint32_t used = getLe32(data + 46);
    const std::size_t entries = used == 0 || used > 256 ? 256 : used;
    const std::size_t at = 14 + std::size_t(infoSize);
    if (at + 4 * entries > size)
        return false;
    for (std::size_t i = 0; i < entries; ++i)
        greys[i] = luma(data[at + 4 * i + 2], data[at + 4 * i + 1], data[at + 4 * i]);
    return true;
}

std::optional<GreyPicture> decodeBmp(const std::vector<unsigned char> &bytes, std::string &error)
{
    const std::size_t size = bytes.size();
    const unsigned char *data = bytes.data();
    if (size < 54 || getLe32(data + 14) < 40) {
        error = "is a truncated BMP image or one of an old kind";
        return std::nullopt;
    }
    const std::uint32_t offset = getLe32(data + 10);
    const std::uint32_t infoSize = getLe32(data + 14);
    const auto width = std::int32_t(getLe32(data + 18));
    const auto rawHeight = std::int32_t(getLe32(data + 22));
    const unsigned bits = getLe16(data + 28);
    const std::uint32_t compression = getLe32(data + 30);
    const bool topDown = rawHeight < 0;
    const long long height = topDown ? -(long long)rawHeight : rawHeight;
    const bool bitfields = compression == 3 && bits == 32;
    if ((bits != 8 && bits != 24 && bits != 32) || (compression != 0 && !bitfields)) {
        error = "is a BMP image of " + std::to_string(bits)
            + " bits a pixel or compressed; only uncompressed 8, 24 and 32 bits are read";
        return std::nullopt;
    }
    if (!sizeAllowed(width, height, error))
        return std::nullopt;
    BmpPixels format {bits};
    if (bitfields) {
        if (size < 14 + 40 + 12) {
            error = "is a truncated BMP image";
            return std::nullopt;
        }
        for (int i = 0; i < 3; ++i)
            format.masks[i] = getLe32(data + 54 + 4 * i);
    }
    if (bits == 8 && !readPalette(data, size, infoSize, format.greys)) {
        error = "is a truncated BMP image";
        return std::nullopt;
    }
    const std::size_t stride = (std::size_t(width) * bits + 31) / 32 * 4;
    if (offset > size || (size - offset) / stride < std::size_t(height)) {
        error = "is a truncated BMP image";
        return std::nullopt;
    }
    GreyPicture picture {width, int(height),
                         std::vector<unsigned char>(std::size_t(width) * std::size_t(height))};
    for (int y = 0; y < picture.height; ++y) {
        const int row = topDown ? y : picture.height - 1 - y;
        const unsigned char *in = data + offset + stride * std::size_t(row);
        unsigned char *out = picture.pixels.data() + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x)
            out[x] = static_cast<unsigned char>(format.grey(in, x));
    }
    return picture;
}

// One number of a PGM header, after blanks and comments.
bool pgmNumber(const std::vector<unsigned char> &bytes, std::size_t &at, long long &value)
{
    while (at < bytes.size()) {
        if (bytes[at] == '#') {
            while (at < bytes.size() && bytes[at] != '\n')
                ++at;
        } else if (std::strchr(" \t\r\n\v\f", bytes[at]) && bytes[at] != 0) {
            ++at;
        } else {
            break;
        }
    }
    const std::size_t start = at;
    value = 0;
    while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && at - start < 9)
        value = value * 10 + (bytes[at++] - '0');
    // A tenth digit is no size of any picture, nor the start of the next number.
    const bool cutShort = at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9';
    return at > start && !cutShort;
}

std::optional<GreyPicture> decodePgm(const std::vector<unsigned char> &bytes, std::string &error)
{
    std::size_t at = 2;
    long long width = 0;
    long long height = 0;
    long long maximum = 0;
    if (!pgmNumber(bytes, at, width) || !pgmNumber(bytes, at, height)
        || !pgmNumber(bytes, at, maximum) || at >= bytes.size() || maximum < 1 || maximum > 65535) {
        error = "is a PGM image with a damaged header";
        return std::nullopt;
    }
    ++at; // the one blank after the largest grey
    if (!sizeAllowed(width, height, error))
        return std::nullopt;
    const std::size_t sampleBytes = maximum > 255 ? 2 : 1;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    if ((bytes.size() - at) / sampleBytes < count) {
        error = "is a truncated PGM image";
        return std::nullopt;
    }
    GreyPicture picture {int(width), int(height), std::vector<unsigned char>(count)};
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char *sample = bytes.data() + at + i * sampleBytes;
        const long long value = sampleBytes == 2 ? sample[0] << 8 | sample[1] : sample[0];
        picture.pixels[i]
            = static_cast<unsigned char>((std::min(value, maximum) * 255 + maximum / 2) / maximum);
    }
    return picture;
}

std::string kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    return "a device";
}

// Empty for a regular file, else what the file is, in words.
std::string notRegular(int fd)
{
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0)
        return "unknown (" + lastError() + ")";
    return S_ISREG(info.st_mode) ? std::string() : kindOf(info.st_mode);
}

} // namespace

bool readFileBytes(const std::string &path, std::size_t limit, std::vector<unsigned char> &bytes,
                   std::string &error)
{
    // Without O_NONBLOCK a FIFO nobody writes to would hold its client's
    // thread for good, and with it the host's exit.
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        error = "cannot read " + path + ": " + lastError();
        return false;
    }
    bytes.clear();
    const std::string kind = notRegular(fd.get());
    bool ok = kind.empty();
    if (!ok)
        error = "cannot read " + path + ": it is " + kind + ", not a regular file";
    unsigned char chunk[65536];
    while (ok) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = "cannot read " + path + ": " + lastError();
            ok = false;
        } else if (bytes.size() + std::size_t(n) > limit) {
            error = path + " is larger than " + std::to_string(limit) + " bytes";
            ok = false;
        } else {
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        if (n <= 0)
            break;
    }
    return ok;
}

std::vector<unsigned char> encodeGreyPng(const GreyPicture &picture)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = PNG_FORMAT_GRAY;
    if (picture.width <= 0 || picture.height <= 0
        || picture.pixels.size() != std::size_t(picture.width) * std::size_t(picture.height))
        return {};
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, picture.pixels.data(), 0, nullptr))
        return {};
    std::vector<unsigned char> bytes(size);
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, picture.pixels.data(), 0,
                                   nullptr))
        return {};
    bytes.resize(size);
    return bytes;
}

bool writeFileBytes(const std::string &path, const unsigned char *data, std::size_t size,
                    std::string &error)
{
    // Only a regular file is replaced: a device, a FIFO or a directory is
    // refused unopened, so never emptied nor waited for.
    struct stat info
    {
    };
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        error = "cannot write " + path + ": it is " + kindOf(info.st_mode) + ", not a regular file";
        return false;
    }
    // Written beside the file and renamed over it: a write that fails half
    // way leaves an earlier file whole. A link is followed, and the file it
    // names replaced.
    std::string target = path;
    if (char *resolved = exists ? ::realpath(path.c_str(), nullptr) : nullptr) {
        target = resolved;
        std::free(resolved);
    }
    std::string temporary;
    int opened = -1;
    static std::atomic<unsigned> written {0}; // two clients may export at once
    while (opened < 0) {
        temporary
            = target + "." + std::to_string(::getpid()) + "." + std::to_string(written++) + ".tmp";
        opened = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                        exists ? info.st_mode & 07777 : 0644);
        if (opened < 0 && errno != EEXIST) {
            error = "cannot write " + path + ": " + lastError();
            return false;
        }
    }
    Fd fd(opened);
    bool ok = true;
    while (ok && size > 0) {
        const ssize_t n = ::write(fd.get(), data, size);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        data += ok ? n : 0;
        size -= ok ? std::size_t(n) : 0;
    }
    ok = ok && ::fsync(fd.get()) == 0 && ::close(fd.release()) == 0
        && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        error = "cannot write " + path + ": " + lastError();
        ::unlink(temporary.c_str());
    }
    return ok;
}

std::optional<GreyPicture> readGreyPicture(const std::string &path, std::string &error)
{
    std::vector<unsigned char> bytes;
    if (!readFileBytes(path, kMaxFileBytes, bytes, error))
        return std::nullopt;
    std::optional<GreyPicture> picture;
    std::string why;
    static const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), pngSignature, 8) == 0)
        picture = decodePng(bytes, why);
    else if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        picture = decodeBmp(bytes, why);
    else if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] == '5')
        picture = decodePgm(bytes, why);
    else
        why = "is not a PNG, BMP or binary PGM image";
    if (!picture)
        error = path + " " + why;
    return picture;
}

} // namespace vyrsim::control
