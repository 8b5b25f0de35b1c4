#ifndef EXTRACTOR_H
#define EXTRACTOR_H

// The feature extractor: from a grey frame to the minutiae of the print on
// it, and the quality gate that refuses a frame with too little print.
//
// The stages, each in a file of its own:
//   orientation   block statistics, gradients, the smoothed orientation field
//   segmentation  print or background per block, block quality
//   ridgeperiod   distance between ridges per block
//   enhance       oriented filtering along and across the ridges, twice: the
//                 second time along a field taken from the first's ridges
//   skeleton      binarisation, speck removal, thinning
//   minutiae      endings and forks, their directions, false-minutia filters

#include "minutiae.h"
#include "template.h"

#include <optional>

namespace vyrsim {

// A single press keeps at most this many minutiae, the most reliable ones:
// as many as fit beside the ridges' cells.
constexpr int kMaxPressMinutiae = kMaxRidgedMinutiae;

// Every intermediate picture of one extraction, for looking at how the
// module saw a frame. Filled only when asked for.
struct ExtractionTrace
{
    Grid<std::uint8_t> mask;
    Grid<float> quality;
    OrientationField orientation;
    Grid<float> period;
    Grid<float> enhanced;
    Grid<std::uint8_t> ridges;
    Grid<std::uint8_t> skeleton;
    std::vector<MinutiaCandidate> candidates; // before the filters
    std::vector<MinutiaCandidate> minutiae; // after them
};

struct Extraction
{
    Template feature;
    int printPercent = 0; // share of the frame covered by print
    int usablePercent = 0; // share covered by print of usable quality
    int reliableMinutiae = 0;
    bool accepted = false; // passed the quality gate
};

Extraction extractFeatures(const GreyImage &image, ExtractionTrace *trace = nullptr);

} // namespace vyrsim

#endif // EXTRACTOR_H
