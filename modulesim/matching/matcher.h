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
// not break it. Where false minutiae cut the chain of edges, growing
// stops early: the shift and turn that lay the grown pairs onto theirs
// then pair the minutiae left over that land close to one of the
// candidate's and point alike. The score grows with the pairs found and
// the edges that confirm them, and with how alike the two presses' ridges
// run once laid on each other. Each of the best roots grows a pairing that
// is placed and weighed so; the highest score counts.

#include "edgetable.h"
#include "placement.h"

#include <utility>
#include <vector>

namespace vyrsim {

struct MatchResult
{
    int score = 0;
    int pairs = 0; // minutiae paired
    int support = 0; // further edges between paired minutiae that agree
    int aligned = 0; // further minutiae paired by the shift and turn alone, not in `pairing`
    std::vector<std::pair<int, int>> pairing; // (probe, candidate) minutia indices
};

class Matcher
{
public:
    // A probe that meets many candidates is made ready at more cost, so
    // that each candidate costs less.
    enum class Candidates { One, Many };

    Matcher() = default;
    Matcher(const Template &probe, Candidates candidates) { setProbe(probe, candidates); }

    void setProbe(const Template &probe, Candidates candidates);

    // Not thread-safe: it keeps scratch space from one candidate to the next.
    MatchResult match(const EdgeTable &candidate) { return best(candidate, -1); }
    int score(const EdgeTable &candidate) { return best(candidate, -1).score; }
    // For a search, which wants only a score above the best so far: the
    // score, or where it cannot pass `floor`, a score no higher than
    // `floor`, reached at less cost.
    int scoreAbove(const EdgeTable &candidate, int floor) { return best(candidate, floor).score; }

private:
    const MatchResult &best(const EdgeTable &candidate, int floor);
    void vote(const EdgeTable &candidate);
    void grow(const EdgeTable &candidate, int probeRoot, int candidateRoot);
    void pushEdges(const EdgeTable &candidate, int probe, int cand);
    Placement place(const EdgeTable &candidate, const MatchResult &result);
    void align(const EdgeTable &candidate, const Placement &placement, MatchResult &result);

    EdgeTable m_probe;
    // The probe's edges by cells of their two angles and, for a search, of
    // their length; each entry also says which length bins it reaches. Cells
    // lie side by side: cell k's entries are [m_cellStart[k], m_cellStart[k + 1]).
    struct BinEntry
    {
        std::uint16_t edge;
        std::uint8_t shortest; // length bins reached
        std::uint8_t longest;
    };
    int m_lengthShift = 0; // a length bin's group: bin >> m_lengthShift
    std::vector<std::uint32_t> m_cellStart;
    std::vector<BinEntry> m_entries;
    struct Placed
    {
        std::uint16_t cell;
        BinEntry entry;
    };
    std::vector<Placed> m_placed; // before they are laid out
    std::vector<std::pair<std::uint8_t, std::uint8_t>> m_lengthReach; // each edge's length bins
    std::vector<std::uint16_t> m_byLength; // counting edges by shortest length bin
    std::vector<std::uint16_t> m_lengthOrder; // edges, shortest first

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
    struct Near
    {
        float distance; // squared
        std::uint16_t probe;
        std::uint16_t candidate;
    };
    std::vector<Near> m_near;
    std::vector<std::pair<float, std::uint16_t>> m_byX; // the probe's minutiae by x
    std::vector<std::pair<int, int>> m_inliers;
    MatchResult m_best;
    MatchResult m_grown;
};

} // namespace vyrsim

#endif // MATCHER_H
