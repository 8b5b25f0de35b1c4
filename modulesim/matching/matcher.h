#ifndef MATCHER_H
#define MATCHER_H

// Compares a probe template with candidates, many times over.
//
// Matching neither knows nor cares where on the sensor or at what angle the
// finger lay: it compares edges between neighbouring minutiae, which keep
// their length and their angles to their minutiae however the finger
// lands. Edges of the probe that look alike to an edge of the candidate
// vote for root pairs of minutiae; from the best roots a pairing grows
// edge by edge to neighbours whose edges agree in both templates, each
// step checked only locally, so that skin stretched across the print does
// not break it. The score grows with the pairs found and the edges that
// confirm them.

#include "edgetable.h"

#include <utility>
#include <vector>

namespace vyrsim {

struct MatchResult
{
    int score = 0;
    int pairs = 0; // minutiae paired
    int support = 0; // further edges between paired minutiae that agree
    std::vector<std::pair<int, int>> pairing; // (probe, candidate) minutia indices
};

class Matcher
{
public:
    explicit Matcher(const Template &probe);

    // Not thread-safe: it keeps scratch space from one candidate to the next.
    MatchResult match(const EdgeTable &candidate);
    int score(const EdgeTable &candidate) { return match(candidate).score; }

private:
    void vote(const EdgeTable &candidate);
    MatchResult grow(const EdgeTable &candidate, int probeRoot, int candidateRoot);
    void pushEdges(const EdgeTable &candidate, int probe, int cand);

    EdgeTable m_probe;
    // The probe's edges by bin: each bin's chain starts at its head. At most
    // 80 minutiae x 8 edges x 64 bins an edge: the chains fit 16 bits.
    static constexpr std::uint16_t kChainEnd = 0xffff;
    struct BinEntry
    {
        std::uint16_t edge;
        std::uint16_t next;
    };
    std::vector<std::uint16_t> m_binHead;
    std::vector<BinEntry> m_entries;

    // Scratch
    std::vector<std::uint8_t> m_votes;
    std::vector<int> m_roots;
    std::vector<int> m_probePaired;
    std::vector<int> m_candidatePaired;
    struct Step
    {
        float error;
        std::uint16_t probeEdge;
        std::uint16_t candidateEdge;
        bool operator<(const Step &other) const { return error > other.error; }
    };
    std::vector<Step> m_queue;
};

} // namespace vyrsim

#endif // MATCHER_H
