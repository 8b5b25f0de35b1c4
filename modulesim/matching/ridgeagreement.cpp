#include "ridgeagreement.h"

#include "angles.h"
#include "template.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vyrsim {

float ridgeAgreement(const std::vector<std::uint8_t> &fixed, const std::vector<std::uint8_t> &moved,
                     const Placement &placement)
{
    if (fixed.size() != std::size_t(kRidgeCells) || moved.size() != std::size_t(kRidgeCells))
        return 0;
    // The angle between a moved cell's ridges, turned with the press, and a
    // fixed cell's depends only on the difference of their values; a ridge
    // has no head or tail, so the angle is taken within a quarter turn
    // either way.
    constexpr float kStep = kPi / kRidgeSteps;
    std::array<float, 2 * kRidgeSteps - 1> bySteps {};
    for (int k = 1 - kRidgeSteps; k < kRidgeSteps; ++k) {
        float d = kStep * float(k) + placement.angle;
        d -= kPi * std::floor(d * (1 / kPi) + 0.5f);
        bySteps[std::size_t(k + kRidgeSteps - 1)]
            = std::max(0.0f, 1 - std::fabs(d) * (1 / kCrossing));
    }
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
            sum += bySteps[std::size_t(m - f + kRidgeSteps - 1)];
            ++overlap;
        }
    }
    return overlap > 0 ? sum / float(overlap) : 0.0f;
}

} // namespace vyrsim
