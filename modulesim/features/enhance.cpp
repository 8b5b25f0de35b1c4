// Oriented ridge filtering. Directions are quantised to kDirections and
// periods to quarter pixels, so that the taps of every filter are integer
// offsets into a padded copy of the image, computed once.

#include "enhance.h"

#include "ridgeperiod.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace vyrsim {

namespace {

constexpr int kDirections = 32;
constexpr int kAlongTaps = 8; // on each side of the pixel
constexpr float kAlongSigma = 4.0f;
constexpr int kAcrossTaps = 8;
constexpr int kMargin = std::max(kAlongTaps, kAcrossTaps) + 1;
constexpr int kPeriodSteps = 4; // per pixel of period
constexpr int kPeriods = int((kMaxPeriod - kMinPeriod) * kPeriodSteps) + 1;
constexpr float kPi = 3.14159265f;

struct Taps
{
    // Per direction, per tap: the offset of the tap as (dx, dy).
    std::array<std::array<std::array<int, 2>, 2 * kAcrossTaps + 1>, kDirections> across {};
    std::array<std::array<std::array<int, 2>, 2 * kAlongTaps + 1>, kDirections> along {};
    std::array<float, 2 * kAlongTaps + 1> alongWeight {};
    // Per quantised period: the band-pass across the ridges, zero mean.
    std::array<std::array<float, 2 * kAcrossTaps + 1>, kPeriods> acrossWeight {};

    Taps()
    {
        for (int d = 0; d < kDirections; ++d) {
            const float angle = kPi * d / kDirections;
            const float ux = std::cos(angle);
            const float uy = std::sin(angle);
            for (int k = -kAlongTaps; k <= kAlongTaps; ++k)
                along[d][k + kAlongTaps] = {int(std::lround(k * ux)), int(std::lround(k * uy))};
            for (int j = -kAcrossTaps; j <= kAcrossTaps; ++j)
                across[d][j + kAcrossTaps] = {int(std::lround(-j * uy)), int(std::lround(j * ux))};
        }
        float total = 0;
        for (int k = -kAlongTaps; k <= kAlongTaps; ++k)
            total += alongWeight[k + kAlongTaps]
                = std::exp(-k * k / (2 * kAlongSigma * kAlongSigma));
        for (float &w : alongWeight)
            w /= total;
        for (int p = 0; p < kPeriods; ++p) {
            const float period = kMinPeriod + float(p) / kPeriodSteps;
            const float sigma = 0.5f * period;
            float mean = 0;
            float envelope = 0;
            auto &weights = acrossWeight[p];
            for (int j = -kAcrossTaps; j <= kAcrossTaps; ++j) {
                const float g = std::exp(-j * j / (2 * sigma * sigma));
                weights[j + kAcrossTaps] = g * std::cos(2 * kPi * j / period);
                mean += weights[j + kAcrossTaps];
                envelope += g;
            }
            // Zero mean under the envelope: flat grey gives no answer.
            for (int j = -kAcrossTaps; j <= kAcrossTaps; ++j)
                weights[j + kAcrossTaps]
                    -= mean / envelope * std::exp(-j * j / (2 * sigma * sigma));
        }
    }
};

const Taps &taps()
{
    static const Taps t;
    return t;
}

// Direction index of every pixel, from the block field interpolated.
std::vector<std::uint8_t> pixelDirections(const OrientationField &field, int w, int h)
{
    std::vector<std::uint8_t> directions(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const float angle = field.angleAt(x + 0.5f, y + 0.5f);
            directions[std::size_t(y) * w + x]
                = std::uint8_t(int(std::lround(angle / kPi * kDirections)) % kDirections);
        }
    }
    return directions;
}

} // namespace

Grid<float> enhanceRidges(const GreyImage &image, const OrientationField &field,
                          const Grid<float> &period, const Grid<std::uint8_t> &mask)
{
    const Taps &t = taps();
    const int w = image.cols;
    const int h = image.rows;
    const int pw = w + 2 * kMargin;
    const int ph = h + 2 * kMargin;
    auto inside = [&](int x, int y) {
        const int c = std::min(x / kBlock, mask.cols - 1);
        const int r = std::min(y / kBlock, mask.rows - 1);
        return mask.at(c, r) != 0;
    };
    const std::vector<std::uint8_t> directions = pixelDirections(field, w, h);

    // The image, padded by repeating its edges.
    std::vector<float> padded(std::size_t(pw) * std::size_t(ph));
    for (int y = 0; y < ph; ++y) {
        const int sy = std::clamp(y - kMargin, 0, h - 1);
        for (int x = 0; x < pw; ++x)
            padded[std::size_t(y) * pw + x] = image.at(std::clamp(x - kMargin, 0, w - 1), sy);
    }

    // Along the ridges, over the print and a margin around it.
    std::vector<float> smoothed = padded;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int d = directions[std::size_t(y) * w + x];
            const std::size_t at = std::size_t(y + kMargin) * pw + std::size_t(x + kMargin);
            float sum = 0;
            for (int k = 0; k < 2 * kAlongTaps + 1; ++k)
                sum += t.alongWeight[k] * padded[at + t.along[d][k][1] * pw + t.along[d][k][0]];
            smoothed[at] = sum;
        }
    }

    // Across the ridges, at the block's period.
    Grid<float> out(w, h, 0.0f);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!inside(x, y))
                continue;
            const int d = directions[std::size_t(y) * w + x];
            const float p = period.at(std::min(x / kBlock, period.cols - 1),
                                      std::min(y / kBlock, period.rows - 1));
            const int pi
                = std::clamp(int(std::lround((p - kMinPeriod) * kPeriodSteps)), 0, kPeriods - 1);
            const auto &weights = t.acrossWeight[pi];
            const std::size_t at = std::size_t(y + kMargin) * pw + std::size_t(x + kMargin);
            float sum = 0;
            for (int j = 0; j < 2 * kAcrossTaps + 1; ++j)
                sum += weights[j] * smoothed[at + t.across[d][j][1] * pw + t.across[d][j][0]];
            out.at(x, y) = sum;
        }
    }
    return out;
}

} // namespace vyrsim
