#include "fingersynth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace vyrsim {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The ridge pattern of a finger is grown once on a canvas larger than the
// sensor, so that a shifted or turned press still finds ridges to show.
constexpr int kMasterWidth = 352;
constexpr int kMasterHeight = 384;

class Random
{
public:
    explicit Random(std::uint64_t seed)
        : m_state(seed)
    { }
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi).
    double uniform(double lo, double hi)
    {
        return lo + (hi - lo) * double(next() >> 11) * (1.0 / 9007199254740992.0);
    }

private:
    std::uint64_t m_state;
};

std::uint64_t mix(std::uint64_t a, std::uint64_t b)
{
    return Random(a * 0x100000001b3ULL ^ b).next();
}

double smoothstep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Smooth noise in [-1, 1]: random values on a coarse grid, interpolated.
class ValueNoise
{
public:
    ValueNoise(std::uint64_t seed, int cell, int width, int height)
        : m_cell(cell)
        , m_cols(width / cell + 2)
        , m_rows(height / cell + 2)
        , m_values(std::size_t(m_cols) * std::size_t(m_rows))
    {
        Random random(seed);
        for (double &v : m_values)
            v = random.uniform(-1.0, 1.0);
    }
    double at(double x, double y) const
    {
        const double gx = std::clamp(x / m_cell, 0.0, double(m_cols - 2));
        const double gy = std::clamp(y / m_cell, 0.0, double(m_rows - 2));
        const int ix = int(gx);
        const int iy = int(gy);
        const double fx = smoothstep(0, 1, gx - ix);
        const double fy = smoothstep(0, 1, gy - iy);
        const double *row0 = &m_values[std::size_t(iy) * std::size_t(m_cols) + std::size_t(ix)];
        const double *row1 = row0 + m_cols;
        const double top = row0[0] + (row0[1] - row0[0]) * fx;
        const double bottom = row1[0] + (row1[1] - row1[0]) * fx;
        return top + (bottom - top) * fy;
    }

private:
    int m_cell;
    int m_cols;
    int m_rows;
    std::vector<double> m_values;
};

// A finger's ridge pattern: values in [-1, 1], ridges positive.
struct Master
{
    std::vector<float> ridge;

    float at(int x, int y) const
    {
        x = std::clamp(x, 0, kMasterWidth - 1);
        y = std::clamp(y, 0, kMasterHeight - 1);
        return ridge[std::size_t(y) * kMasterWidth + std::size_t(x)];
    }
    double sample(double x, double y) const
    {
        const int ix = int(std::floor(x));
        const int iy = int(std::floor(y));
        const double fx = x - ix;
        const double fy = y - iy;
        const double top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * fx;
        const double bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * fx;
        return top + (bottom - top) * fy;
    }
};

// Grows ridges out of noise by filtering it again and again along a flow
// field: smoothing along the ridge direction and a band-pass across it at
// the ridge period. The flow has one core (where the ridges turn back) and
// one delta (where three flows meet), as in a loop pattern.
std::unique_ptr<Master> growMaster(int finger)
{
    Random random(mix(0xf1a9e7ULL, std::uint64_t(finger)));
    const double coreX = kMasterWidth / 2.0 + random.uniform(-18, 18);
    const double coreY = kMasterHeight * 0.47 + random.uniform(-12, 12);
    const double side = (random.next() & 1) ? 1.0 : -1.0;
    const double deltaX = coreX + side * random.uniform(80, 110);
    const double deltaY = coreY + random.uniform(105, 135);
    const double tilt = random.uniform(-0.18, 0.18);
    const double period = random.uniform(8.4, 9.6);
    const ValueNoise wobble(random.next(), 64, kMasterWidth, kMasterHeight);

    const std::size_t size = std::size_t(kMasterWidth) * kMasterHeight;
    std::vector<float> cosT(size);
    std::vector<float> sinT(size);
    for (int y = 0; y < kMasterHeight; ++y) {
        for (int x = 0; x < kMasterWidth; ++x) {
            const double theta
                = 0.5 * (std::atan2(y - coreY, x - coreX) - std::atan2(y - deltaY, x - deltaX))
                + tilt + 0.12 * wobble.at(x, y);
            const std::size_t i = std::size_t(y) * kMasterWidth + std::size_t(x);
            cosT[i] = float(std::cos(theta));
            sinT[i] = float(std::sin(theta));
        }
    }

    std::vector<float> a(size);
    for (float &v : a)
        v = random.uniform(0, 1) < 0.08 ? float(random.uniform(-1, 1)) : 0.0f;
    std::vector<float> b(size);

    constexpr int kAcross = 5; // taps on each side, across the ridges
    std::array<float, 2 * kAcross + 1> gabor {};
    for (int j = -kAcross; j <= kAcross; ++j)
        gabor[std::size_t(j + kAcross)]
            = float(std::exp(-(j * j) / (2.0 * 2.6 * 2.6)) * std::cos(2.0 * kPi * j / period));

    // Bilinear sampling keeps the filtered ridges free of stair steps.
    auto at = [](const std::vector<float> &img, double x, double y) {
        x = std::clamp(x, 0.0, kMasterWidth - 1.001);
        y = std::clamp(y, 0.0, kMasterHeight - 1.001);
        const int ix = int(x);
        const int iy = int(y);
        const float fx = float(x - ix);
        const float fy = float(y - iy);
        const float *p = &img[std::size_t(iy) * kMasterWidth + std::size_t(ix)];
        const float top = p[0] + (p[1] - p[0]) * fx;
        const float bottom = p[kMasterWidth] + (p[kMasterWidth + 1] - p[kMasterWidth]) * fx;
        return top + (bottom - top) * fy;
    };

    constexpr int kAlong = 7; // taps on each side, along the ridges, a pixel apart
    std::array<float, kAlong + 1> smooth {};
    for (int k = 0; k <= kAlong; ++k)
        smooth[std::size_t(k)] = float(std::exp(-(k * k) / (2.0 * 3.4 * 3.4)));

    for (int pass = 0; pass < 8; ++pass) {
        // Along the ridges: smoothing over a dozen pixels keeps them continuous. The taps
        // are a pixel apart, or a pattern alternating from pixel to pixel would pass.
        for (int y = 0; y < kMasterHeight; ++y) {
            for (int x = 0; x < kMasterWidth; ++x) {
                const std::size_t i = std::size_t(y) * kMasterWidth + std::size_t(x);
                const double c = cosT[i];
                const double s = sinT[i];
                float sum = smooth[0] * a[i];
                for (int k = 1; k <= kAlong; ++k)
                    sum += smooth[std::size_t(k)]
                        * (at(a, x + k * c, y + k * s) + at(a, x - k * c, y - k * s));
                b[i] = sum;
            }
        }
        // Across the ridges: the band-pass that sets the ridge period.
        double energy = 0;
        for (int y = 0; y < kMasterHeight; ++y) {
            for (int x = 0; x < kMasterWidth; ++x) {
                const std::size_t i = std::size_t(y) * kMasterWidth + std::size_t(x);
                const double nx = -sinT[i];
                const double ny = cosT[i];
                float sum = 0;
                for (int j = -kAcross; j <= kAcross; ++j)
                    sum += gabor[std::size_t(j + kAcross)] * at(b, x + j * nx, y + j * ny);
                a[i] = sum;
                energy += double(sum) * sum;
            }
        }
        const double rms = std::sqrt(energy / double(size)) + 1e-9;
        for (float &v : a)
            v = float(std::tanh(1.6 * v / rms));
    }

    auto master = std::make_unique<Master>();
    master->ridge = std::move(a);
    return master;
}

const Master &masterFor(int finger)
{
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<Master>> cache;
    const std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<Master> &slot = cache[finger];
    if (!slot)
        slot = growMaster(finger);
    return *slot;
}

} // namespace

Press pressFor(int finger, unsigned pressIndex)
{
    Random random(mix(std::uint64_t(finger) * 7919u + 17u, pressIndex));
    Press press;
    press.shiftX = random.uniform(-14, 14);
    press.shiftY = random.uniform(-16, 16);
    press.angle = random.uniform(-0.14, 0.14);
    press.pressure = random.uniform(0.3, 0.8);
    press.contactX = random.uniform(-10, 10);
    press.contactY = random.uniform(-8, 14);
    press.radiusX = random.uniform(92, 112);
    press.radiusY = random.uniform(118, 136);
    return press;
}

void renderFinger(int finger, const Press &press, std::uint64_t frameSeed, unsigned char *out)
{
    const Master &master = masterFor(finger);
    Random grain(mix(frameSeed, 0x5eed));
    const ValueNoise dryness(mix(frameSeed, 0xd1), 24, kFrameWidth,
                             kFrameHeight); // patches of weak contact
    const ValueNoise rim(mix(frameSeed, 0x41), 40, kFrameWidth, kFrameHeight);
    const double cosA = std::cos(press.angle);
    const double sinA = std::sin(press.angle);
    const double threshold = 0.5 - 0.5 * press.pressure;
    const double cx = kFrameWidth / 2.0 + press.contactX;
    const double cy = kFrameHeight / 2.0 + press.contactY;

    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            const double u = x - kFrameWidth / 2.0 - press.shiftX;
            const double v = y - kFrameHeight / 2.0 - press.shiftY;
            const double mx = kMasterWidth / 2.0 + cosA * u - sinA * v;
            const double my = kMasterHeight / 2.0 + sinA * u + cosA * v;
            const double ink = smoothstep(threshold - 0.3, threshold + 0.3, master.sample(mx, my));

            const double ex = (x - cx) / press.radiusX;
            const double ey = (y - cy) / press.radiusY;
            const double r = std::sqrt(ex * ex + ey * ey) + 0.06 * rim.at(x, y);
            const double contact = smoothstep(1.0, 0.82, r);
            const double strength = contact * (0.8 + 0.2 * dryness.at(x, y));

            const double background = 226.0 - 10.0 * contact;
            const double grey = background - strength * ink * 170.0 + grain.uniform(-7, 7);
            out[std::size_t(y) * kFrameWidth + std::size_t(x)]
                = static_cast<unsigned char>(std::clamp(grey, 0.0, 255.0));
        }
    }
}

void renderEmpty(std::uint64_t frameSeed, unsigned char *out)
{
    Random grain(mix(frameSeed, 0xe4));
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            // A faint falloff towards the corners, as an optical window shows.
            const double dx = (x - kFrameWidth / 2.0) / kFrameWidth;
            const double dy = (y - kFrameHeight / 2.0) / kFrameHeight;
            const double grey = 230.0 - 24.0 * (dx * dx + dy * dy) + grain.uniform(-4, 4);
            out[std::size_t(y) * kFrameWidth + std::size_t(x)]
                = static_cast<unsigned char>(std::clamp(grey, 0.0, 255.0));
        }
    }
}

} // namespace vyrsim
