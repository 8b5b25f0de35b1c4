// A press of a synthetic finger, rendered as the sensor sees it.

#include "fingersynth.h"

#include "noise.h"
#include "ridgepattern.h"

#include <cmath>

namespace vyrsim {

Press pressFor(int finger, unsigned pressIndex)
{
    Random random(mix(std::uint64_t(finger) * 7919u + 17u, pressIndex));
    Press press;
    press.shiftX = random.uniform(-18, 18);
    press.shiftY = random.uniform(-20, 20);
    press.angle = random.uniform(-0.26, 0.26);
    press.pressure = random.uniform(0.3, 0.8);
    press.stretch = random.uniform(1, 5);
    press.stretchSeed = random.next();
    press.contactX = random.uniform(-10, 10);
    press.contactY = random.uniform(-8, 14);
    press.radiusX = random.uniform(92, 112);
    press.radiusY = random.uniform(118, 136);
    const double kind = random.uniform(0, 1);
    if (kind < 0.08) { // the finger lands at the sensor's edge
        const double side = random.uniform(0, 2 * 3.14159265358979);
        press.contactX += 55 * std::cos(side);
        press.contactY += 65 * std::sin(side);
    } else if (kind < 0.16) {
        press.dryness = random.uniform(0.2, 0.65);
    } else if (kind < 0.24) {
        press.wetness = random.uniform(0.3, 1);
    }
    return press;
}

void renderFinger(int finger, const Press &press, std::uint64_t frameSeed, unsigned char *out)
{
    const std::shared_ptr<const RidgePattern> pattern = ridgePatternFor(finger);
    Random grain(mix(frameSeed, 0x5eed));
    // Patches of weak contact, pores and breaks of dry skin, pools of sweat.
    const ValueNoise patches(mix(frameSeed, 0xd1), 24, kFrameWidth, kFrameHeight);
    const ValueNoise breaks(mix(frameSeed, 0xb4), 5, kFrameWidth, kFrameHeight);
    const ValueNoise pools(mix(frameSeed, 0x3e), 28, kFrameWidth, kFrameHeight);
    const ValueNoise rim(mix(frameSeed, 0x41), 40, kFrameWidth, kFrameHeight);
    const ValueNoise stretchX(press.stretchSeed, 72, kFrameWidth, kFrameHeight);
    const ValueNoise stretchY(press.stretchSeed ^ 0x9e37, 72, kFrameWidth, kFrameHeight);
    const double cosA = std::cos(press.angle);
    const double sinA = std::sin(press.angle);
    const double threshold
        = 0.5 - 0.5 * press.pressure + 0.35 * press.dryness - 0.35 * press.wetness;
    const double cx = kFrameWidth / 2.0 + press.contactX;
    const double cy = kFrameHeight / 2.0 + press.contactY;

    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            // Skin stretches unevenly as the finger flattens on the glass.
            const double u
                = x - kFrameWidth / 2.0 - press.shiftX + press.stretch * stretchX.at(x, y);
            const double v
                = y - kFrameHeight / 2.0 - press.shiftY + press.stretch * stretchY.at(x, y);
            const double mx = kPatternWidth / 2.0 + cosA * u - sinA * v;
            const double my = kPatternHeight / 2.0 + sinA * u + cosA * v;
            double ink = smoothstep(threshold - 0.3, threshold + 0.3, pattern->sample(mx, my));
            if (press.dryness > 0)
                ink *= smoothstep(-0.2, 0.4, breaks.at(x, y) + 0.9 - press.dryness);
            if (press.wetness > 0)
                ink = std::max(ink,
                               0.85 * smoothstep(0.1, 0.6, pools.at(x, y) + press.wetness - 0.8));

            const double ex = (x - cx) / press.radiusX;
            const double ey = (y - cy) / press.radiusY;
            const double r = std::sqrt(ex * ex + ey * ey) + 0.06 * rim.at(x, y);
            const double contact = smoothstep(1.0, 0.82, r);
            const double strength = contact * (0.8 + 0.2 * patches.at(x, y));

            const double background = 226.0 - 10.0 * contact;
            const double grey = background - strength * ink * 170.0 + grain.uniform(-7, 7);
            out[std::size_t(y) * kFrameWidth + std::size_t(x)]
                = static_cast<unsigned char>(std::clamp(grey, 0.0, 255.0));
        }
    }
}

void renderEmpty(std::uint64_t frameSeed, unsigned char *out)
{
    Random grain(mix(frameSeed, 0xe4));
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            // A faint falloff towards the corners, as an optical window shows.
            const double dx = (x - kFrameWidth / 2.0) / kFrameWidth;
            const double dy = (y - kFrameHeight / 2.0) / kFrameHeight;
            const double grey = 230.0 - 24.0 * (dx * dx + dy * dy) + grain.uniform(-4, 4);
            out[std::size_t(y) * kFrameWidth + std::size_t(x)]
                = static_cast<unsigned char>(std::clamp(grey, 0.0, 255.0));
        }
    }
}

} // namespace vyrsim
