#ifndef MINUTIAE_H
#define MINUTIAE_H

// Ridge endings and forks on the skeleton, and the removal of those that
// thinning, noise and the print's edge make up.

#include "orientation.h"
#include "template.h"

#include <vector>

namespace vyrsim {

struct MinutiaCandidate
{
    int x = 0;
    int y = 0;
    MinutiaType type = MinutiaType::Ending;
    float angle = 0; // radians, 0 to 2 pi
    float quality = 0; // 0 to 1
};

// Every ending and fork of the skeleton inside the print, with its direction.
std::vector<MinutiaCandidate> detectMinutiae(const Grid<std::uint8_t> &skeleton,
                                             const OrientationField &field,
                                             const Grid<std::uint8_t> &mask);

struct MinutiaFilterInput
{
    const Grid<std::uint8_t> &skeleton;
    const Grid<float> &period;
    const Grid<float> &quality;
    const Grid<std::uint8_t> &inner; // blocks far enough from the print's edge
};

// Takes away spurs, bridges, short ridges, broken ridges, clusters and
// minutiae at the edge or in poor blocks; gives each survivor its quality.
std::vector<MinutiaCandidate> filterMinutiae(const std::vector<MinutiaCandidate> &candidates,
                                             const MinutiaFilterInput &input);

} // namespace vyrsim

#endif // MINUTIAE_H
