#ifndef GRID_H
#define GRID_H

// The two shapes every stage of the feature pipeline passes on: a picture
// of pixels and a map of 8 x 8 blocks over it.

#include <cstdint>
#include <vector>

namespace vyrsim {

constexpr int kBlock = 8; // pixels a block side: a little under one ridge period

template<typename T> struct Grid
{
    int cols = 0;
    int rows = 0;
    std::vector<T> cells;

    Grid() = default;
    Grid(int c, int r, T fill = T())
        : cols(c)
        , rows(r)
        , cells(std::size_t(c) * std::size_t(r), fill)
    { }

    bool contains(int c, int r) const { return c >= 0 && r >= 0 && c < cols && r < rows; }
    T &at(int c, int r) { return cells[std::size_t(r) * std::size_t(cols) + std::size_t(c)]; }
    const T &at(int c, int r) const
    {
        return cells[std::size_t(r) * std::size_t(cols) + std::size_t(c)];
    }
};

// Grey pixels, 0 black to 255 white, rows top first.
using GreyImage = Grid<std::uint8_t>;

// The block that holds pixel (x, y).
inline int blockOf(int pixel)
{
    return pixel / kBlock;
}

} // namespace vyrsim

#endif // GRID_H
