#include "edgetable.h"

#include <algorithm>
#include <cmath>

namespace vyrsim {

namespace {

constexpr int kNeighbours = 8;
constexpr float kPi = 3.14159265f;
constexpr float kTwoPi = 2 * kPi;

float wrap(float a)
{
    return a < 0 ? a + kTwoPi : (a >= kTwoPi ? a - kTwoPi : a);
}

// atan2 to within a few thousandths of a radian: far inside the matcher's
// angle tolerance, and several times cheaper than the library's.
float fastAtan2(float y, float x)
{
    const float ax = std::fabs(x);
    const float ay = std::fabs(y);
    const float big = std::max(ax, ay);
    if (big == 0)
        return 0;
    const float z = std::min(ax, ay) / big;
    float a = z * (kPi / 4 + 0.273f * (1 - z));
    if (ay > ax)
        a = kPi / 2 - a;
    if (x < 0)
        a = kPi - a;
    return y < 0 ? -a : a;
}

} // namespace

EdgeTable EdgeTable::build(const Template &t)
{
    EdgeTable table;
    const int n = int(t.minutiae.size());
    table.minutiae.reserve(std::size_t(n));
    for (const Minutia &m : t.minutiae)
        table.minutiae.push_back({float(m.x), float(m.y), m.angle * kTwoPi / 256.0f, m.type});

    // Each minutia's nearest neighbours, by squared distance in integers,
    // kept in a short sorted list as the others go by.
    table.firstEdge.reserve(std::size_t(n) + 1);
    table.edges.reserve(std::size_t(n) * kNeighbours);
    std::pair<int, int> nearest[kNeighbours + 1];
    for (int i = 0; i < n; ++i) {
        table.firstEdge.push_back(std::uint16_t(table.edges.size()));
        const Minutia &a = t.minutiae[std::size_t(i)];
        int kept = 0;
        for (int j = 0; j < n; ++j) {
            if (j == i)
                continue;
            const int dx = t.minutiae[std::size_t(j)].x - a.x;
            const int dy = t.minutiae[std::size_t(j)].y - a.y;
            const int d2 = dx * dx + dy * dy;
            if (kept == kNeighbours && d2 >= nearest[kept - 1].first)
                continue;
            int k = kept < kNeighbours ? kept++ : kept - 1;
            for (; k > 0 && nearest[k - 1].first > d2; --k)
                nearest[k] = nearest[k - 1];
            nearest[k] = {d2, j};
        }
        const MatchMinutia &ma = table.minutiae[std::size_t(i)];
        for (int e = 0; e < kept; ++e) {
            const int j = nearest[e].second;
            const MatchMinutia &mb = table.minutiae[std::size_t(j)];
            const float direction = fastAtan2(mb.y - ma.y, mb.x - ma.x);
            table.edges.push_back(
                {std::uint16_t(i), std::uint16_t(j), std::sqrt(float(nearest[e].first)),
                 wrap(wrap(direction) - ma.angle), wrap(wrap(direction) - mb.angle)});
        }
    }
    table.firstEdge.push_back(std::uint16_t(table.edges.size()));
    return table;
}

} // namespace vyrsim
