#ifndef RIDGECELLS_H
#define RIDGECELLS_H

// The run of the ridges as a template keeps it (template.h): the smoothed
// orientation field, summed over cells of 2 x 2 blocks.

#include "orientation.h"

#include <vector>

namespace vyrsim {

// Blocks of print below kCellQuality (segmentation.h's block quality) do
// not count: where blots or dry breaks cross the ridges, the field runs
// its own way, and a cell of it would be weighed against the other press
// as if it were the finger's.
constexpr float kCellQuality = 0.45f;

std::vector<std::uint8_t> ridgeCells(const OrientationField &field, const Grid<std::uint8_t> &mask,
                                     const Grid<float> &quality);

} // namespace vyrsim

#endif // RIDGECELLS_H
