// Binarisation, speck removal and thinning.

#include "skeleton.h"

#include <array>
#include <vector>

namespace vyrsim {

const int kNeighbourDx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
const int kNeighbourDy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

namespace {

// Flips every 8-connected region of `value` (4-connected for valleys, so
// that a valley does not leak through a ridge's diagonal) smaller than minBlob.
void removeSmall(Grid<std::uint8_t> &g, std::uint8_t value, int minBlob)
{
    const int step = value ? 1 : 2; // every neighbour, or the four straight ones
    Grid<std::uint8_t> seen(g.cols, g.rows);
    std::vector<int> region;
    std::vector<int> stack;
    for (int start = 0; start < int(g.cells.size()); ++start) {
        if (g.cells[std::size_t(start)] != value || seen.cells[std::size_t(start)])
            continue;
        region.clear();
        stack.assign(1, start);
        seen.cells[std::size_t(start)] = 1;
        bool big = false;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            if (!big)
                region.push_back(at);
            big = big || int(region.size()) >= minBlob;
            const int x = at % g.cols;
            const int y = at / g.cols;
            for (int k = 0; k < 8; k += step) {
                const int nx = x + kNeighbourDx[k];
                const int ny = y + kNeighbourDy[k];
                if (!g.contains(nx, ny))
                    continue;
                const int n = ny * g.cols + nx;
                if (g.cells[std::size_t(n)] == value && !seen.cells[std::size_t(n)]) {
                    seen.cells[std::size_t(n)] = 1;
                    stack.push_back(n);
                }
            }
        }
        if (!big)
            for (int at : region)
                g.cells[std::size_t(at)] = value ? 0 : 1;
    }
}

int transitions(std::uint8_t bits)
{
    int n = 0;
    for (int i = 0; i < 8; ++i)
        n += !((bits >> i) & 1) && ((bits >> ((i + 1) % 8)) & 1);
    return n;
}

// Zhang and Suen's two sub-steps, as tables over the neighbour byte.
struct ThinningTables
{
    std::array<std::array<bool, 256>, 2> removable {};
    ThinningTables()
    {
        for (int bits = 0; bits < 256; ++bits) {
            auto on = [&](int i) {
                return (bits >> i) & 1;
            };
            const int count = __builtin_popcount(unsigned(bits));
            const bool shape = count >= 2 && count <= 6 && transitions(std::uint8_t(bits)) == 1;
            // bits: 0 N, 2 E, 4 S, 6 W
            removable[0][std::size_t(bits)]
                = shape && !(on(0) && on(2) && on(4)) && !(on(2) && on(4) && on(6));
            removable[1][std::size_t(bits)]
                = shape && !(on(0) && on(2) && on(6)) && !(on(0) && on(4) && on(6));
        }
    }
};

} // namespace

Grid<std::uint8_t> binarize(const Grid<float> &enhanced, int minBlob)
{
    Grid<std::uint8_t> ridges(enhanced.cols, enhanced.rows);
    for (std::size_t i = 0; i < ridges.cells.size(); ++i)
        ridges.cells[i] = enhanced.cells[i] < 0;
    removeSmall(ridges, 1, minBlob);
    removeSmall(ridges, 0, minBlob);
    return ridges;
}

std::uint8_t neighbourBits(const Grid<std::uint8_t> &g, int x, int y)
{
    std::uint8_t bits = 0;
    for (int k = 0; k < 8; ++k) {
        const int nx = x + kNeighbourDx[k];
        const int ny = y + kNeighbourDy[k];
        if (g.contains(nx, ny) && g.at(nx, ny))
            bits = std::uint8_t(bits | (1u << k));
    }
    return bits;
}

int crossingNumber(std::uint8_t bits)
{
    return transitions(bits);
}

Grid<std::uint8_t> thin(Grid<std::uint8_t> ridges)
{
    static const ThinningTables tables;
    // A copy with a border of background, so that every pixel has eight
    // neighbours to read without bounds checks.
    const int w = ridges.cols;
    const int stride = w + 2;
    std::vector<std::uint8_t> g(std::size_t(stride) * std::size_t(ridges.rows + 2), 0);
    int offsets[8];
    for (int k = 0; k < 8; ++k)
        offsets[k] = kNeighbourDy[k] * stride + kNeighbourDx[k];
    auto bitsAt = [&](int at) {
        unsigned bits = 0;
        for (int k = 0; k < 8; ++k)
            bits |= unsigned(g[std::size_t(at + offsets[k])]) << k;
        return std::uint8_t(bits);
    };

    // Only ridge pixels are ever looked at again; the list shrinks as they go.
    std::vector<int> candidates;
    for (int y = 0; y < ridges.rows; ++y)
        for (int x = 0; x < w; ++x)
            if (ridges.at(x, y)) {
                const int at = (y + 1) * stride + x + 1;
                g[std::size_t(at)] = 1;
                candidates.push_back(at);
            }
    std::vector<int> doomed;
    bool changed = true;
    while (changed) {
        changed = false;
        for (int step = 0; step < 2; ++step) {
            doomed.clear();
            for (int at : candidates)
                if (tables.removable[std::size_t(step)][bitsAt(at)])
                    doomed.push_back(at);
            for (int at : doomed)
                g[std::size_t(at)] = 0;
            changed = changed || !doomed.empty();
            std::size_t kept = 0;
            for (int at : candidates)
                if (g[std::size_t(at)])
                    candidates[kept++] = at;
            candidates.resize(kept);
        }
    }
    // Staircase corners: a pixel whose only two neighbours touch each other
    // directly is a kink, not part of the line.
    for (int at : candidates) {
        const std::uint8_t bits = bitsAt(at);
        for (int k = 0; k < 8; k += 2) {
            if (bits == std::uint8_t((1u << k) | (1u << ((k + 2) % 8)))) {
                g[std::size_t(at)] = 0;
                break;
            }
        }
    }
    for (int y = 0; y < ridges.rows; ++y)
        for (int x = 0; x < w; ++x)
            ridges.at(x, y) = g[std::size_t((y + 1) * stride + x + 1)];
    return ridges;
}

} // namespace vyrsim
