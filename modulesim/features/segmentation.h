#ifndef SEGMENTATION_H
#define SEGMENTATION_H

// Which blocks hold print, and how good the print is there.

#include "orientation.h"

namespace vyrsim {

// 0 where a block's ridges are unusable (smeared, washed out, noise), up
// to 1 for clean, parallel ridges as contrasted as the print inside `mask`
// typically is.
Grid<float> blockQuality(const BlockStats &stats, const Grid<std::uint8_t> &mask);

// The print as one solid region of blocks: contrasted blocks, cleaned of
// specks, the largest piece only, its holes filled.
Grid<std::uint8_t> segmentPrint(const BlockStats &stats);

// Blocks at least `depth` blocks away from the background and `frameDepth`
// blocks away from the frame's edge. A print's own edge makes more false
// endings than the frame's, which cuts ridges cleanly.
Grid<std::uint8_t> erodeMask(const Grid<std::uint8_t> &mask, int depth, int frameDepth);

} // namespace vyrsim

#endif // SEGMENTATION_H
