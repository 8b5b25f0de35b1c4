// Minutia detection by crossing number, direction by ridge following, and
// the false-minutia filters.

#include "minutiae.h"

#include "angles.h"
#include "skeleton.h"

#include <algorithm>
#include <cmath>

namespace vyrsim {

namespace {

constexpr int kDirectionTrace = 12; // pixels followed to find a direction
constexpr float kFieldAgreement = 0.6f; // radians; beyond it the ridge's own course wins
constexpr float kShortRidge = 0.8f; // periods: shorter links between minutiae are artefacts
constexpr float kBreakReach = 2.0f; // periods: endings facing across a shorter gap are a break
constexpr float kMinQuality = 0.3f; // block quality below which minutiae are not believed
constexpr int kCrowd = 2; // neighbours within a period that make a minutia noise

// How far apart two angles of any size are, 0 to pi.
float angleBetween(float a, float b)
{
    return angleDifference(wrapAngle(a), wrapAngle(b));
}

struct Trace
{
    int endX = 0;
    int endY = 0;
    int length = 0;
    int hit = -1; // the minutia the trace ran into, or -1
};

// Follows the skeleton away from a minutia at (sx, sy), starting with the
// neighbour (fx, fy), for at most maxLength pixels or until it meets
// another minutia. `visited` holds a stamp per pixel; each trace brings its own.
class RidgeFollower
{
public:
    RidgeFollower(const Grid<std::uint8_t> &skeleton, const Grid<int> &minutiaAt)
        : m_skeleton(skeleton)
        , m_minutiaAt(minutiaAt)
        , m_visited(skeleton.cols, skeleton.rows, 0)
    { }

    Trace follow(int sx, int sy, int fx, int fy, int maxLength)
    {
        ++m_stamp;
        const int self = m_minutiaAt.at(sx, sy);
        markAround(sx, sy);
        Trace t;
        int px = sx;
        int py = sy;
        int x = fx;
        int y = fy;
        t.length = 1;
        while (true) {
            m_visited.at(x, y) = m_stamp;
            const int other = m_minutiaAt.at(x, y);
            if (other >= 0 && other != self) {
                t.hit = other;
                break;
            }
            if (t.length >= maxLength)
                break;
            int best = -1;
            int bestDistance = -1;
            for (int k = 0; k < 8; ++k) {
                const int nx = x + kNeighbourDx[k];
                const int ny = y + kNeighbourDy[k];
                if (!m_skeleton.contains(nx, ny) || !m_skeleton.at(nx, ny)
                    || m_visited.at(nx, ny) == m_stamp)
                    continue;
                const int distance = (nx - px) * (nx - px) + (ny - py) * (ny - py);
                if (distance > bestDistance) {
                    bestDistance = distance;
                    best = k;
                }
            }
            if (best < 0)
                break;
            markAround(x, y);
            px = x;
            py = y;
            x += kNeighbourDx[best];
            y += kNeighbourDy[best];
            ++t.length;
        }
        t.endX = x;
        t.endY = y;
        return t;
    }

private:
    // A ridge pixel's other neighbours are spent once it is passed: a
    // staircase must not lead back, a fork's trace not into a sister branch.
    void markAround(int x, int y)
    {
        m_visited.at(x, y) = m_stamp;
        for (int k = 0; k < 8; ++k) {
            const int nx = x + kNeighbourDx[k];
            const int ny = y + kNeighbourDy[k];
            if (m_skeleton.contains(nx, ny) && m_skeleton.at(nx, ny) && m_minutiaAt.at(nx, ny) < 0)
                m_visited.at(nx, ny) = m_stamp;
        }
        // ...but the pixel the trace goes on to is cleared by the caller's step.
    }

    const Grid<std::uint8_t> &m_skeleton;
    const Grid<int> &m_minutiaAt;
    Grid<int> m_visited;
    int m_stamp = 0;
};

// The first pixel of each ridge line that leaves (x, y).
std::vector<std::pair<int, int>> branchStarts(const Grid<std::uint8_t> &skeleton, int x, int y)
{
    const std::uint8_t bits = neighbourBits(skeleton, x, y);
    std::vector<std::pair<int, int>> starts;
    for (int k = 0; k < 8; ++k) {
        const bool on = (bits >> k) & 1;
        const bool previous = (bits >> ((k + 7) % 8)) & 1;
        if (on && !previous) {
            // A run of neighbours is one line; take its straight neighbour if it has one.
            int pick = k;
            for (int j = k; (bits >> (j % 8)) & 1; ++j) {
                if (j % 2 == 0) {
                    pick = j % 8;
                    break;
                }
                if (j - k > 8)
                    break;
            }
            starts.push_back({x + kNeighbourDx[pick], y + kNeighbourDy[pick]});
        }
    }
    return starts;
}

} // namespace

std::vector<MinutiaCandidate> detectMinutiae(const Grid<std::uint8_t> &skeleton,
                                             const OrientationField &field,
                                             const Grid<std::uint8_t> &mask)
{
    std::vector<MinutiaCandidate> found;
    Grid<int> minutiaAt(skeleton.cols, skeleton.rows, -1);
    for (int y = 1; y < skeleton.rows - 1; ++y) {
        for (int x = 1; x < skeleton.cols - 1; ++x) {
            if (!skeleton.at(x, y) || !mask.at(blockOf(x), blockOf(y)))
                continue;
            const int cn = crossingNumber(neighbourBits(skeleton, x, y));
            if (cn != 1 && cn != 3)
                continue;
            // A fork thinned into two touching pixels is one fork.
            bool twin = false;
            for (int k = 0; k < 8 && !twin; ++k) {
                const int other = minutiaAt.at(x + kNeighbourDx[k], y + kNeighbourDy[k]);
                twin = other >= 0 && found[std::size_t(other)].type == MinutiaType::Fork;
            }
            if (twin)
                continue;
            minutiaAt.at(x, y) = int(found.size());
            MinutiaCandidate m;
            m.x = x;
            m.y = y;
            m.type = cn == 1 ? MinutiaType::Ending : MinutiaType::Fork;
            found.push_back(m);
        }
    }

    RidgeFollower follower(skeleton, minutiaAt);
    for (MinutiaCandidate &m : found) {
        const auto starts = branchStarts(skeleton, m.x, m.y);
        std::vector<float> angles;
        for (const auto &[fx, fy] : starts) {
            const Trace t = follower.follow(m.x, m.y, fx, fy, kDirectionTrace);
            angles.push_back(wrapAngle(std::atan2(float(t.endY - m.y), float(t.endX - m.x))));
        }
        float traced = angles.empty() ? 0.0f : angles.front();
        if (m.type == MinutiaType::Fork && angles.size() == 3) {
            // The two branches are the closest pair; the fork points between them.
            int a = 0;
            int b = 1;
            for (int i = 0; i < 3; ++i)
                for (int j = i + 1; j < 3; ++j)
                    if (angleBetween(angles[i], angles[j]) < angleBetween(angles[a], angles[b])) {
                        a = i;
                        b = j;
                    }
            traced = wrapAngle(std::atan2(std::sin(angles[a]) + std::sin(angles[b]),
                                          std::cos(angles[a]) + std::cos(angles[b])));
        }
        // The smoothed field is steadier than a dozen pixels of skeleton;
        // the skeleton says which way along the field's line.
        const float axis = field.angleAt(m.x + 0.5f, m.y + 0.5f);
        const float forward = angleBetween(axis, traced) < kPi / 2 ? axis : axis + kPi;
        m.angle = angleBetween(forward, traced) < kFieldAgreement ? wrapAngle(forward) : traced;
    }
    return found;
}

std::vector<MinutiaCandidate> filterMinutiae(const std::vector<MinutiaCandidate> &candidates,
                                             const MinutiaFilterInput &input)
{
    const Grid<std::uint8_t> &skeleton = input.skeleton;
    const int n = int(candidates.size());
    std::vector<bool> removed(std::size_t(n), false);
    auto periodAt = [&](const MinutiaCandidate &m) {
        return input.period.at(std::min(blockOf(m.x), input.period.cols - 1),
                               std::min(blockOf(m.y), input.period.rows - 1));
    };

    // Spurs, bridges and short ridges: two minutiae joined by a short ridge line.
    Grid<int> minutiaAt(skeleton.cols, skeleton.rows, -1);
    for (int i = 0; i < n; ++i)
        minutiaAt.at(candidates[std::size_t(i)].x, candidates[std::size_t(i)].y) = i;
    RidgeFollower follower(skeleton, minutiaAt);
    for (int i = 0; i < n; ++i) {
        const MinutiaCandidate &m = candidates[std::size_t(i)];
        const int shortLength = int(std::lround(kShortRidge * periodAt(m)));
        for (const auto &[fx, fy] : branchStarts(skeleton, m.x, m.y)) {
            const Trace t = follower.follow(m.x, m.y, fx, fy, shortLength);
            if (t.hit >= 0) {
                removed[std::size_t(i)] = true;
                removed[std::size_t(t.hit)] = true;
            }
        }
    }

    // Broken ridges: two endings facing each other across a short gap.
    for (int i = 0; i < n; ++i) {
        const MinutiaCandidate &a = candidates[std::size_t(i)];
        if (a.type != MinutiaType::Ending)
            continue;
        const float reach = kBreakReach * periodAt(a);
        for (int j = i + 1; j < n; ++j) {
            const MinutiaCandidate &b = candidates[std::size_t(j)];
            if (b.type != MinutiaType::Ending)
                continue;
            const float dx = float(b.x - a.x);
            const float dy = float(b.y - a.y);
            if (dx * dx + dy * dy > reach * reach)
                continue;
            const float ab = std::atan2(dy, dx);
            // Each ending points into its own ridge, away from the gap.
            if (angleBetween(a.angle, ab + kPi) < 0.6f && angleBetween(b.angle, ab) < 0.6f) {
                removed[std::size_t(i)] = true;
                removed[std::size_t(j)] = true;
            }
        }
    }

    // The edge of the print and poor blocks make endings of their own.
    for (int i = 0; i < n; ++i) {
        const MinutiaCandidate &m = candidates[std::size_t(i)];
        const int c = std::min(blockOf(m.x), input.inner.cols - 1);
        const int r = std::min(blockOf(m.y), input.inner.rows - 1);
        if (!input.inner.at(c, r) || input.quality.at(c, r) < kMinQuality)
            removed[std::size_t(i)] = true;
    }

    // Clusters: real minutiae keep their distance from each other.
    std::vector<int> crowd(std::size_t(n), 0);
    for (int i = 0; i < n; ++i) {
        if (removed[std::size_t(i)])
            continue;
        const float radius = periodAt(candidates[std::size_t(i)]);
        for (int j = 0; j < n; ++j) {
            if (j == i || removed[std::size_t(j)])
                continue;
            const float dx = float(candidates[std::size_t(j)].x - candidates[std::size_t(i)].x);
            const float dy = float(candidates[std::size_t(j)].y - candidates[std::size_t(i)].y);
            crowd[std::size_t(i)] += dx * dx + dy * dy < radius * radius;
        }
    }

    std::vector<MinutiaCandidate> kept;
    for (int i = 0; i < n; ++i) {
        if (removed[std::size_t(i)] || crowd[std::size_t(i)] >= kCrowd)
            continue;
        MinutiaCandidate m = candidates[std::size_t(i)];
        const float q = input.quality.at(std::min(blockOf(m.x), input.quality.cols - 1),
                                         std::min(blockOf(m.y), input.quality.rows - 1));
        m.quality = crowd[std::size_t(i)] ? 0.6f * q : q;
        kept.push_back(m);
    }
    return kept;
}

} // namespace vyrsim
