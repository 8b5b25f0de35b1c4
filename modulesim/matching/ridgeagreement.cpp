#include "ridgeagreement.h"

#include "angles.h"
#include "template.h"

#include <array>
#include <cmath>

namespace vyrsim {

namespace {

struct Doubled
{
    float cos;
    float sin;
};

// A cell's direction as a doubled-angle unit vector, by its value.
const std::array<Doubled, kRidgeSteps + 1> &doubledByValue()
{
    static const auto table = [] {
        std::array<Doubled, kRidgeSteps + 1> t {};
        for (int v = 1; v <= kRidgeSteps; ++v) {
            const float doubled = 2 * kPi * float(v - 1) / kRidgeSteps;
            t[std::size_t(v)] = {std::cos(doubled), std::sin(doubled)};
        }
        return t;
    }();
    return table;
}

} // namespace

float ridgeAgreement(const std::vector<std::uint8_t> &fixed, const std::vector<std::uint8_t> &moved,
                     const Placement &placement)
{
    if (fixed.size() != std::size_t(kRidgeCells) || moved.size() != std::size_t(kRidgeCells))
        return 0;
    const auto &doubled = doubledByValue();
    const float turnCos = std::cos(2 * placement.angle);
    const float turnSin = std::sin(2 * placement.angle);
    float sum = 0;
    int overlap = 0;
    for (int r = 0; r < kRidgeRows; ++r) {
        for (int c = 0; c < kRidgeCols; ++c) {
            const std::uint8_t m = moved[std::size_t(r * kRidgeCols + c)];
            if (m == 0)
                continue;
            const auto [fx, fy]
                = placement.apply((float(c) + 0.5f) * kRidgeCell, (float(r) + 0.5f) * kRidgeCell);
            // Truncation would take the cells just off the frame's top and
            // left for its first ones.
            const int fc = int(fx / kRidgeCell + 1) - 1;
            const int fr = int(fy / kRidgeCell + 1) - 1;
            if (fc < 0 || fr < 0 || fc >= kRidgeCols || fr >= kRidgeRows)
                continue;
            const std::uint8_t f = fixed[std::size_t(fr * kRidgeCols + fc)];
            if (f == 0)
                continue;
            const Doubled &d = doubled[m];
            const float turnedCos = d.cos * turnCos - d.sin * turnSin;
            const float turnedSin = d.sin * turnCos + d.cos * turnSin;
            sum += turnedCos * doubled[f].cos + turnedSin * doubled[f].sin;
            ++overlap;
        }
    }
    return overlap > 0 ? sum / float(overlap) : 0.0f;
}

} // namespace vyrsim
