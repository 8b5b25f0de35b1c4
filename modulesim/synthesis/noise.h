#ifndef NOISE_H
#define NOISE_H

// Seeded randomness for the synthesis: the same finger and press give the
// same frame on every run and every machine.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vyrsim {

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
    bool chance(double p) { return uniform(0, 1) < p; }

private:
    std::uint64_t m_state;
};

inline std::uint64_t mix(std::uint64_t a, std::uint64_t b)
{
    return Random(a * 0x100000001b3ULL ^ b).next();
}

inline double smoothstep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Smooth noise in [-1, 1]: random values on a coarse grid, interpolated.
class ValueNoise
{
public:
    ValueNoise(std::uint64_t seed, int cell, int width, int height);
    double at(double x, double y) const;

private:
    int m_cell;
    int m_cols;
    int m_rows;
    std::vector<double> m_values;
};

} // namespace vyrsim

#endif // NOISE_H
