#ifndef QUALITYGATE_H
#define QUALITYGATE_H

// The quality gate's decision on counts alone, apart from the extraction
// that finds them, so that its bounds can be checked on plain numbers.

#include "vyrsim_codes.h"

#include <algorithm>

namespace vyrsim {

struct GateVerdict
{
    int printPercent = 0; // share of the frame covered by print
    int usablePercent = 0; // share of the frame covered by print of usable quality
    bool accepted = false;
};

// A frame of `blocks` blocks, `print` of them print and `usable` of those of
// usable quality, with `reliableMinutiae` found on it. Both shares are of the
// whole frame: a thin ring of good print around a blank centre is too little
// to match on, however good the ring.
inline GateVerdict judgeFrame(int blocks, int print, int usable, int reliableMinutiae)
{
    GateVerdict verdict;
    verdict.printPercent = 100 * print / std::max(blocks, 1);
    verdict.usablePercent = 100 * usable / std::max(blocks, 1);
    verdict.accepted = verdict.printPercent >= VYRSIM_GATE_MIN_PRINT_PERCENT
        && verdict.usablePercent >= VYRSIM_GATE_MIN_USABLE_PERCENT
        && reliableMinutiae >= VYRSIM_GATE_MIN_MINUTIAE;
    return verdict;
}

} // namespace vyrsim

#endif // QUALITYGATE_H
