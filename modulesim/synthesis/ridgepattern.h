#ifndef RIDGEPATTERN_H
#define RIDGEPATTERN_H

// A synthetic finger's ridge pattern: grown once per finger on a canvas
// larger than the sensor, so that a shifted or turned press still finds
// ridges to show.

#include <memory>
#include <vector>

namespace vyrsim {

constexpr int kPatternWidth = 352;
constexpr int kPatternHeight = 384;

class RidgePattern
{
public:
    explicit RidgePattern(std::vector<float> ridge);

    // Ridge value in [-1, 1], ridges positive, interpolated between pixels.
    double sample(double x, double y) const;

private:
    float at(int x, int y) const;

    std::vector<float> m_ridge;
};

// The pattern of a finger, grown on first use. The most recently used
// patterns are kept; growing one takes a while.
std::shared_ptr<const RidgePattern> ridgePatternFor(int finger);

} // namespace vyrsim

#endif // RIDGEPATTERN_H
