// Segmentation of the print from the background, and block quality.

#include "segmentation.h"

#include <algorithm>
#include <vector>

namespace vyrsim {

namespace {

constexpr float kMinContrast = 8.0f; // grey levels of standard deviation
constexpr float kNoiseContrast = 4.0f; // a bare sensor's grain stays below it
constexpr float kPrintShare = 0.25f; // of the contrast of the frame's clearest tenth
constexpr float kMinCoherence = 0.15f; // below it, grey blots and grain, not ridges
constexpr float kFullContrast = 32.0f; // enough for full marks on any print
constexpr float kTypicalShare = 0.75f; // of the print's median contrast, for full marks
constexpr float kPoorShare = 0.25f; // of it, for none

float ramp(float from, float to, float x)
{
    return std::clamp((x - from) / (to - from), 0.0f, 1.0f);
}

// Labels the 4-connected regions of blocks equal to `value`; returns the
// label grid (-1 elsewhere) and the size of each label.
Grid<int> regions(const Grid<std::uint8_t> &mask, std::uint8_t value, std::vector<int> &sizes)
{
    Grid<int> label(mask.cols, mask.rows, -1);
    std::vector<std::pair<int, int>> stack;
    for (int r = 0; r < mask.rows; ++r) {
        for (int c = 0; c < mask.cols; ++c) {
            if (mask.at(c, r) != value || label.at(c, r) >= 0)
                continue;
            const int id = int(sizes.size());
            sizes.push_back(0);
            stack.push_back({c, r});
            label.at(c, r) = id;
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                stack.pop_back();
                ++sizes.back();
                const int dx[4] = {1, -1, 0, 0};
                const int dy[4] = {0, 0, 1, -1};
                for (int k = 0; k < 4; ++k) {
                    const int nx = x + dx[k];
                    const int ny = y + dy[k];
                    if (mask.contains(nx, ny) && mask.at(nx, ny) == value && label.at(nx, ny) < 0) {
                        label.at(nx, ny) = id;
                        stack.push_back({nx, ny});
                    }
                }
            }
        }
    }
    return label;
}

} // namespace

Grid<float> blockQuality(const BlockStats &stats, const Grid<std::uint8_t> &mask)
{
    // Contrast counts against the print's own: a faint or wet print from a
    // sensor with little swing is not worse where it is as clear as it gets.
    // The typical contrast is the median over the print: full marks from
    // three quarters of it, none below a quarter, both within bounds set by
    // a bare sensor's grain and by what is clear on any sensor.
    std::vector<float> contrasts;
    for (std::size_t i = 0; i < mask.cells.size(); ++i)
        if (mask.cells[i])
            contrasts.push_back(stats.contrast.cells[i]);
    float none = kMinContrast;
    float full = kFullContrast;
    if (!contrasts.empty()) {
        std::nth_element(contrasts.begin(), contrasts.begin() + long(contrasts.size() / 2),
                         contrasts.end());
        const float typical = contrasts[contrasts.size() / 2];
        none = std::clamp(kPoorShare * typical, kNoiseContrast, kMinContrast);
        full = std::clamp(kTypicalShare * typical, 2 * none, kFullContrast);
    }
    Grid<float> quality(stats.contrast.cols, stats.contrast.rows);
    for (std::size_t i = 0; i < quality.cells.size(); ++i)
        quality.cells[i] = ramp(none, full, stats.contrast.cells[i])
            * ramp(0.05f, 0.3f, stats.coherence.cells[i]);
    return quality;
}

Grid<std::uint8_t> segmentPrint(const BlockStats &stats)
{
    const int cols = stats.contrast.cols;
    const int rows = stats.contrast.rows;
    // Print is what swings well above the frame's flattest parts. A faint
    // print (light ridges on a light sensor) swings less than a dark one, so
    // the bar follows the frame's most contrasted blocks down to a floor
    // above a bare sensor's grain; but never closer than twice to the
    // flattest blocks, which on a frame the print fills are print too.
    // Swing alone is not print: a sensor's blots and sweat swing as well,
    // but only ridges run one way.
    std::vector<float> contrasts(stats.contrast.cells);
    float bar = kMinContrast;
    if (!contrasts.empty()) {
        const auto top = contrasts.begin() + long(contrasts.size() * 9 / 10);
        std::nth_element(contrasts.begin(), top, contrasts.end());
        const float clearest = *top;
        const auto flat = contrasts.begin() + long(contrasts.size() / 10);
        std::nth_element(contrasts.begin(), flat, top);
        bar = std::clamp(std::max(kPrintShare * clearest, 2 * *flat), kNoiseContrast, kMinContrast);
    }
    Grid<std::uint8_t> mask(cols, rows);
    for (std::size_t i = 0; i < mask.cells.size(); ++i)
        mask.cells[i] = stats.contrast.cells[i] >= bar && stats.coherence.cells[i] >= kMinCoherence;

    // Two rounds of a 3 x 3 majority vote remove specks and nicks.
    for (int round = 0; round < 2; ++round) {
        Grid<std::uint8_t> voted(cols, rows);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                int on = 0;
                int all = 0;
                for (int dr = -1; dr <= 1; ++dr)
                    for (int dc = -1; dc <= 1; ++dc)
                        if (mask.contains(c + dc, r + dr)) {
                            on += mask.at(c + dc, r + dr);
                            ++all;
                        }
                voted.at(c, r) = 2 * on > all;
            }
        }
        mask = std::move(voted);
    }

    // The largest piece of print is the finger.
    std::vector<int> sizes;
    const Grid<int> print = regions(mask, 1, sizes);
    const int largest
        = sizes.empty() ? -1 : int(std::max_element(sizes.begin(), sizes.end()) - sizes.begin());
    for (std::size_t i = 0; i < mask.cells.size(); ++i)
        mask.cells[i] = print.cells[i] == largest;

    // Background that does not reach the frame edge is a hole in the print.
    sizes.clear();
    const Grid<int> background = regions(mask, 0, sizes);
    std::vector<bool> open(sizes.size(), false);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if ((r == 0 || c == 0 || r == rows - 1 || c == cols - 1) && background.at(c, r) >= 0)
                open[std::size_t(background.at(c, r))] = true;
    for (std::size_t i = 0; i < mask.cells.size(); ++i)
        if (background.cells[i] >= 0 && !open[std::size_t(background.cells[i])])
            mask.cells[i] = 1;
    return mask;
}

Grid<std::uint8_t> erodeMask(const Grid<std::uint8_t> &mask, int depth, int frameDepth)
{
    Grid<std::uint8_t> inner(mask.cols, mask.rows);
    for (int r = 0; r < mask.rows; ++r) {
        for (int c = 0; c < mask.cols; ++c) {
            bool inside = c >= frameDepth && r >= frameDepth && c < mask.cols - frameDepth
                && r < mask.rows - frameDepth;
            for (int dr = -depth; dr <= depth && inside; ++dr)
                for (int dc = -depth; dc <= depth && inside; ++dc)
                    inside = !mask.contains(c + dc, r + dr) || mask.at(c + dc, r + dr);
            inner.at(c, r) = inside;
        }
    }
    return inner;
}

} // namespace vyrsim
