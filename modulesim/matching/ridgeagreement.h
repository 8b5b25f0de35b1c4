#ifndef RIDGEAGREEMENT_H
#define RIDGEAGREEMENT_H

// How alike two presses' ridges run where they overlap, once one is laid on
// the other: the mean of cos 2d over the overlap, d the angle between the
// ridges at a point. 1 where they run alike everywhere; about 0 for ridges
// at random; 0 too where the presses do not overlap.

#include "placement.h"

#include <cstdint>
#include <vector>

namespace vyrsim {

// `fixed` and `moved` are ridge cells (template.h); `placement` lays the
// moved press onto the fixed one.
float ridgeAgreement(const std::vector<std::uint8_t> &fixed, const std::vector<std::uint8_t> &moved,
                     const Placement &placement);

} // namespace vyrsim

#endif // RIDGEAGREEMENT_H
