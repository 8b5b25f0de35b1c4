#ifndef ORIENTATION_H
#define ORIENTATION_H

// Block statistics of an image and the ridge orientation field.
//
// Orientations live as doubled-angle vectors (cos 2t, sin 2t): a ridge at t
// and at t + pi is the same ridge, and doubled angles average correctly
// where plain angles would cancel.

#include "grid.h"

namespace vyrsim {

struct BlockStats
{
    Grid<float> mean; // grey level over a 24 x 24 window around the block
    Grid<float> contrast; // standard deviation over the same window
    Grid<float> coherence; // 0: no direction, 1: perfectly parallel ridges
    Grid<float> dirX; // doubled-angle unit vector of the ridge direction
    Grid<float> dirY;
};

BlockStats blockStats(const GreyImage &image);
// The same of a filtered image, whose values are signed around 0.
BlockStats blockStats(const Grid<float> &image);

struct OrientationField
{
    Grid<float> dirX; // doubled-angle unit vectors, smoothed over the print
    Grid<float> dirY;

    // Ridge angle in [0, pi) at a block, and interpolated at a pixel.
    float blockAngle(int c, int r) const;
    float angleAt(float x, float y) const;
    // The doubled-angle vector interpolated at a pixel, not normalised.
    void vectorAt(float x, float y, float &vx, float &vy) const;
    // The same at the centres of the first `width` pixels of row y.
    void rowVectors(int y, int width, float *vx, float *vy) const;
};

// Smooths the raw block directions over the foreground, each block weighed
// by its coherence, so that noise and scars take the direction around them.
OrientationField smoothOrientation(const BlockStats &stats, const Grid<std::uint8_t> &mask);

} // namespace vyrsim

#endif // ORIENTATION_H
