#ifndef SKELETON_H
#define SKELETON_H

// From enhanced ridges to one-pixel-wide ridge lines.

#include "grid.h"

namespace vyrsim {

// 1 on ridges (negative filter answer), 0 elsewhere. Ridge specks and valley
// pores smaller than `minBlob` pixels are taken away, as no real ridge or
// valley is that small.
Grid<std::uint8_t> binarize(const Grid<float> &enhanced, int minBlob);

// Thins the ridges to lines one pixel wide, keeping them connected and
// keeping their ends.
Grid<std::uint8_t> thin(Grid<std::uint8_t> ridges);

// Neighbours of a pixel as a byte, bit 0 north and then clockwise:
// north-east, east, south-east, south, south-west, west, north-west.
std::uint8_t neighbourBits(const Grid<std::uint8_t> &g, int x, int y);

// How many ridge lines leave a pixel: 1 at an ending, 2 along a line, 3 at a fork.
int crossingNumber(std::uint8_t bits);

extern const int kNeighbourDx[8];
extern const int kNeighbourDy[8];

} // namespace vyrsim

#endif // SKELETON_H
