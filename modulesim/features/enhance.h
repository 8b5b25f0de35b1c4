#ifndef ENHANCE_H
#define ENHANCE_H

// Ridge enhancement: each pixel is smoothed along its ridge and band-passed
// across it at the local ridge period. Pores, scratches and noise fade; the
// ridges come out as clean dark bands.

#include "orientation.h"

namespace vyrsim {

// The filtered print: negative on ridges, positive in valleys, 0 outside
// the mask.
Grid<float> enhanceRidges(const GreyImage &image, const OrientationField &field,
                          const Grid<float> &period, const Grid<std::uint8_t> &mask);

} // namespace vyrsim

#endif // ENHANCE_H
