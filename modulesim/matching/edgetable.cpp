#include "edgetable.h"

#include "angles.h"

#include <algorithm>
#include <cmath>

namespace vyrsim {

namespace {

constexpr int kNeighbours = 8;

} // namespace

EdgeTable EdgeTable::build(const Template &t)
{
    EdgeTable table;
    const int n = int(t.minutiae.size());
    table.minutiae.reserve(std::size_t(n));
    for (const Minutia &m : t.minutiae)
        table.minutiae.push_back({float(m.x), float(m.y), m.angle * kTwoPi / 256.0f, m.type});

    // Each minutia's nearest neighbours, by squared distance in integers,
    // kept in a short sorted list. The others are visited outwards in order
    // of height, until the next is farther up or down than the list's last.
    table.firstEdge.resize(std::size_t(n) + 1);
    table.edges.resize(std::size_t(n) * kNeighbours);
    std::vector<int> order(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        order[std::size_t(i)] = i;
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return t.minutiae[std::size_t(a)].y < t.minutiae[std::size_t(b)].y;
    });
    std::pair<int, int> nearest[kNeighbours + 1];
    for (int r = 0; r < n; ++r) {
        const int i = order[std::size_t(r)];
        const int ax = t.minutiae[std::size_t(i)].x;
        const int ay = t.minutiae[std::size_t(i)].y;
        int kept = 0;
        auto consider = [&](int j) {
            const int dx = t.minutiae[std::size_t(j)].x - ax;
            const int dy = t.minutiae[std::size_t(j)].y - ay;
            const int d2 = dx * dx + dy * dy;
            if (kept == kNeighbours && d2 >= nearest[kept - 1].first)
                return;
            int k = kept < kNeighbours ? kept++ : kept - 1;
            for (; k > 0 && nearest[k - 1].first > d2; --k)
                nearest[k] = nearest[k - 1];
            nearest[k] = {d2, j};
        };
        auto reach = [&](int rank) {
            const int dy = t.minutiae[std::size_t(order[std::size_t(rank)])].y - ay;
            return kept < kNeighbours || dy * dy < nearest[kept - 1].first;
        };
        for (int up = r - 1, down = r + 1;;) {
            const bool goUp = up >= 0 && reach(up);
            const bool goDown = down < n && reach(down);
            if (!goUp && !goDown)
                break;
            if (goUp)
                consider(order[std::size_t(up--)]);
            if (goDown)
                consider(order[std::size_t(down++)]);
        }
        table.firstEdge[std::size_t(i)] = std::uint16_t(kept);
        const MatchMinutia &ma = table.minutiae[std::size_t(i)];
        for (int e = 0; e < kept; ++e) {
            const int j = nearest[e].second;
            const MatchMinutia &mb = table.minutiae[std::size_t(j)];
            const float direction = wrapTurn(fastAtan2(mb.y - ma.y, mb.x - ma.x));
            table.edges[std::size_t(i) * kNeighbours + std::size_t(e)]
                = {std::uint16_t(i), std::uint16_t(j), std::sqrt(float(nearest[e].first)),
                   wrapTurn(direction - ma.angle), wrapTurn(direction - mb.angle)};
        }
    }
    // Minutiae were visited out of order; close up the rows in index order.
    std::size_t count = 0;
    for (int i = 0; i < n; ++i) {
        const int kept = table.firstEdge[std::size_t(i)];
        table.firstEdge[std::size_t(i)] = std::uint16_t(count);
        for (int e = 0; e < kept; ++e)
            table.edges[count++] = table.edges[std::size_t(i) * kNeighbours + std::size_t(e)];
    }
    table.firstEdge[std::size_t(n)] = std::uint16_t(count);
    table.edges.resize(count);
    return table;
}

} // namespace vyrsim
