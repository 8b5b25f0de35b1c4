#ifndef PLACEMENT_H
#define PLACEMENT_H

// How one press lies on another: the turn and shift that lay a set of
// paired minutiae of the moved press best onto their partners in the
// fixed one, in the least-squares sense. Both the matcher, to pair what
// growing left over, and the merge, to lay the second press onto the
// first, place presses this way.

#include <cmath>
#include <utility>
#include <vector>

namespace vyrsim {

struct Placement
{
    float angle = 0;
    float cos = 1;
    float sin = 0;
    float fromX = 0; // centroid of the moved press's paired minutiae
    float fromY = 0;
    float toX = 0; // and of the fixed press's
    float toY = 0;

    std::pair<float, float> apply(float x, float y) const
    {
        const float dx = x - fromX;
        const float dy = y - fromY;
        return {cos * dx - sin * dy + toX, sin * dx + cos * dy + toY};
    }
};

// `pairing` holds (fixed, moved) indices; a minutia is anything with x and y.
template<typename Fixed, typename Moved>
Placement fitPlacement(const std::vector<std::pair<int, int>> &pairing,
                       const std::vector<Fixed> &fixed, const std::vector<Moved> &moved)
{
    Placement p;
    if (pairing.empty())
        return p;
    const float n = float(pairing.size());
    for (const auto &[a, b] : pairing) {
        p.toX += fixed[std::size_t(a)].x / n;
        p.toY += fixed[std::size_t(a)].y / n;
        p.fromX += moved[std::size_t(b)].x / n;
        p.fromY += moved[std::size_t(b)].y / n;
    }
    float dot = 0;
    float cross = 0;
    for (const auto &[a, b] : pairing) {
        const float ax = fixed[std::size_t(a)].x - p.toX;
        const float ay = fixed[std::size_t(a)].y - p.toY;
        const float bx = moved[std::size_t(b)].x - p.fromX;
        const float by = moved[std::size_t(b)].y - p.fromY;
        dot += bx * ax + by * ay;
        cross += bx * ay - by * ax;
    }
    p.angle = std::atan2(cross, dot);
    p.cos = std::cos(p.angle);
    p.sin = std::sin(p.angle);
    return p;
}

} // namespace vyrsim

#endif // PLACEMENT_H
