#ifndef ANGLES_H
#define ANGLES_H

// Angles in radians, as the extractor and the matcher share them.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vyrsim {

constexpr float kPi = 3.14159265f;
constexpr float kTwoPi = 2 * kPi;

// Any angle into [0, 2 pi).
inline float wrapAngle(float a)
{
    a = std::fmod(a, kTwoPi);
    return a < 0 ? a + kTwoPi : a;
}

// `yes` if `pick`, else `no`, chosen by a mask and not by a branch, where
// which way it goes is a coin toss the processor would often guess wrong.
inline float select(bool pick, float yes, float no)
{
    std::uint32_t y;
    std::uint32_t n;
    std::memcpy(&y, &yes, sizeof y);
    std::memcpy(&n, &no, sizeof n);
    const std::uint32_t mask = 0u - std::uint32_t(pick);
    const std::uint32_t bits = (y & mask) | (n & ~mask);
    float result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

// An angle less than a turn outside [0, 2 pi) into it, without a branch:
// cheap enough for the matcher's inner loops, where which way it goes is
// a coin toss the processor would often guess wrong.
inline float wrapTurn(float a)
{
    a += kTwoPi * float(a < 0);
    return a - kTwoPi * float(a >= kTwoPi);
}

// How far apart two angles in [0, 2 pi) are, 0 to pi (without a branch).
inline float angleDifference(float a, float b)
{
    const float d = std::fabs(a - b);
    return std::min(d, kTwoPi - d);
}

// atan2 to within about 0.004 radians, several times cheaper than the
// library's and free of branches: plenty for quantised directions and for
// angle tolerances of a tenth of a radian and more.
inline float fastAtan2(float y, float x)
{
    const float ax = std::fabs(x);
    const float ay = std::fabs(y);
    const float z = std::min(ax, ay) / (std::max(ax, ay) + 1e-30f);
    float a = z * (kPi / 4 + 0.273f * (1 - z));
    a = ay > ax ? kPi / 2 - a : a;
    a = select(x < 0, kPi - a, a);
    return std::copysign(a, y);
}

} // namespace vyrsim

#endif // ANGLES_H
