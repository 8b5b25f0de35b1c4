#ifndef FINGERSYNTH_H
#define FINGERSYNTH_H

// Frames of synthetic fingers as the sensor takes them.

#include <cstdint>

namespace vyrsim {

constexpr int kFrameWidth = 256;
constexpr int kFrameHeight = 288;
constexpr int kFrameBytes = kFrameWidth * kFrameHeight;

// How one press of a finger lands on the sensor. Every press differs, as a
// real finger never lands twice the same way: where and at what angle it
// lands, how hard, how the skin stretches, how much of it touches, and
// whether the skin is dry or wet.
struct Press
{
    double shiftX = 0; // pixels
    double shiftY = 0;
    double angle = 0; // radians
    double pressure = 0.5; // 0 light .. 1 hard: wider, darker ridges
    double stretch = 0; // pixels of smooth, uneven skin stretch
    std::uint64_t stretchSeed = 0;
    double contactX = 0; // centre of the contact area, relative to the frame centre
    double contactY = 0;
    double radiusX = 100;
    double radiusY = 128;
    double dryness = 0; // 0 .. 1: ridges break up
    double wetness = 0; // 0 .. 1: valleys fill in
};

// Derives the press parameters from the finger and the running press number,
// so that a scripted test sees the same frames on every run. Most presses
// are ordinary; now and then one lands at the edge of the sensor, or with
// dry or wet skin.
Press pressFor(int finger, unsigned pressIndex);

// Renders a 256 x 288 grey frame of the finger (rows of 256 bytes, top row
// first). `frameSeed` varies the sensor noise from frame to frame.
void renderFinger(int finger, const Press &press, std::uint64_t frameSeed, unsigned char *out);

// Renders the frame of an empty sensor: light, slightly noisy.
void renderEmpty(std::uint64_t frameSeed, unsigned char *out);

} // namespace vyrsim

#endif // FINGERSYNTH_H
