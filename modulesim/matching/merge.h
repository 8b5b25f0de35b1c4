#ifndef MERGE_H
#define MERGE_H

// Merging two presses of one finger into one template.

#include "template.h"

#include <optional>

namespace vyrsim {

// The two features must match each other. The merged template lies in the
// frame of `first`: the second press's minutiae are placed onto it by the
// rigid fit of the paired minutiae; paired minutiae are averaged, and those
// only the second press saw are added, so that the template covers what
// both presses saw. Minutiae seen twice go first when the template is full.
// The ridge cells are the first press's, filled in with the second's where
// the first shows no print.
std::optional<Template> mergeFeatures(const Template &first, const Template &second);

} // namespace vyrsim

#endif // MERGE_H
