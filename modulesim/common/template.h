#ifndef TEMPLATE_H
#define TEMPLATE_H

// What the module keeps of a finger: its minutiae, and the run of its
// ridges over the press. A feature made from one press and a template
// merged from two presses have the same form; only the merged flag tells
// them apart.

#include <cstdint>
#include <vector>

namespace vyrsim {

enum class MinutiaType : std::uint8_t { Ending = 0, Fork = 1 };

struct Minutia
{
    std::int16_t x = 0; // pixels, in the frame of the press that defines the template
    std::int16_t y = 0;
    // Direction in 256 steps a turn, counter-clockwise from +x with y pointing
    // down the frame. An ending points along its ridge, away from the free
    // end; a fork points along the gap between its two branches, so that an
    // ending and the fork that a harder press makes of it point alike.
    std::uint8_t angle = 0;
    MinutiaType type = MinutiaType::Ending;
    std::uint8_t quality = 0; // reliability, 0 to 100

    friend bool operator==(const Minutia &a, const Minutia &b)
    {
        return a.x == b.x && a.y == b.y && a.angle == b.angle && a.type == b.type
            && a.quality == b.quality;
    }
};

// The run of the ridges, coarse: one cell of 16 x 16 pixels each, 16 across
// and 18 down the frame, row by row. A cell holds 0 where the press shows no
// print clear enough to trust, else 1 + the ridges' direction in fifteenths
// of a half turn (a ridge has no head or tail). Where minutiae are few, how
// well two presses' ridges run alike once laid on each other still tells
// fingers apart.
constexpr int kRidgeCell = 16;
constexpr int kRidgeCols = 16;
constexpr int kRidgeRows = 18;
constexpr int kRidgeCells = kRidgeCols * kRidgeRows;
constexpr int kRidgeSteps = 15;

struct Template
{
    std::vector<Minutia> minutiae;
    // kRidgeCells cells, or none where unknown (a template from before the
    // module kept them, or one forged by hand).
    std::vector<std::uint8_t> ridges;
    bool merged = false;

    bool empty() const { return minutiae.empty(); }

    friend bool operator==(const Template &a, const Template &b)
    {
        return a.merged == b.merged && a.minutiae == b.minutiae && a.ridges == b.ridges;
    }
};

// At most this many minutiae fit the 512-byte layout, and fewer beside the
// ridges' cells. A single press keeps at most kMaxRidgedMinutiae.
constexpr int kMaxTemplateMinutiae = 80;
constexpr int kMaxRidgedMinutiae = 59;

// Where a minutia can lie: on the 256 x 288 frame, or, in a template merged
// from two presses, where the second press was laid onto the first, which
// is at most a frame's diagonal (384 pixels) beyond it. Coordinates outside
// come from no sensor; they are refused, which also keeps every distance
// the matcher squares well inside an int.
constexpr int kCoordinateMargin = 384;
constexpr int kLowestX = -kCoordinateMargin;
constexpr int kHighestX = 256 - 1 + kCoordinateMargin;
constexpr int kLowestY = -kCoordinateMargin;
constexpr int kHighestY = 288 - 1 + kCoordinateMargin;

inline bool withinReach(int x, int y)
{
    return x >= kLowestX && x <= kHighestX && y >= kLowestY && y <= kHighestY;
}

} // namespace vyrsim

#endif // TEMPLATE_H
