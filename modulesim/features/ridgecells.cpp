#include "ridgecells.h"

#include "angles.h"
#include "template.h"

#include <cmath>

namespace vyrsim {

std::vector<std::uint8_t> ridgeCells(const OrientationField &field, const Grid<std::uint8_t> &mask,
                                     const Grid<float> &quality)
{
    static_assert(kRidgeCell == 2 * kBlock, "a cell is 2 x 2 blocks");
    std::vector<std::uint8_t> cells(kRidgeCells, 0);
    for (int r = 0; r < kRidgeRows; ++r) {
        for (int c = 0; c < kRidgeCols; ++c) {
            // Doubled-angle vectors add up where plain angles would cancel.
            float sx = 0;
            float sy = 0;
            int print = 0;
            for (int br = 2 * r; br < 2 * r + 2; ++br) {
                for (int bc = 2 * c; bc < 2 * c + 2; ++bc) {
                    if (!mask.contains(bc, br) || !mask.at(bc, br)
                        || quality.at(bc, br) < kCellQuality)
                        continue;
                    ++print;
                    sx += field.dirX.at(bc, br);
                    sy += field.dirY.at(bc, br);
                }
            }
            // A cell half usable print or more is print: a print's edge keeps its cells.
            if (print < 2)
                continue;
            const float angle = wrapAngle(std::atan2(sy, sx)) / 2; // 0 to pi
            const int step = int(std::lround(angle * (kRidgeSteps / kPi))) % kRidgeSteps;
            cells[std::size_t(r * kRidgeCols + c)] = std::uint8_t(1 + step);
        }
    }
    return cells;
}

} // namespace vyrsim
