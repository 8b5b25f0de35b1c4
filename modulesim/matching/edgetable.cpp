#include "edgetable.h"

#include <algorithm>
#include <cmath>

namespace vyrsim {

namespace {

constexpr int kNeighbours = 8;
constexpr float kTwoPi = 6.28318531f;

float wrap(float a)
{
    a = std::fmod(a, kTwoPi);
    return a < 0 ? a + kTwoPi : a;
}

} // namespace

EdgeTable EdgeTable::build(const Template &t)
{
    EdgeTable table;
    const int n = int(t.minutiae.size());
    table.minutiae.reserve(std::size_t(n));
    for (const Minutia &m : t.minutiae)
        table.minutiae.push_back({float(m.x), float(m.y), m.angle * kTwoPi / 256.0f, m.type});

    std::vector<std::pair<float, int>> byDistance;
    table.firstEdge.reserve(std::size_t(n) + 1);
    for (int i = 0; i < n; ++i) {
        table.firstEdge.push_back(std::uint16_t(table.edges.size()));
        const MatchMinutia &a = table.minutiae[std::size_t(i)];
        byDistance.clear();
        for (int j = 0; j < n; ++j) {
            if (j == i)
                continue;
            const MatchMinutia &b = table.minutiae[std::size_t(j)];
            byDistance.push_back({std::hypot(b.x - a.x, b.y - a.y), j});
        }
        const int k = std::min<int>(kNeighbours, int(byDistance.size()));
        std::partial_sort(byDistance.begin(), byDistance.begin() + k, byDistance.end());
        for (int e = 0; e < k; ++e) {
            const auto [length, j] = byDistance[std::size_t(e)];
            const MatchMinutia &b = table.minutiae[std::size_t(j)];
            const float direction = std::atan2(b.y - a.y, b.x - a.x);
            table.edges.push_back({std::uint16_t(i), std::uint16_t(j), length,
                                   wrap(direction - a.angle), wrap(direction - b.angle)});
        }
    }
    table.firstEdge.push_back(std::uint16_t(table.edges.size()));
    return table;
}

} // namespace vyrsim
