// The extraction pipeline and the quality gate.

#include "extractor.h"

#include "angles.h"
#include "enhance.h"
#include "qualitygate.h"
#include "ridgecells.h"
#include "ridgeperiod.h"
#include "segmentation.h"
#include "skeleton.h"

#include <algorithm>
#include <cmath>

namespace vyrsim {

namespace {

constexpr float kUsableQuality = 0.3f;
constexpr float kReliableQuality = 0.3f;
constexpr int kMinBlob = 16; // pixels: smaller ridge specks and valley pores go

Minutia toMinutia(const MinutiaCandidate &c)
{
    Minutia m;
    m.x = std::int16_t(c.x);
    m.y = std::int16_t(c.y);
    m.angle = std::uint8_t(int(std::lround(c.angle / (2 * kPi) * 256)) & 0xff);
    m.type = c.type;
    m.quality = std::uint8_t(std::clamp(int(std::lround(c.quality * 100)), 0, 100));
    return m;
}

} // namespace

Extraction extractFeatures(const GreyImage &image, ExtractionTrace *trace)
{
    Extraction result;
    const BlockStats stats = blockStats(image);
    const Grid<std::uint8_t> mask = segmentPrint(stats);
    const Grid<float> quality = blockQuality(stats, mask);
    // The grey frame's own gradients turn where pores, dry breaks and smudges
    // cross the ridges. The ridges filtered along that first field run
    // cleaner: the field is taken again from them, and the frame filtered
    // once more along it.
    const OrientationField rough = smoothOrientation(stats, mask);
    const Grid<float> period = ridgePeriod(image, rough, mask);
    const OrientationField field
        = smoothOrientation(blockStats(enhanceRidges(image, rough, period, mask)), mask);
    Grid<float> enhanced = enhanceRidges(image, field, period, mask);
    Grid<std::uint8_t> ridges = binarize(enhanced, kMinBlob);
    Grid<std::uint8_t> skeleton = thin(ridges);
    std::vector<MinutiaCandidate> candidates = detectMinutiae(skeleton, field, mask);
    const Grid<std::uint8_t> inner = erodeMask(mask, 2, 1);
    std::vector<MinutiaCandidate> minutiae
        = filterMinutiae(candidates, {skeleton, period, quality, inner});

    const int blocks = int(mask.cells.size());
    int print = 0;
    int usable = 0;
    for (std::size_t i = 0; i < mask.cells.size(); ++i) {
        print += mask.cells[i];
        usable += mask.cells[i] && quality.cells[i] >= kUsableQuality;
    }

    std::stable_sort(
        minutiae.begin(), minutiae.end(),
        [](const MinutiaCandidate &a, const MinutiaCandidate &b) { return a.quality > b.quality; });
    if (int(minutiae.size()) > kMaxPressMinutiae)
        minutiae.resize(kMaxPressMinutiae);
    for (const MinutiaCandidate &m : minutiae) {
        result.feature.minutiae.push_back(toMinutia(m));
        result.reliableMinutiae += m.quality >= kReliableQuality;
    }
    result.feature.ridges = ridgeCells(field, mask, quality);
    const GateVerdict verdict = judgeFrame(blocks, print, usable, result.reliableMinutiae);
    result.printPercent = verdict.printPercent;
    result.usablePercent = verdict.usablePercent;
    result.accepted = verdict.accepted;

    if (trace) {
        trace->mask = mask;
        trace->quality = quality;
        trace->orientation = field;
        trace->period = period;
        trace->enhanced = std::move(enhanced);
        trace->ridges = std::move(ridges);
        trace->skeleton = std::move(skeleton);
        trace->candidates = std::move(candidates);
        trace->minutiae = std::move(minutiae);
    }
    return result;
}

} // namespace vyrsim
