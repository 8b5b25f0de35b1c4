// Growing a finger's ridges: noise filtered again and again along a flow
// field, smoothing along the ridges and band-passing across them at the
// finger's ridge period, until ridges with their endings and forks remain.
// The flow is laid out by its singular points, as in real fingers: a core
// where ridges turn back and a delta where three flows meet (a loop), two
// of each (a whorl), or none (an arch).

#include "ridgepattern.h"

#include "noise.h"

#include <array>
#include <cmath>
#include <list>
#include <mutex>

namespace vyrsim {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Point
{
    double x;
    double y;
};

struct Flow
{
    std::vector<Point> cores;
    std::vector<Point> deltas;
    bool arch = false;
    double archHeight = 0;
    double tilt = 0;
    double period = 9;
};

Flow flowFor(Random &random)
{
    Flow flow;
    const double cx = kPatternWidth / 2.0 + random.uniform(-20, 20);
    const double cy = kPatternHeight * 0.46 + random.uniform(-16, 16);
    const double kind = random.uniform(0, 1);
    if (kind < 0.6) { // loop, opening to either side
        const double side = random.chance(0.5) ? 1.0 : -1.0;
        flow.cores.push_back({cx, cy});
        flow.deltas.push_back({cx + side * random.uniform(70, 115), cy + random.uniform(95, 140)});
    } else if (kind < 0.85) { // whorl
        const double spread = random.uniform(6, 22);
        const double turn = random.uniform(0, kPi);
        flow.cores.push_back({cx + spread * std::cos(turn), cy + spread * std::sin(turn)});
        flow.cores.push_back({cx - spread * std::cos(turn), cy - spread * std::sin(turn)});
        flow.deltas.push_back({cx - random.uniform(85, 120), cy + random.uniform(90, 130)});
        flow.deltas.push_back({cx + random.uniform(85, 120), cy + random.uniform(90, 130)});
    } else if (kind < 0.93) { // tented arch: a core right above a delta
        flow.cores.push_back({cx, cy});
        flow.deltas.push_back({cx + random.uniform(-10, 10), cy + random.uniform(30, 50)});
    } else { // plain arch
        flow.arch = true;
        flow.archHeight = random.uniform(0.8, 1.6);
    }
    flow.tilt = random.uniform(-0.2, 0.2);
    flow.period = random.uniform(8.2, 9.8);
    return flow;
}

// The ridge direction at a point, in radians.
double direction(const Flow &flow, double x, double y)
{
    if (flow.arch) {
        const double u = (x - kPatternWidth / 2.0) / 90.0;
        const double v = (y - kPatternHeight * 0.55) / 140.0;
        return flow.tilt - std::atan(flow.archHeight * u * std::exp(-u * u - v * v));
    }
    double theta = flow.tilt;
    for (const Point &c : flow.cores)
        theta += 0.5 * std::atan2(y - c.y, x - c.x);
    for (const Point &d : flow.deltas)
        theta -= 0.5 * std::atan2(y - d.y, x - d.x);
    return theta;
}

std::vector<float> grow(int finger)
{
    Random random(mix(0xf1a9e7ULL, std::uint64_t(finger)));
    const Flow flow = flowFor(random);
    // Away from its singular points a finger's flow bends its own way over
    // a few dozen pixels. Fingers of one pattern that bent alike would pair
    // their minutiae by chance far more often than real fingers do.
    const ValueNoise wobble(random.next(), 64, kPatternWidth, kPatternHeight);
    // Ridges also wander a little from the flow over a ridge period or two,
    // as on skin. Without it every minutia points exactly along a flow that
    // fingers of one pattern share, and presses of different fingers agree
    // far more often than real ones do.
    const ValueNoise wander(mix(std::uint64_t(finger), 0x3161), 12, kPatternWidth, kPatternHeight);
    const int w = kPatternWidth;
    const int h = kPatternHeight;
    const std::size_t size = std::size_t(w) * std::size_t(h);

    std::vector<float> cosT(size);
    std::vector<float> sinT(size);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double theta
                = direction(flow, x, y) + 0.4 * wobble.at(x, y) + 0.4 * wander.at(x, y);
            const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
            cosT[i] = float(std::cos(theta));
            sinT[i] = float(std::sin(theta));
        }
    }

    std::vector<float> a(size);
    for (float &v : a)
        v = random.chance(0.08) ? float(random.uniform(-1, 1)) : 0.0f;
    std::vector<float> b(size);

    constexpr int kAcross = 5; // taps on each side, across the ridges
    std::array<float, 2 * kAcross + 1> gabor {};
    for (int j = -kAcross; j <= kAcross; ++j)
        gabor[std::size_t(j + kAcross)]
            = float(std::exp(-(j * j) / (2.0 * 2.6 * 2.6)) * std::cos(2.0 * kPi * j / flow.period));

    // Bilinear sampling keeps the filtered ridges free of stair steps.
    auto at = [=](const std::vector<float> &img, double x, double y) {
        x = std::clamp(x, 0.0, w - 1.001);
        y = std::clamp(y, 0.0, h - 1.001);
        const int ix = int(x);
        const int iy = int(y);
        const float fx = float(x - ix);
        const float fy = float(y - iy);
        const float *p = &img[std::size_t(iy) * std::size_t(w) + std::size_t(ix)];
        const float top = p[0] + (p[1] - p[0]) * fx;
        const float bottom = p[w] + (p[w + 1] - p[w]) * fx;
        return top + (bottom - top) * fy;
    };

    constexpr int kAlong = 7; // taps on each side, along the ridges, a pixel apart
    std::array<float, kAlong + 1> smooth {};
    for (int k = 0; k <= kAlong; ++k)
        smooth[std::size_t(k)] = float(std::exp(-(k * k) / (2.0 * 3.4 * 3.4)));

    for (int pass = 0; pass < 8; ++pass) {
        // Along the ridges: smoothing over a dozen pixels keeps them continuous. The taps
        // are a pixel apart, or a pattern alternating from pixel to pixel would pass.
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
                const double c = cosT[i];
                const double s = sinT[i];
                float sum = smooth[0] * a[i];
                for (int k = 1; k <= kAlong; ++k)
                    sum += smooth[std::size_t(k)]
                        * (at(a, x + k * c, y + k * s) + at(a, x - k * c, y - k * s));
                b[i] = sum;
            }
        }
        // Across the ridges: the band-pass that sets the ridge period.
        double energy = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
                const double nx = -sinT[i];
                const double ny = cosT[i];
                float sum = 0;
                for (int j = -kAcross; j <= kAcross; ++j)
                    sum += gabor[std::size_t(j + kAcross)] * at(b, x + j * nx, y + j * ny);
                a[i] = sum;
                energy += double(sum) * sum;
            }
        }
        const double rms = std::sqrt(energy / double(size)) + 1e-9;
        for (float &v : a)
            v = float(std::tanh(1.6 * v / rms));
    }
    return a;
}

} // namespace

RidgePattern::RidgePattern(std::vector<float> ridge)
    : m_ridge(std::move(ridge))
{ }

float RidgePattern::at(int x, int y) const
{
    x = std::clamp(x, 0, kPatternWidth - 1);
    y = std::clamp(y, 0, kPatternHeight - 1);
    return m_ridge[std::size_t(y) * kPatternWidth + std::size_t(x)];
}

double RidgePattern::sample(double x, double y) const
{
    const int ix = int(std::floor(x));
    const int iy = int(std::floor(y));
    const double fx = x - ix;
    const double fy = y - iy;
    const double top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * fx;
    const double bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * fx;
    return top + (bottom - top) * fy;
}

std::shared_ptr<const RidgePattern> ridgePatternFor(int finger)
{
    constexpr std::size_t kKept = 32; // about half a megabyte each
    static std::mutex mutex;
    static std::list<std::pair<int, std::shared_ptr<const RidgePattern>>> kept; // newest first
    const std::lock_guard<std::mutex> lock(mutex);
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (it->first == finger) {
            kept.splice(kept.begin(), kept, it);
            return kept.front().second;
        }
    }
    kept.emplace_front(finger, std::make_shared<const RidgePattern>(grow(finger)));
    if (kept.size() > kKept)
        kept.pop_back();
    return kept.front().second;
}

} // namespace vyrsim
