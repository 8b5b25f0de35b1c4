#include "merge.h"

#include "angles.h"
#include "matcher.h"
#include "placement.h"
#include "vyrsim_codes.h"

#include <algorithm>
#include <cmath>

namespace vyrsim {

namespace {

constexpr float kSamePlace = 8.0f; // pixels: an added minutia this close to one kept is the same

std::uint8_t turn(std::uint8_t angle, float radians)
{
    return std::uint8_t(int(angle) + int(std::lround(radians / kTwoPi * 256)));
}

// The mean of two angles in 256 steps a turn.
std::uint8_t meanAngle(std::uint8_t a, std::uint8_t b)
{
    const int d = std::int8_t(std::uint8_t(b - a));
    return std::uint8_t(a + d / 2);
}

// The first press's ridge cells, and where it shows no print, the second's
// that the placement lays there, turned with it.
std::vector<std::uint8_t> mergeRidges(const Template &first, const Template &second,
                                      const Placement &placement)
{
    std::vector<std::uint8_t> cells = first.ridges;
    if (cells.size() != std::size_t(kRidgeCells) || second.ridges.size() != cells.size())
        return cells;
    for (int r = 0; r < kRidgeRows; ++r) {
        for (int c = 0; c < kRidgeCols; ++c) {
            std::uint8_t &cell = cells[std::size_t(r * kRidgeCols + c)];
            if (cell != 0)
                continue;
            // The placement turned backwards: from the first press to the second.
            const float dx = (float(c) + 0.5f) * kRidgeCell - placement.toX;
            const float dy = (float(r) + 0.5f) * kRidgeCell - placement.toY;
            const float x = placement.cos * dx + placement.sin * dy + placement.fromX;
            const float y = -placement.sin * dx + placement.cos * dy + placement.fromY;
            const int sc = int(std::floor(x / kRidgeCell));
            const int sr = int(std::floor(y / kRidgeCell));
            if (sc < 0 || sr < 0 || sc >= kRidgeCols || sr >= kRidgeRows)
                continue;
            const std::uint8_t seen = second.ridges[std::size_t(sr * kRidgeCols + sc)];
            if (seen == 0)
                continue;
            const float steps = placement.angle / kPi * kRidgeSteps;
            const int step = int(std::lround(float(seen - 1) + steps));
            cell = std::uint8_t(1 + ((step % kRidgeSteps) + kRidgeSteps) % kRidgeSteps);
        }
    }
    return cells;
}

} // namespace

std::optional<Template> mergeFeatures(const Template &first, const Template &second)
{
    Matcher matcher(first, Matcher::Candidates::One);
    const MatchResult match = matcher.match(EdgeTable::build(second));
    if (match.score < VYRSIM_MATCH_THRESHOLD)
        return std::nullopt;
    const Placement placement = fitPlacement(match.pairing, first.minutiae, second.minutiae);

    struct Entry
    {
        Minutia minutia;
        bool seenTwice;
    };
    std::vector<Entry> entries;
    std::vector<bool> pairedSecond(second.minutiae.size(), false);
    std::vector<int> partner(first.minutiae.size(), -1);
    for (const auto &[a, b] : match.pairing) {
        partner[std::size_t(a)] = b;
        pairedSecond[std::size_t(b)] = true;
    }
    for (std::size_t i = 0; i < first.minutiae.size(); ++i) {
        Minutia m = first.minutiae[i];
        if (partner[i] >= 0) {
            const Minutia &o = second.minutiae[std::size_t(partner[i])];
            const auto [x, y] = placement.apply(o.x, o.y);
            const long mx = std::lround((m.x + x) / 2);
            const long my = std::lround((m.y + y) / 2);
            if (withinReach(int(mx), int(my))) {
                m.x = std::int16_t(mx);
                m.y = std::int16_t(my);
            }
            m.angle = meanAngle(m.angle, turn(o.angle, placement.angle));
            m.quality = std::max(m.quality, o.quality);
        }
        entries.push_back({m, partner[i] >= 0});
    }
    for (std::size_t i = 0; i < second.minutiae.size(); ++i) {
        if (pairedSecond[i])
            continue;
        Minutia m = second.minutiae[i];
        // Not a structured binding: C++17 lets no lambda capture one.
        const std::pair<float, float> placed = placement.apply(m.x, m.y);
        const float x = placed.first;
        const float y = placed.second;
        const bool taken = std::any_of(entries.begin(), entries.end(), [&](const Entry &e) {
            return std::hypot(e.minutia.x - x, e.minutia.y - y) < kSamePlace;
        });
        // A press laid far off the first keeps only what a template can hold.
        if (taken || !withinReach(int(std::lround(x)), int(std::lround(y))))
            continue;
        m.x = std::int16_t(std::lround(x));
        m.y = std::int16_t(std::lround(y));
        m.angle = turn(m.angle, placement.angle);
        entries.push_back({m, false});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.seenTwice != b.seenTwice ? a.seenTwice : a.minutia.quality > b.minutia.quality;
    });
    Template merged;
    merged.merged = true;
    merged.ridges = mergeRidges(first, second, placement);
    const int room = merged.ridges.empty() ? kMaxTemplateMinutiae : kMaxRidgedMinutiae;
    if (entries.size() > std::size_t(room))
        entries.resize(std::size_t(room));
    for (const Entry &e : entries)
        merged.minutiae.push_back(e.minutia);
    return merged;
}

} // namespace vyrsim
