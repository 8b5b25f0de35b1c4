#ifndef RIDGECELLS_H
#define RIDGECELLS_H

// The run of the ridges as a template keeps it (template.h): the smoothed
// orientation field, summed over cells of 2 x 2 blocks.

#include "orientation.h"

#include <vector>

namespace vyrsim {

std::vector<std::uint8_t> ridgeCells(const OrientationField &field, const Grid<std::uint8_t> &mask);

} // namespace vyrsim

#endif // RIDGECELLS_H
