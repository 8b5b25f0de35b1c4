// Ridge period estimation from the autocorrelation of a block's profile
// taken across its ridges.

#include "ridgeperiod.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vyrsim {

namespace {

constexpr int kAcross = 16; // profile samples on each side of the block centre
constexpr int kAlong = 6; // samples averaged along the ridge for each profile point
constexpr float kMinCorrelation = 0.25f;
constexpr float kDefaultPeriod = 9.0f;

float blockPeriod(const GreyImage &image, float cx, float cy, float angle)
{
    const float ux = std::cos(angle);
    const float uy = std::sin(angle);
    float profile[2 * kAcross + 1];
    float mean = 0;
    for (int j = -kAcross; j <= kAcross; ++j) {
        float sum = 0;
        for (int k = -kAlong; k <= kAlong; ++k) {
            const float fx = std::clamp(cx - j * uy + k * ux, 0.0f, image.cols - 1.0f);
            const float fy = std::clamp(cy + j * ux + k * uy, 0.0f, image.rows - 1.0f);
            const int x = int(fx + 0.5f);
            const int y = int(fy + 0.5f);
            sum += image.at(x, y);
        }
        profile[j + kAcross] = sum;
        mean += sum;
    }
    mean /= 2 * kAcross + 1;
    float energy = 0;
    for (float &v : profile) {
        v -= mean;
        energy += v * v;
    }
    if (energy <= 0)
        return 0;

    constexpr int kFirstLag = int(kMinPeriod);
    constexpr int kLastLag = int(kMaxPeriod) + 1;
    float correlation[kLastLag + 2] = {};
    for (int lag = kFirstLag - 1; lag <= kLastLag + 1; ++lag) {
        float sum = 0;
        for (int i = 0; i + lag < 2 * kAcross + 1; ++i)
            sum += profile[i] * profile[i + lag];
        correlation[lag] = sum / energy * float(2 * kAcross + 1) / float(2 * kAcross + 1 - lag);
    }
    int best = 0;
    for (int lag = kFirstLag; lag <= kLastLag; ++lag)
        if (correlation[lag] > correlation[lag - 1] && correlation[lag] >= correlation[lag + 1]
            && (best == 0 || correlation[lag] > correlation[best]))
            best = lag;
    if (best == 0 || correlation[best] < kMinCorrelation)
        return 0;
    // A parabola through the peak and its neighbours places it between lags.
    const float a = correlation[best - 1];
    const float b = correlation[best];
    const float c = correlation[best + 1];
    const float denominator = a - 2 * b + c;
    const float offset = denominator < 0 ? 0.5f * (a - c) / denominator : 0.0f;
    return std::clamp(best + offset, kMinPeriod, kMaxPeriod);
}

} // namespace

Grid<float> ridgePeriod(const GreyImage &image, const OrientationField &field,
                        const Grid<std::uint8_t> &mask)
{
    const int cols = mask.cols;
    const int rows = mask.rows;
    Grid<float> raw(cols, rows, 0.0f);
    std::vector<float> found;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            if (!mask.at(c, r))
                continue;
            const float period = blockPeriod(image, (c + 0.5f) * kBlock, (r + 0.5f) * kBlock,
                                             field.blockAngle(c, r));
            raw.at(c, r) = period;
            if (period > 0)
                found.push_back(period);
        }
    }
    float median = kDefaultPeriod;
    if (!found.empty()) {
        std::nth_element(found.begin(), found.begin() + found.size() / 2, found.end());
        median = found[found.size() / 2];
    }

    // Each block takes the mean of the answers around it, or the median.
    Grid<float> period(cols, rows, median);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            float sum = 0;
            int n = 0;
            for (int dr = -2; dr <= 2; ++dr)
                for (int dc = -2; dc <= 2; ++dc)
                    if (raw.contains(c + dc, r + dr) && raw.at(c + dc, r + dr) > 0) {
                        sum += raw.at(c + dc, r + dr);
                        ++n;
                    }
            if (n >= 3)
                period.at(c, r) = sum / n;
        }
    }
    return period;
}

} // namespace vyrsim
