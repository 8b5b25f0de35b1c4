// Gradients, block statistics and the smoothed orientation field.

#include "orientation.h"

#include "angles.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace vyrsim {

namespace {

// Sums of a block's own 8 x 8 pixels, before the 3 x 3 block window.
struct Moments
{
    double sum = 0;
    double sumSq = 0;
    double gxx = 0;
    double gyy = 0;
    double gxy = 0;
};

// Grey pixels sum in integers; filtered ones are signed and fractional.
template<typename Pixel> Grid<Moments> blockMoments(const Grid<Pixel> &image)
{
    using Value = std::conditional_t<std::is_integral_v<Pixel>, int, float>;
    const int w = image.cols;
    const int h = image.rows;
    Grid<Moments> moments((w + kBlock - 1) / kBlock, (h + kBlock - 1) / kBlock);
    const Pixel *p = image.cells.data();
    for (int y = 0; y < h; ++y) {
        const int ym = std::max(y - 1, 0) * w;
        const int y0 = y * w;
        const int yp = std::min(y + 1, h - 1) * w;
        for (int x = 0; x < w; ++x) {
            const int xm = std::max(x - 1, 0);
            const int xp = std::min(x + 1, w - 1);
            // Sobel
            const Value gx = (p[ym + xp] + 2 * p[y0 + xp] + p[yp + xp])
                - (p[ym + xm] + 2 * p[y0 + xm] + p[yp + xm]);
            const Value gy = (p[yp + xm] + 2 * p[yp + x] + p[yp + xp])
                - (p[ym + xm] + 2 * p[ym + x] + p[ym + xp]);
            Moments &m = moments.at(x / kBlock, y / kBlock);
            const Value v = p[y0 + x];
            m.sum += v;
            m.sumSq += v * v;
            m.gxx += gx * gx;
            m.gyy += gy * gy;
            m.gxy += gx * gy;
        }
    }
    return moments;
}

template<typename Pixel> BlockStats statsOf(const Grid<Pixel> &image)
{
    const Grid<Moments> moments = blockMoments(image);
    const int cols = moments.cols;
    const int rows = moments.rows;
    BlockStats stats {Grid<float>(cols, rows), Grid<float>(cols, rows), Grid<float>(cols, rows),
                      Grid<float>(cols, rows), Grid<float>(cols, rows)};
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            Moments window;
            double pixels = 0;
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    if (!moments.contains(c + dc, r + dr))
                        continue;
                    const Moments &m = moments.at(c + dc, r + dr);
                    window.sum += m.sum;
                    window.sumSq += m.sumSq;
                    window.gxx += m.gxx;
                    window.gyy += m.gyy;
                    window.gxy += m.gxy;
                    pixels += kBlock * kBlock;
                }
            }
            const double mean = window.sum / pixels;
            stats.mean.at(c, r) = float(mean);
            stats.contrast.at(c, r)
                = float(std::sqrt(std::max(0.0, window.sumSq / pixels - mean * mean)));
            // The gradient's doubled angle, turned a quarter: the ridge's.
            const double vx = -(window.gxx - window.gyy);
            const double vy = -2 * window.gxy;
            const double length = std::hypot(vx, vy);
            const double energy = window.gxx + window.gyy;
            stats.coherence.at(c, r) = energy > 0 ? float(length / energy) : 0.0f;
            stats.dirX.at(c, r) = length > 0 ? float(vx / length) : 1.0f;
            stats.dirY.at(c, r) = length > 0 ? float(vy / length) : 0.0f;
        }
    }
    return stats;
}

} // namespace

BlockStats blockStats(const GreyImage &image)
{
    return statsOf(image);
}

BlockStats blockStats(const Grid<float> &image)
{
    return statsOf(image);
}

OrientationField smoothOrientation(const BlockStats &stats, const Grid<std::uint8_t> &mask)
{
    const int cols = stats.dirX.cols;
    const int rows = stats.dirX.rows;
    constexpr int kRadius = 2;
    float weights[2 * kRadius + 1][2 * kRadius + 1];
    for (int i = -kRadius; i <= kRadius; ++i)
        for (int j = -kRadius; j <= kRadius; ++j)
            weights[i + kRadius][j + kRadius] = std::exp(-(i * i + j * j) / (2.0f * 1.3f * 1.3f));

    OrientationField field {Grid<float>(cols, rows, 1.0f), Grid<float>(cols, rows, 0.0f)};
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            float sx = 0;
            float sy = 0;
            for (int dr = -kRadius; dr <= kRadius; ++dr) {
                for (int dc = -kRadius; dc <= kRadius; ++dc) {
                    const int cc = c + dc;
                    const int rr = r + dr;
                    if (!stats.dirX.contains(cc, rr) || !mask.at(cc, rr))
                        continue;
                    const float w
                        = weights[dr + kRadius][dc + kRadius] * stats.coherence.at(cc, rr);
                    sx += w * stats.dirX.at(cc, rr);
                    sy += w * stats.dirY.at(cc, rr);
                }
            }
            const float length = std::hypot(sx, sy);
            if (length > 1e-6f) {
                field.dirX.at(c, r) = sx / length;
                field.dirY.at(c, r) = sy / length;
            } else {
                field.dirX.at(c, r) = stats.dirX.at(c, r);
                field.dirY.at(c, r) = stats.dirY.at(c, r);
            }
        }
    }
    return field;
}

float OrientationField::blockAngle(int c, int r) const
{
    float angle = 0.5f * std::atan2(dirY.at(c, r), dirX.at(c, r));
    return angle < 0 ? angle + kPi : angle;
}

namespace {

// Where a pixel lies between block centres, which sit at (c + 0.5) * kBlock,
// along one axis: the blocks below and above, and how far towards the latter.
struct Span
{
    int low;
    int high;
    float part;
};

inline Span spanOf(float pixel, int blocks)
{
    const float g = std::clamp(pixel / kBlock - 0.5f, 0.0f, float(blocks - 1));
    const int low = int(g);
    return {low, std::min(low + 1, blocks - 1), g - low};
}

inline float interpolate(const Grid<float> &g, const Span &across, const Span &down)
{
    const float top = g.at(across.low, down.low)
        + (g.at(across.high, down.low) - g.at(across.low, down.low)) * across.part;
    const float bottom = g.at(across.low, down.high)
        + (g.at(across.high, down.high) - g.at(across.low, down.high)) * across.part;
    return top + (bottom - top) * down.part;
}

} // namespace

void OrientationField::vectorAt(float x, float y, float &vx, float &vy) const
{
    const Span across = spanOf(x, dirX.cols);
    const Span down = spanOf(y, dirX.rows);
    vx = interpolate(dirX, across, down);
    vy = interpolate(dirY, across, down);
}

void OrientationField::rowVectors(int y, int width, float *vx, float *vy) const
{
    const Span down = spanOf(y + 0.5f, dirX.rows);
    for (int x = 0; x < width; ++x) {
        const Span across = spanOf(x + 0.5f, dirX.cols);
        vx[x] = interpolate(dirX, across, down);
        vy[x] = interpolate(dirY, across, down);
    }
}

float OrientationField::angleAt(float x, float y) const
{
    float vx = 0;
    float vy = 0;
    vectorAt(x, y, vx, vy);
    float angle = 0.5f * std::atan2(vy, vx);
    return angle < 0 ? angle + kPi : angle;
}

} // namespace vyrsim
