#include "matcher.h"

#include "angles.h"
#include "placement.h"
#include "ridgeagreement.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace vyrsim {

namespace {

// How far two edges may differ and still be the same edge of one finger.
constexpr float kLengthSlack = 3.0f; // pixels
constexpr float kLengthRatio = 0.07f; // of the length: skin stretches
constexpr float kAngleSlack = 0.25f; // radians, about 15 degrees

// The probe's edges are binned by length, and by their two angles.
constexpr float kLengthBin = 4.0f;
constexpr int kLengthBins = 40;
constexpr int kAngleBins = 24;

// How close a minutia left over must land to one of the candidate's, once
// the grown pairs have placed the probe, to be paired: about a ridge period,
// beyond which it would lie on the next ridge, and an angle that keeps
// apart the two directions a ridge's minutiae point in.
constexpr float kAlignRadius = 10.0f; // pixels
constexpr float kAlignAngle = 0.5f; // radians, about 30 degrees
constexpr float kBentReach = 20.0f; // pixels: farther off, a grown pair places nothing

constexpr int kRoots = 4; // root pairs a candidate's pairing may grow from
constexpr int kMinVotes = 2; // edges that must agree before a pair is a root

float lengthSlack(float length)
{
    return kLengthSlack + kLengthRatio * length;
}

int lengthBin(float length)
{
    return std::min(int(length * (1 / kLengthBin)), kLengthBins - 1);
}

int angleBin(float angle)
{
    return std::min(int(angle * (kAngleBins / kTwoPi)), kAngleBins - 1);
}

std::size_t cellOf(int lengthGroup, int fromBin, int toBin)
{
    return std::size_t((lengthGroup * kAngleBins + fromBin) * kAngleBins + toBin);
}

// 0 for identical edges, up to 3 at the edge of every tolerance, or a
// negative number when they differ too much. Most pairs differ too much:
// the three tests are made together, so that the processor has one branch
// to guess instead of three.
float edgeError(const Edge &a, const Edge &b)
{
    constexpr float kInverseAngleSlack = 1 / kAngleSlack;
    const float slack = lengthSlack(std::max(a.length, b.length));
    const float dl = std::fabs(a.length - b.length);
    const float da = angleDifference(a.fromAngle, b.fromAngle);
    const float db = angleDifference(a.toAngle, b.toAngle);
    if (!((dl <= slack) & (da <= kAngleSlack) & (db <= kAngleSlack)))
        return -1;
    return dl / slack + (da + db) * kInverseAngleSlack;
}

bool edgesAgree(const Edge &a, const Edge &b)
{
    const float slack = lengthSlack(std::max(a.length, b.length));
    return (std::fabs(a.length - b.length) <= slack)
        & (angleDifference(a.fromAngle, b.fromAngle) <= kAngleSlack)
        & (angleDifference(a.toAngle, b.toAngle) <= kAngleSlack);
}

// Every pair of minutiae counts, and every further edge that confirms the
// pairing counts double: chance pairings of different fingers grow as thin
// trees with few confirming edges, true ones as a dense mesh. A minutia
// paired by placement alone counts double too: of a different finger, few
// land where the placement puts them. Chance finds more where both sides
// offer more minutiae, so the evidence is weighed against the geometric
// mean of what they offer. A minutia counts there by its reliability: one
// in poor print is found again less often in another press of the finger,
// and counted in full it would turn the finger of a poor press away.
//
// Where both templates keep their ridge cells, the evidence is also
// weighed by how alike the ridges run once the pairing has laid one press
// on the other: a chance pairing of different fingers lays their ridges
// across each other in places, even of fingers of one pattern, where a true
// one lays them alike all over. Below an agreement of kRidgeFloor it counts
// for nothing; from there it weighs as the square of the way to 1.
//
// Each scale puts VYRSIM_MATCH_THRESHOLD where at most 1 in 10,000 pairs of
// different fingers reaches it, real ones and synthetic ones alike
// (vyrsim.h says what a score means). Whole presses would allow a higher
// scale with the ridges; it is held lower, so that presses showing only
// part of a finger let few impostors through too.
constexpr float kScoreScale = 35.0f; // minutiae alone
constexpr float kRidgedScale = 87.0f; // minutiae and ridges
constexpr float kRidgeFloor = 0.4f;

float ridgeWeight(float agreement)
{
    const float w = std::clamp((agreement - kRidgeFloor) / (1 - kRidgeFloor), 0.0f, 1.0f);
    return w * w;
}

// `aligned` stands for the pairs placement finds, or, before placement, for
// the most it could find; `offered` is the geometric mean of what both
// sides offer.
int scoreOf(const MatchResult &r, int aligned, float offered, float scale)
{
    if (r.pairs < 3)
        return 0;
    const int evidence = 2 * r.support + r.pairs + 2 * aligned;
    return int(std::lround(scale * float(evidence) / offered));
}

} // namespace

void Matcher::setProbe(const Template &probe, Candidates candidates)
{
    m_probe.rebuild(probe);
    m_byX.clear();
    for (std::size_t i = 0; i < m_probe.minutiae.size(); ++i)
        m_byX.push_back({m_probe.minutiae[i].x, std::uint16_t(i)});
    std::sort(m_byX.begin(), m_byX.end());
    // Each probe edge goes into every cell its tolerances reach: two or
    // three bins in each angle, and for many candidates some three to eight
    // bins of length too, so that a candidate edge looks into its own cell only.
    // That costs about forty entries an edge, which a search spreads over
    // its candidates; for one candidate, angles only are binned and length
    // bins checked entry by entry. Entries are counted into cells, then laid out.
    m_lengthShift = candidates == Candidates::Many ? 0 : 6; // 2^6 > kLengthBins: one length group
    const float angleStep = kTwoPi / kAngleBins;
    const int groups = ((kLengthBins - 1) >> m_lengthShift) + 1;
    m_lengthReach.clear();
    std::size_t most = 0;
    for (const Edge &edge : m_probe.edges) {
        const float slack = lengthSlack(edge.length);
        const int shortest = lengthBin(std::max(0.0f, edge.length - slack));
        const int longest = lengthBin(edge.length + slack);
        m_lengthReach.push_back({std::uint8_t(shortest), std::uint8_t(longest)});
        most += 9 * std::size_t((longest >> m_lengthShift) - (shortest >> m_lengthShift) + 1);
    }
    // Edges are placed shortest first, so that a cell's entries run from the
    // shortest up and a candidate edge stops at the first too long for it.
    m_byLength.assign(kLengthBins + 1, 0);
    for (const auto &reach : m_lengthReach)
        ++m_byLength[reach.first + 1u];
    for (std::size_t k = 1; k < m_byLength.size(); ++k)
        m_byLength[k] += m_byLength[k - 1];
    m_lengthOrder.resize(m_lengthReach.size());
    for (std::size_t e = 0; e < m_lengthReach.size(); ++e)
        m_lengthOrder[m_byLength[m_lengthReach[e].first]++] = std::uint16_t(e);
    m_placed.resize(most);
    Placed *placed = m_placed.data();
    for (const std::uint16_t e : m_lengthOrder) {
        const Edge &edge = m_probe.edges[e];
        const BinEntry entry {e, m_lengthReach[e].first, m_lengthReach[e].second};
        const int a0 = int(std::floor((edge.fromAngle - kAngleSlack) / angleStep));
        const int a1 = int(std::floor((edge.fromAngle + kAngleSlack) / angleStep));
        const int b0 = int(std::floor((edge.toAngle - kAngleSlack) / angleStep));
        const int b1 = int(std::floor((edge.toAngle + kAngleSlack) / angleStep));
        // Two or three bins in either angle: all nine cells are written and
        // only those reached kept, no branch to guess.
        for (int g = entry.shortest >> m_lengthShift; g <= entry.longest >> m_lengthShift; ++g) {
            for (int a = a0; a < a0 + 3; ++a) {
                for (int b = b0; b < b0 + 3; ++b) {
                    *placed = {std::uint16_t(cellOf(g, (a + kAngleBins) % kAngleBins,
                                                    (b + kAngleBins) % kAngleBins)),
                               entry};
                    placed += (a <= a1) & (b <= b1);
                }
            }
        }
    }
    m_placed.resize(std::size_t(placed - m_placed.data()));
    m_cellStart.assign(std::size_t(groups * kAngleBins * kAngleBins) + 2, 0);
    for (const auto &p : m_placed)
        ++m_cellStart[p.cell + 2u];
    for (std::size_t k = 2; k < m_cellStart.size(); ++k)
        m_cellStart[k] += m_cellStart[k - 1];
    m_entries.resize(m_placed.size());
    for (const auto &p : m_placed)
        m_entries[m_cellStart[p.cell + 1u]++] = p.entry;
    m_cellStart.pop_back();
}

void Matcher::vote(const EdgeTable &candidate)
{
    const std::size_t nc = candidate.minutiae.size();
    m_votes.assign(m_probe.minutiae.size() * nc, 0);
    // A pair becomes a candidate root the moment it gathers enough votes:
    // no pass over every pair of minutiae afterwards.
    m_roots.clear();
    for (const Edge &c : candidate.edges) {
        const int l = lengthBin(c.length);
        const std::size_t cell
            = cellOf(l >> m_lengthShift, angleBin(c.fromAngle), angleBin(c.toAngle));
        for (std::uint32_t k = m_cellStart[cell]; k < m_cellStart[cell + 1]; ++k) {
            // Whether the edges agree is as good as a coin toss: counted
            // without a branch, so that the processor has none to guess.
            const BinEntry &entry = m_entries[k];
            if (entry.shortest > l)
                break;
            const Edge &p = m_probe.edges[entry.edge];
            const bool agree = (l <= entry.longest) & edgesAgree(p, c);
            const std::size_t pair = std::size_t(p.from) * nc + c.from;
            std::uint8_t &v = m_votes[pair];
            v = std::uint8_t(v + (agree & (v < 255)));
            if (agree & (v == kMinVotes))
                m_roots.push_back(int(pair));
        }
    }
    // The roots: the most voted pairs.
    const std::size_t keep = std::min<std::size_t>(kRoots, m_roots.size());
    std::partial_sort(m_roots.begin(), m_roots.begin() + long(keep), m_roots.end(),
                      [&](int a, int b) {
                          return m_votes[std::size_t(a)] > m_votes[std::size_t(b)]
                              || (m_votes[std::size_t(a)] == m_votes[std::size_t(b)] && a < b);
                      });
    m_roots.resize(keep);
}

void Matcher::pushEdges(const EdgeTable &candidate, int probe, int cand)
{
    // Both minutiae's edges run from the nearest neighbour outwards, so the
    // candidate edges of a length near each probe edge's form a window that
    // only moves on.
    const int last = candidate.firstEdge[std::size_t(cand) + 1];
    int from = candidate.firstEdge[std::size_t(cand)];
    for (int i = m_probe.firstEdge[std::size_t(probe)];
         i < m_probe.firstEdge[std::size_t(probe) + 1]; ++i) {
        const Edge &p = m_probe.edges[std::size_t(i)];
        const float shortest = p.length - lengthSlack(p.length);
        const float longest = (p.length + kLengthSlack) / (1 - kLengthRatio);
        while (from < last && candidate.edges[std::size_t(from)].length < shortest)
            ++from;
        for (int j = from; j < last && candidate.edges[std::size_t(j)].length <= longest; ++j) {
            const float error = edgeError(p, candidate.edges[std::size_t(j)]);
            if (error < 0)
                continue;
            m_queue.push_back({error, std::uint16_t(i), std::uint16_t(j)});
            std::push_heap(m_queue.begin(), m_queue.end());
        }
    }
}

void Matcher::grow(const EdgeTable &candidate, int probeRoot, int candidateRoot)
{
    m_probePaired.assign(m_probe.minutiae.size(), -1);
    m_candidatePaired.assign(candidate.minutiae.size(), -1);
    m_queue.clear();
    MatchResult &result = m_grown;
    result.pairing.clear();
    result.support = 0;
    auto pair = [&](int p, int c) {
        m_probePaired[std::size_t(p)] = c;
        m_candidatePaired[std::size_t(c)] = p;
        result.pairing.push_back({p, c});
        pushEdges(candidate, p, c);
    };
    pair(probeRoot, candidateRoot);
    while (!m_queue.empty()) {
        std::pop_heap(m_queue.begin(), m_queue.end());
        const Step step = m_queue.back();
        m_queue.pop_back();
        const int p = m_probe.edges[step.probeEdge].to;
        const int c = candidate.edges[step.candidateEdge].to;
        if (m_probePaired[std::size_t(p)] < 0 && m_candidatePaired[std::size_t(c)] < 0)
            pair(p, c);
        else if (m_probePaired[std::size_t(p)] == c)
            ++result.support;
    }
    result.pairs = int(result.pairing.size());
}

Placement Matcher::place(const EdgeTable &candidate, const MatchResult &result)
{
    // Grown locally, a pairing may bend where the skin stretched: pairs far
    // off the placement of all of them are left out of the one that counts.
    Placement placement = fitPlacement(result.pairing, m_probe.minutiae, candidate.minutiae);
    constexpr float kBentReach2 = kBentReach * kBentReach;
    m_inliers.clear();
    for (const auto &[p, c] : result.pairing) {
        const MatchMinutia &a = m_probe.minutiae[std::size_t(p)];
        const auto [x, y] = placement.apply(candidate.minutiae[std::size_t(c)].x,
                                            candidate.minutiae[std::size_t(c)].y);
        if ((a.x - x) * (a.x - x) + (a.y - y) * (a.y - y) <= kBentReach2)
            m_inliers.push_back({p, c});
    }
    if (m_inliers.size() >= 3)
        placement = fitPlacement(m_inliers, m_probe.minutiae, candidate.minutiae);
    return placement;
}

void Matcher::align(const EdgeTable &candidate, const Placement &placement, MatchResult &result)
{
    result.aligned = 0;
    // The marks of what is paired are the last grown pairing's, which need
    // not be this one.
    m_probePaired.assign(m_probe.minutiae.size(), -1);
    m_candidatePaired.assign(candidate.minutiae.size(), -1);
    for (const auto &[p, c] : result.pairing) {
        m_probePaired[std::size_t(p)] = c;
        m_candidatePaired[std::size_t(c)] = p;
    }
    constexpr float kRadius2 = kAlignRadius * kAlignRadius;
    m_near.clear();
    for (std::size_t j = 0; j < candidate.minutiae.size(); ++j) {
        if (m_candidatePaired[j] >= 0)
            continue;
        const MatchMinutia &c = candidate.minutiae[j];
        const auto [x, y] = placement.apply(c.x, c.y);
        const float angle = wrapAngle(c.angle + placement.angle);
        // Only probe minutiae within reach across need a look: they lie by x.
        auto i = std::lower_bound(m_byX.begin(), m_byX.end(), x - kAlignRadius,
                                  [](const auto &e, float v) { return e.first < v; });
        for (; i != m_byX.end() && i->first <= x + kAlignRadius; ++i) {
            const MatchMinutia &p = m_probe.minutiae[i->second];
            const float d2 = (p.x - x) * (p.x - x) + (p.y - y) * (p.y - y);
            if ((d2 <= kRadius2) & (m_probePaired[i->second] < 0)
                & (angleDifference(angle, p.angle) <= kAlignAngle))
                m_near.push_back({d2, i->second, std::uint16_t(j)});
        }
    }
    // The closest first, each minutia paired once; of equally close ones,
    // the lower indices first, so that the pairing never depends on order.
    std::sort(m_near.begin(), m_near.end(), [](const Near &a, const Near &b) {
        return std::tie(a.distance, a.probe, a.candidate)
            < std::tie(b.distance, b.probe, b.candidate);
    });
    for (const Near &near : m_near) {
        if (m_probePaired[near.probe] >= 0 || m_candidatePaired[near.candidate] >= 0)
            continue;
        m_probePaired[near.probe] = near.candidate;
        m_candidatePaired[near.candidate] = near.probe;
        ++result.aligned;
    }
}

const MatchResult &Matcher::best(const EdgeTable &candidate, int floor)
{
    m_best.score = 0;
    m_best.pairs = 0;
    m_best.support = 0;
    m_best.aligned = 0;
    m_best.pairing.clear();
    if (m_probe.minutiae.empty() || candidate.minutiae.empty())
        return m_best;
    vote(candidate);
    const std::size_t np = m_probe.minutiae.size();
    const std::size_t nc = candidate.minutiae.size();
    const bool ridged = !m_probe.ridges.empty() && !candidate.ridges.empty();
    const float offered = std::sqrt(m_probe.offered * candidate.offered);
    // Each root grows a pairing, and each pairing is placed and weighed in
    // full: the one with most minutiae grown need not lay the ridges best.
    // What cannot pass the best so far, or the floor, is given up as soon
    // as that shows: placement pairs at most the minutiae the scarcer side
    // has left, and the ridges weigh at most 1.
    for (int root : m_roots) {
        // A root that an earlier pairing holds would grow into it again.
        if (m_votes[std::size_t(root)] == 0)
            continue;
        grow(candidate, int(std::size_t(root) / nc), int(std::size_t(root) % nc));
        for (const auto &[p, c] : m_grown.pairing)
            m_votes[std::size_t(p) * nc + std::size_t(c)] = 0;
        if (m_grown.pairs < 3)
            continue;
        const int bar = std::max(floor, m_best.score);
        const int most = int(std::min(np, nc)) - m_grown.pairs;
        float scale = ridged ? kRidgedScale : kScoreScale;
        if (scoreOf(m_grown, most, offered, scale) <= bar)
            continue;
        const Placement placement = place(candidate, m_grown);
        if (ridged) {
            scale *= ridgeWeight(ridgeAgreement(m_probe.ridges, candidate.ridges, placement));
            if (scoreOf(m_grown, most, offered, scale) <= bar)
                continue;
        }
        align(candidate, placement, m_grown);
        m_grown.score = scoreOf(m_grown, m_grown.aligned, offered, scale);
        // The best and the latest pairing trade places, so that both keep
        // their storage from one candidate to the next.
        if (m_grown.score > m_best.score)
            std::swap(m_best, m_grown);
    }
    return m_best;
}

} // namespace vyrsim
