#ifndef RIDGEAGREEMENT_H
#define RIDGEAGREEMENT_H

// How alike two presses' ridges run where they overlap, once one is laid on
// the other. A cell agrees in full where the ridges run alike, less as the
// angle between them grows, and not at all from kCrossing on; the cells of
// the overlap count alike. 1 where the ridges run alike everywhere; about a
// quarter for ridges at random; 0 where the presses do not overlap.
//
// Presses of one finger laid on each other keep their ridges within a few
// degrees; fingers of one pattern, laid on each other by a chance pairing
// of minutiae, keep theirs within a few tens of degrees over much of the
// print. So agreement falls with the angle from the start, not first slowly
// as the cosine of it does.

#include "placement.h"

#include <cstdint>
#include <vector>

namespace vyrsim {

constexpr float kCrossing = 0.8f; // radians, about 46 degrees

// `fixed` and `moved` are ridge cells (template.h); `placement` lays the
// moved press onto the fixed one.
float ridgeAgreement(const std::vector<std::uint8_t> &fixed, const std::vector<std::uint8_t> &moved,
                     const Placement &placement);

} // namespace vyrsim

#endif // RIDGEAGREEMENT_H
