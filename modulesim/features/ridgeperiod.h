#ifndef RIDGEPERIOD_H
#define RIDGEPERIOD_H

// The distance from one ridge to the next, block by block.

#include "orientation.h"

namespace vyrsim {

constexpr float kMinPeriod = 5.0f; // pixels; at 500 dpi ridges lie 7 to 12 apart
constexpr float kMaxPeriod = 15.0f;

// Reads the grey profile across the ridges of each print block and takes
// the lag at which it best repeats. Blocks without a clear answer take the
// median of those with one; the result is smoothed over neighbours.
Grid<float> ridgePeriod(const GreyImage &image, const OrientationField &field,
                        const Grid<std::uint8_t> &mask);

} // namespace vyrsim

#endif // RIDGEPERIOD_H
