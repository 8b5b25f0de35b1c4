#include "search.h"

#include "matcher.h"
#include "plumbing.h"
#include "vyrsim_codes.h"

#include <system_error>

namespace vyrsim {

namespace {

// Below this many templates a second thread costs more than it saves.
constexpr int kSplitFrom = 64;

SearchHit scan(const Template &probe, const Store &store, int first, int end)
{
    Matcher matcher(probe, Matcher::Candidates::Many);
    EdgeTable candidate;
    SearchHit best {-1, VYRSIM_MATCH_THRESHOLD - 1};
    for (int id = first; id < end; ++id) {
        if (!store.occupied(id))
            continue;
        candidate.rebuild(store.at(id));
        const int score = matcher.scoreAbove(candidate, best.score);
        if (score > best.score)
            best = {id, score};
    }
    return best;
}

} // namespace

SearchHit searchStore(const Template &probe, const Store &store, int first, int end)
{
    // A search over a full store is the one call long enough for a person
    // to notice; its two halves go through at once. The store is only read,
    // and the caller holds the module's lock throughout.
    SearchHit best;
    int occupied = 0;
    for (int id = first; id < end; ++id)
        occupied += store.occupied(id);
    const int middle = first + (end - first) / 2;
    SearchHit upper;
    JoinedThread helper; // joined before `upper` goes, should the scan below throw
    if (occupied >= kSplitFrom) {
        try {
            helper.start([&] { upper = scan(probe, store, middle, end); });
        } catch (const std::system_error &) {
            // No thread to be had: one scan does it all.
        }
    }
    if (helper.running()) {
        best = scan(probe, store, first, middle);
        helper.join();
        if (upper.score > best.score)
            best = upper;
    } else {
        best = scan(probe, store, first, end);
    }
    if (best.id < 0)
        best.score = 0;
    return best;
}

} // namespace vyrsim
