#include "edgetable.h"

#include "angles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace vyrsim {

namespace {

constexpr int kNeighbours = 8;
// A minutia the extractor barely believed still counts as half of one: a
// template forged with low qualities must not shrink the count it is
// weighed against to nothing.
constexpr int kLeastWeight = 50; // of 100

} // namespace

EdgeTable EdgeTable::build(const Template &t)
{
    EdgeTable table;
    table.rebuild(t);
    return table;
}

void EdgeTable::rebuild(const Template &t)
{
    const int n = int(t.minutiae.size());
    ridges = t.ridges;
    minutiae.clear();
    int weight = 0;
    for (const Minutia &m : t.minutiae) {
        minutiae.push_back({float(m.x), float(m.y), m.angle * kTwoPi / 256.0f, m.type});
        weight += std::max<int>(m.quality, kLeastWeight);
    }
    offered = float(weight) / 100;

    // Each minutia's nearest neighbours, by squared distance in integers,
    // kept in a short sorted list. The others are visited outwards in order
    // of height, until the next is farther up or down than the list's last.
    // The points lie side by side in that order, not reached through it.
    // Every minutia has as many neighbours as the others allow, up to
    // kNeighbours: its row's place is known before it is visited.
    const int kept = std::clamp(n - 1, 0, kNeighbours);
    firstEdge.resize(std::size_t(n) + 1);
    for (int i = 0; i <= n; ++i)
        firstEdge[std::size_t(i)] = std::uint16_t(i * kept);
    edges.resize(std::size_t(n * kept));
    struct Point
    {
        int x;
        int y;
        int index;
    };
    // The calling thread's scratch, looked up once: each look-up of a
    // thread's own variable in a shared library is a call.
    thread_local std::vector<Point> pointScratch;
    std::vector<Point> &points = pointScratch;
    points.resize(std::size_t(n));
    for (int i = 0; i < n; ++i)
        points[std::size_t(i)] = {t.minutiae[std::size_t(i)].x, t.minutiae[std::size_t(i)].y, i};
    std::sort(points.begin(), points.end(),
              [](const Point &a, const Point &b) { return a.y < b.y; });
    // A neighbour is its squared distance above the order in which it was
    // visited, so that of equal distances the first visited comes first.
    // Whether the next one belongs in the list, and where, is as good as a
    // coin toss: it goes in by minimum and maximum, without a branch.
    constexpr std::int64_t kNone = INT64_MAX;
    thread_local std::vector<int> visitScratch;
    std::vector<int> &visited = visitScratch;
    visited.resize(std::size_t(n));
    std::int64_t nearest[kNeighbours];
    for (int r = 0; r < n; ++r) {
        const int i = points[std::size_t(r)].index;
        const int ax = points[std::size_t(r)].x;
        const int ay = points[std::size_t(r)].y;
        std::fill(std::begin(nearest), std::end(nearest), kNone);
        int visits = 0; // fewer than a template's minutiae: 16 bits hold it
        auto consider = [&](const Point &b) {
            const int dx = b.x - ax;
            const int dy = b.y - ay;
            const std::int64_t key = std::int64_t(dx * dx + dy * dy) << 16 | visits;
            visited[std::size_t(visits++)] = b.index;
            for (int k = kNeighbours - 1; k > 0; --k) {
                const std::int64_t low = nearest[k] < key ? nearest[k] : key;
                nearest[k] = nearest[k - 1] > low ? nearest[k - 1] : low;
            }
            nearest[0] = nearest[0] < key ? nearest[0] : key;
        };
        auto reach = [&](int rank) {
            const std::int64_t dy = points[std::size_t(rank)].y - ay;
            return dy * dy < nearest[kNeighbours - 1] >> 16;
        };
        for (int up = r - 1, down = r + 1;;) {
            const bool goUp = up >= 0 && reach(up);
            const bool goDown = down < n && reach(down);
            if (!goUp && !goDown)
                break;
            if (goUp)
                consider(points[std::size_t(up--)]);
            if (goDown)
                consider(points[std::size_t(down++)]);
        }
        const MatchMinutia &ma = minutiae[std::size_t(i)];
        for (int e = 0; e < kept; ++e) {
            const int j = visited[std::size_t(nearest[e] & 0xffff)];
            const MatchMinutia &mb = minutiae[std::size_t(j)];
            const float direction = wrapTurn(fastAtan2(mb.y - ma.y, mb.x - ma.x));
            edges[std::size_t(i * kept + e)]
                = {std::uint16_t(i), std::uint16_t(j), std::sqrt(float(nearest[e] >> 16)),
                   wrapTurn(direction - ma.angle), wrapTurn(direction - mb.angle)};
        }
    }
}

} // namespace vyrsim
