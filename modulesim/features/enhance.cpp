// Oriented ridge filtering. Directions are quantised to kDirections and
// periods to quarter pixels, so that the taps of every filter are fixed
// offsets into a padded copy of the image.

#include "enhance.h"

#include "ridgeperiod.h"

#include "angles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace vyrsim {

namespace {

constexpr int kDirections = 32;
constexpr int kAlongTaps = 10; // on each side of the pixel
constexpr float kAlongSigma = 5.0f;
constexpr int kAcrossTaps = 8;
constexpr int kMargin = std::max(kAlongTaps, kAcrossTaps) + 1;
constexpr int kPeriodSteps = 4; // per pixel of period
constexpr int kPeriods = int((kMaxPeriod - kMinPeriod) * kPeriodSteps) + 1;

struct Taps
{
    // Per direction, per tap: the offset of the tap in the padded image.
    std::array<std::array<int, 2 * kAcrossTaps + 1>, kDirections> across {};
    std::array<std::array<int, 2 * kAlongTaps + 1>, kDirections> along {};
    std::array<float, 2 * kAlongTaps + 1> alongWeight {};
    // Per quantised period: the band-pass across the ridges, zero mean.
    std::array<std::array<float, 2 * kAcrossTaps + 1>, kPeriods> acrossWeight {};

    explicit Taps(int stride)
    {
        for (int d = 0; d < kDirections; ++d) {
            const float angle = kPi * d / kDirections;
            const float ux = std::cos(angle);
            const float uy = std::sin(angle);
            for (int k = -kAlongTaps; k <= kAlongTaps; ++k)
                along[d][k + kAlongTaps]
                    = int(std::lround(k * uy)) * stride + int(std::lround(k * ux));
            for (int j = -kAcrossTaps; j <= kAcrossTaps; ++j)
                across[d][j + kAcrossTaps]
                    = int(std::lround(j * ux)) * stride + int(std::lround(-j * uy));
        }
        float total = 0;
        for (int k = -kAlongTaps; k <= kAlongTaps; ++k)
            total += alongWeight[k + kAlongTaps]
                = std::exp(-k * k / (2 * kAlongSigma * kAlongSigma));
        for (float &w : alongWeight)
            w /= total;
        for (int p = 0; p < kPeriods; ++p) {
            const float period = kMinPeriod + float(p) / kPeriodSteps;
            // A narrow envelope, about one period: the filter follows the
            // ridges it sees rather than ridges it would make up.
            const float sigma = 0.25f * period;
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

// Direction index of every pixel, from the block field interpolated.
std::vector<std::uint8_t> pixelDirections(const OrientationField &field, int w, int h)
{
    const std::size_t width = std::size_t(w);
    std::vector<std::uint8_t> directions(width * std::size_t(h));
    std::vector<float> vx(width);
    std::vector<float> vy(width);
    for (int y = 0; y < h; ++y) {
        field.rowVectors(y, w, vx.data(), vy.data());
        std::uint8_t *row = &directions[std::size_t(y) * width];
        for (std::size_t x = 0; x < width; ++x) {
            float angle = 0.5f * fastAtan2(vy[x], vx[x]);
            if (angle < 0)
                angle += kPi;
            row[x] = std::uint8_t(int(angle / kPi * kDirections + 0.5f) % kDirections);
        }
    }
    return directions;
}

} // namespace

Grid<float> enhanceRidges(const GreyImage &image, const OrientationField &field,
                          const Grid<float> &period, const Grid<std::uint8_t> &mask)
{
    const int w = image.cols;
    const int h = image.rows;
    const int pw = w + 2 * kMargin;
    const int ph = h + 2 * kMargin;
    const Taps t(pw);
    auto blockAt = [&](int x, int y) {
        return std::pair<int, int>(std::min(x / kBlock, mask.cols - 1),
                                   std::min(y / kBlock, mask.rows - 1));
    };
    // The along pass is needed up to the across filter's reach outside the print.
    Grid<std::uint8_t> near(mask.cols, mask.rows);
    for (int r = 0; r < mask.rows; ++r)
        for (int c = 0; c < mask.cols; ++c)
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc)
                    if (mask.contains(c + dc, r + dr) && mask.at(c + dc, r + dr))
                        near.at(c, r) = 1;
    const std::vector<std::uint8_t> directions = pixelDirections(field, w, h);

    // The image, padded by repeating its edges.
    std::vector<float> padded(std::size_t(pw) * std::size_t(ph));
    for (int y = 0; y < ph; ++y) {
        const int sy = std::clamp(y - kMargin, 0, h - 1);
        for (int x = 0; x < pw; ++x)
            padded[std::size_t(y) * std::size_t(pw) + std::size_t(x)]
                = image.at(std::clamp(x - kMargin, 0, w - 1), sy);
    }

    // Along the ridges.
    std::vector<float> smoothed = padded;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto [c, r] = blockAt(x, y);
            if (!near.at(c, r))
                continue;
            const auto &offsets
                = t.along[directions[std::size_t(y) * std::size_t(w) + std::size_t(x)]];
            const float *at
                = &padded[std::size_t(y + kMargin) * std::size_t(pw) + std::size_t(x + kMargin)];
            float sum = 0;
            for (int k = 0; k < 2 * kAlongTaps + 1; ++k)
                sum += t.alongWeight[std::size_t(k)] * at[offsets[std::size_t(k)]];
            smoothed[std::size_t(y + kMargin) * std::size_t(pw) + std::size_t(x + kMargin)] = sum;
        }
    }

    // Across the ridges, at the block's period.
    Grid<float> out(w, h, 0.0f);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto [c, r] = blockAt(x, y);
            if (!mask.at(c, r))
                continue;
            const int p = std::clamp(int((period.at(c, r) - kMinPeriod) * kPeriodSteps + 0.5f), 0,
                                     kPeriods - 1);
            const auto &weights = t.acrossWeight[std::size_t(p)];
            const auto &offsets
                = t.across[directions[std::size_t(y) * std::size_t(w) + std::size_t(x)]];
            const float *at
                = &smoothed[std::size_t(y + kMargin) * std::size_t(pw) + std::size_t(x + kMargin)];
            float sum = 0;
            for (int j = 0; j < 2 * kAcrossTaps + 1; ++j)
                sum += weights[std::size_t(j)] * at[offsets[std::size_t(j)]];
            out.at(x, y) = sum;
        }
    }
    return out;
}

} // namespace vyrsim
