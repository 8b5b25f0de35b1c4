#include "noise.h"

namespace vyrsim {

ValueNoise::ValueNoise(std::uint64_t seed, int cell, int width, int height)
    : m_cell(cell)
    , m_cols(width / cell + 2)
    , m_rows(height / cell + 2)
    , m_values(std::size_t(m_cols) * std::size_t(m_rows))
{
    Random random(seed);
    for (double &v : m_values)
        v = random.uniform(-1.0, 1.0);
}

double ValueNoise::at(double x, double y) const
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

} // namespace vyrsim
