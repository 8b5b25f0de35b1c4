#include "matcher.h"

#include <algorithm>
#include <cmath>

namespace vyrsim {

namespace {

constexpr float kTwoPi = 6.28318531f;
constexpr float kPi = 3.14159265f;

// How far two edges may differ and still be the same edge of one finger.
constexpr float kLengthSlack = 3.0f; // pixels
constexpr float kLengthRatio = 0.07f; // of the length: skin stretches
constexpr float kAngleSlack = 0.35f; // radians, about 20 degrees

// The probe's edges are binned by length, and by their two angles.
constexpr float kLengthBin = 6.0f;
constexpr int kLengthBins = 28;
constexpr int kAngleBins = 16;
constexpr int kBins = kLengthBins * kAngleBins * kAngleBins;

constexpr int kRoots = 4; // root pairs a candidate's pairing may grow from
constexpr int kMinVotes = 2; // root pairs a candidate's pairing may grow from

float lengthSlack(float length)
{
    return kLengthSlack + kLengthRatio * length;
}

float angleDifference(float a, float b)
{
    const float d = std::fabs(a - b);
    return d > kPi ? kTwoPi - d : d;
}

int lengthBin(float length)
{
    return std::min(int(length / kLengthBin), kLengthBins - 1);
}

int angleBin(float angle)
{
    return std::min(int(angle / kTwoPi * kAngleBins), kAngleBins - 1);
}

int binOf(int l, int a, int b)
{
    return (l * kAngleBins + (a + kAngleBins) % kAngleBins) * kAngleBins
        + (b + kAngleBins) % kAngleBins;
}

// 0 for identical edges, up to 3 at the edge of every tolerance, or a
// negative number when they differ too much.
float edgeError(const Edge &a, const Edge &b)
{
    const float dl = std::fabs(a.length - b.length) / lengthSlack(std::max(a.length, b.length));
    if (dl > 1)
        return -1;
    const float da = angleDifference(a.fromAngle, b.fromAngle) / kAngleSlack;
    if (da > 1)
        return -1;
    const float db = angleDifference(a.toAngle, b.toAngle) / kAngleSlack;
    if (db > 1)
        return -1;
    return dl + da + db;
}

} // namespace

Matcher::Matcher(const Template &probe)
    : m_probe(EdgeTable::build(probe))
{
    // Each probe edge goes into every bin its tolerance reaches, so that a
    // candidate edge needs to look into its own bin only.
    std::vector<std::vector<std::uint16_t>> bins(kBins);
    for (std::size_t e = 0; e < m_probe.edges.size(); ++e) {
        const Edge &edge = m_probe.edges[e];
        const float slack = lengthSlack(edge.length);
        const int l0 = lengthBin(std::max(0.0f, edge.length - slack));
        const int l1 = lengthBin(edge.length + slack);
        const float angleStep = kTwoPi / kAngleBins;
        const int a0 = int(std::floor((edge.fromAngle - kAngleSlack) / angleStep));
        const int a1 = int(std::floor((edge.fromAngle + kAngleSlack) / angleStep));
        const int b0 = int(std::floor((edge.toAngle - kAngleSlack) / angleStep));
        const int b1 = int(std::floor((edge.toAngle + kAngleSlack) / angleStep));
        for (int l = l0; l <= l1; ++l)
            for (int a = a0; a <= a1; ++a)
                for (int b = b0; b <= b1; ++b)
                    bins[std::size_t(binOf(l, a, b))].push_back(std::uint16_t(e));
    }
    m_binStart.reserve(kBins + 1);
    for (const auto &bin : bins) {
        m_binStart.push_back(std::uint16_t(m_binEdges.size()));
        m_binEdges.insert(m_binEdges.end(), bin.begin(), bin.end());
    }
    m_binStart.push_back(std::uint16_t(m_binEdges.size()));
}

void Matcher::vote(const EdgeTable &candidate)
{
    const std::size_t nc = candidate.minutiae.size();
    m_votes.assign(m_probe.minutiae.size() * nc, 0);
    for (const Edge &c : candidate.edges) {
        const int bin = binOf(lengthBin(c.length), angleBin(c.fromAngle), angleBin(c.toAngle));
        for (int i = m_binStart[std::size_t(bin)]; i < m_binStart[std::size_t(bin) + 1]; ++i) {
            const Edge &p = m_probe.edges[m_binEdges[std::size_t(i)]];
            if (edgeError(p, c) < 0)
                continue;
            std::uint8_t &v = m_votes[std::size_t(p.from) * nc + c.from];
            v = std::uint8_t(std::min(255, v + 1));
        }
    }
    // The roots: the most voted pairs.
    m_roots.clear();
    for (std::size_t i = 0; i < m_votes.size(); ++i)
        if (m_votes[i] >= kMinVotes)
            m_roots.push_back(int(i));
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
    for (int i = m_probe.firstEdge[std::size_t(probe)];
         i < m_probe.firstEdge[std::size_t(probe) + 1]; ++i) {
        const Edge &p = m_probe.edges[std::size_t(i)];
        for (int j = candidate.firstEdge[std::size_t(cand)];
             j < candidate.firstEdge[std::size_t(cand) + 1]; ++j) {
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

void Matcher::measure(const EdgeTable &candidate, MatchResult &r) const
{
    // Least-squares rigid placement of the probe's paired minutiae onto the candidate's.
    double spx = 0, spy = 0, scx = 0, scy = 0;
    const double n = double(r.pairing.size());
    for (auto [p, c] : r.pairing) {
        spx += m_probe.minutiae[std::size_t(p)].x;
        spy += m_probe.minutiae[std::size_t(p)].y;
        scx += candidate.minutiae[std::size_t(c)].x;
        scy += candidate.minutiae[std::size_t(c)].y;
        r.typeAgree
            += m_probe.minutiae[std::size_t(p)].type == candidate.minutiae[std::size_t(c)].type;
    }
    spx /= n;
    spy /= n;
    scx /= n;
    scy /= n;
    double sxx = 0, sxy = 0;
    for (auto [p, c] : r.pairing) {
        const double ax = m_probe.minutiae[std::size_t(p)].x - spx;
        const double ay = m_probe.minutiae[std::size_t(p)].y - spy;
        const double bx = candidate.minutiae[std::size_t(c)].x - scx;
        const double by = candidate.minutiae[std::size_t(c)].y - scy;
        sxx += ax * bx + ay * by;
        sxy += ax * by - ay * bx;
    }
    const double angle = std::atan2(sxy, sxx);
    const double cs = std::cos(angle), sn = std::sin(angle);
    auto place = [&](const MatchMinutia &m) {
        const double ax = m.x - spx, ay = m.y - spy;
        return std::pair<double, double>(cs * ax - sn * ay + scx, sn * ax + cs * ay + scy);
    };
    double sq = 0;
    for (auto [p, c] : r.pairing) {
        const auto [x, y] = place(m_probe.minutiae[std::size_t(p)]);
        const double d2 = (x - candidate.minutiae[std::size_t(c)].x)
                * (x - candidate.minutiae[std::size_t(c)].x)
            + (y - candidate.minutiae[std::size_t(c)].y)
                * (y - candidate.minutiae[std::size_t(c)].y);
        sq += d2;
        r.consistent += d2 < 12 * 12;
    }
    r.residual = float(std::sqrt(sq / n));
    for (const MatchMinutia &m : m_probe.minutiae) {
        const auto [x, y] = place(m);
        for (const MatchMinutia &c : candidate.minutiae)
            if ((x - c.x) * (x - c.x) + (y - c.y) * (y - c.y) < 25 * 25) {
                ++r.probeOverlap;
                break;
            }
    }
    for (const MatchMinutia &c : candidate.minutiae) {
        for (const MatchMinutia &m : m_probe.minutiae) {
            const auto [x, y] = place(m);
            if ((x - c.x) * (x - c.x) + (y - c.y) * (y - c.y) < 25 * 25) {
                ++r.candidateOverlap;
                break;
            }
        }
    }
}

MatchResult Matcher::match(const EdgeTable &candidate)
{
    MatchResult best;
    if (m_probe.minutiae.empty() || candidate.minutiae.empty())
        return best;
    vote(candidate);
    const std::size_t nc = candidate.minutiae.size();
    for (int root : m_roots) {
        MatchResult r = grow(candidate, int(std::size_t(root) / nc), int(std::size_t(root) % nc));
        r.score = r.pairs < 3 ? 0 : 6 * r.pairs + r.support;
        if (r.score > best.score) {
            best = std::move(r);
        }
    }
    if (best.pairs >= 3)
        measure(candidate, best);
    return best;
}

} // namespace vyrsim
