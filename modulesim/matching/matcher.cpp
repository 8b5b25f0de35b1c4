#include "matcher.h"

#include "angles.h"

#include <algorithm>
#include <cmath>

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
constexpr int kBins = kLengthBins * kAngleBins * kAngleBins;

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

int binOf(int l, int a, int b)
{
    return (l * kAngleBins + (a + kAngleBins) % kAngleBins) * kAngleBins
        + (b + kAngleBins) % kAngleBins;
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

// Every pair of minutiae counts, and every further edge that confirms the
// pairing counts double: chance pairings of different fingers grow as thin
// trees with few confirming edges, true ones as a dense mesh. Chance finds
// more where both sides offer more minutiae, so the evidence is weighed
// against the fourth root of the product of their counts. The scale puts
// VYRSIM_MATCH_THRESHOLD where at most 1 in 10,000 pairs of different real
// fingers reaches it, and above every pair of different synthetic fingers
// (vyrsim.h says what a score means).
constexpr float kScoreScale = 6.5f;

int scoreOf(const MatchResult &r, std::size_t probeMinutiae, std::size_t candidateMinutiae)
{
    if (r.pairs < 3)
        return 0;
    const float offered = std::sqrt(std::sqrt(float(probeMinutiae) * float(candidateMinutiae)));
    return int(std::lround(kScoreScale * float(2 * r.support + r.pairs) / offered));
}

} // namespace

Matcher::Matcher(const Template &probe)
    : m_probe(EdgeTable::build(probe))
{
    // Each probe edge goes into every bin its tolerance reaches, so that a
    // candidate edge needs to look into its own bin only. A bin is a chain
    // through m_entries, newest first.
    const float angleStep = kTwoPi / kAngleBins;
    m_binHead.assign(kBins, kChainEnd);
    m_entries.clear();
    m_entries.reserve(m_probe.edges.size() * 36);
    for (std::size_t e = 0; e < m_probe.edges.size(); ++e) {
        const Edge &edge = m_probe.edges[e];
        const float slack = lengthSlack(edge.length);
        const int l0 = lengthBin(std::max(0.0f, edge.length - slack));
        const int l1 = lengthBin(edge.length + slack);
        const int a0 = int(std::floor((edge.fromAngle - kAngleSlack) / angleStep));
        const int a1 = int(std::floor((edge.fromAngle + kAngleSlack) / angleStep));
        const int b0 = int(std::floor((edge.toAngle - kAngleSlack) / angleStep));
        const int b1 = int(std::floor((edge.toAngle + kAngleSlack) / angleStep));
        // The wrapped angle bins once per edge, not once per bin.
        int bins[3];
        int bs = 0;
        for (int b = b0; b <= b1 && bs < 3; ++b)
            bins[bs++] = (b + kAngleBins) % kAngleBins;
        for (int l = l0; l <= l1; ++l) {
            for (int a = a0; a <= a1; ++a) {
                const int row = (l * kAngleBins + (a + kAngleBins) % kAngleBins) * kAngleBins;
                for (int k = 0; k < bs; ++k) {
                    std::uint16_t &head = m_binHead[std::size_t(row + bins[k])];
                    m_entries.push_back({std::uint16_t(e), head});
                    head = std::uint16_t(m_entries.size() - 1);
                }
            }
        }
    }
}

void Matcher::vote(const EdgeTable &candidate)
{
    const std::size_t nc = candidate.minutiae.size();
    m_votes.assign(m_probe.minutiae.size() * nc, 0);
    // A pair becomes a candidate root the moment it gathers enough votes:
    // no pass over every pair of minutiae afterwards.
    m_roots.clear();
    for (const Edge &c : candidate.edges) {
        const int bin = binOf(lengthBin(c.length), angleBin(c.fromAngle), angleBin(c.toAngle));
        for (std::uint16_t i = m_binHead[std::size_t(bin)]; i != kChainEnd; i = m_entries[i].next) {
            const Edge &p = m_probe.edges[m_entries[i].edge];
            if (edgeError(p, c) < 0)
                continue;
            const std::size_t pair = std::size_t(p.from) * nc + c.from;
            std::uint8_t &v = m_votes[pair];
            v = std::uint8_t(std::min(255, v + 1));
            if (v == kMinVotes)
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

MatchResult Matcher::grow(const EdgeTable &candidate, int probeRoot, int candidateRoot)
{
    m_probePaired.assign(m_probe.minutiae.size(), -1);
    m_candidatePaired.assign(candidate.minutiae.size(), -1);
    m_queue.clear();
    MatchResult result;
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
    return result;
}

MatchResult Matcher::match(const EdgeTable &candidate)
{
    MatchResult best;
    if (m_probe.minutiae.empty() || candidate.minutiae.empty())
        return best;
    vote(candidate);
    const std::size_t nc = candidate.minutiae.size();
    for (int root : m_roots) {
        const int p = int(std::size_t(root) / nc);
        const int c = int(std::size_t(root) % nc);
        // A root the best pairing already holds would grow into the same pairing.
        if (std::find(best.pairing.begin(), best.pairing.end(), std::pair<int, int>(p, c))
            != best.pairing.end())
            continue;
        MatchResult r = grow(candidate, p, c);
        r.score = scoreOf(r, m_probe.minutiae.size(), nc);
        if (r.score > best.score)
            best = std::move(r);
    }
    return best;
}

} // namespace vyrsim
