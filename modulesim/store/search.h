#ifndef SEARCH_H
#define SEARCH_H

// Searching the store for the template that best matches a probe.

#include "store.h"
#include "template.h"

namespace vyrsim {

struct SearchHit
{
    int id = -1; // -1: no template reached the threshold
    int score = 0;
};

// The best-scoring template among IDs [first, end) that reaches the match
// threshold; of equal scores, the lowest ID.
SearchHit searchStore(const Template &probe, const Store &store, int first, int end);

} // namespace vyrsim

#endif // SEARCH_H
