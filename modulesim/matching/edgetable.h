#ifndef EDGETABLE_H
#define EDGETABLE_H

// A template made ready for matching: its minutiae, and for each minutia
// the edges to its nearest neighbours, described by what neither a shift
// nor a turn of the finger changes: the edge's length and the angles at
// which it leaves each of its two minutiae.

#include "template.h"

#include <cstdint>
#include <vector>

namespace vyrsim {

struct MatchMinutia
{
    float x = 0;
    float y = 0;
    float angle = 0; // radians, 0 to 2 pi
    MinutiaType type = MinutiaType::Ending;
};

struct Edge
{
    std::uint16_t from = 0;
    std::uint16_t to = 0;
    float length = 0;
    float fromAngle = 0; // the edge's direction seen from `from`'s direction, 0 to 2 pi
    float toAngle = 0; // the same seen from `to`'s direction
};

struct EdgeTable
{
    std::vector<MatchMinutia> minutiae;
    std::vector<Edge> edges; // grouped by `from`
    std::vector<std::uint16_t> firstEdge; // edges of minutia i: [firstEdge[i], firstEdge[i + 1])
    std::vector<std::uint8_t> ridges; // the template's ridge cells, or none
    // How many minutiae the template offers a pairing, each counted by its
    // reliability: one in full, one of the poorest quality as half.
    float offered = 0;

    static EdgeTable build(const Template &t);
    // The same in place: a search makes a thousand tables in a row, and
    // reusing one's storage spares the heap a thousand rounds.
    void rebuild(const Template &t);
};

} // namespace vyrsim

#endif // EDGETABLE_H
