#include "calib/rectify.h"

#include <cmath>
#include <cstddef>

#include "app/sharedState.h"

namespace {

// floor(value) as a pixel index; false when value is not finite or its floor lies outside
// the 32-bit signed range, so that such a point counts as outside the grey frame.
bool floorIndex(double value, int& index) {
    const double whole = std::floor(value);
    if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) {
        return false;
    }
    index = static_cast<int>(whole);
    return true;
}

// The grey level the output pixel shows: the bilinear blend of the four grey pixels
// around source point p, or 0 where p is not finite or lies outside the grey frame.
unsigned char sample(const unsigned char* grey, int width, int height, SourcePoint p) {
    int ix = 0;
    int iy = 0;
    if (!floorIndex(p.v, iy) || !floorIndex(p.u, ix)) {
        return 0;
    }
    if (iy < 0 || iy > height - 1 || ix < 0 || ix > width - 1) {
        return 0;
    }
    const double fy = p.v - iy;
    const double fx = p.u - ix;

    // The grey frame has no column right of the last one and no row below the last one:
    // there the neighbour is the last column or row itself, so that the identity
    // reproduces the whole frame.
    const int ix1 = ix < width - 1 ? ix + 1 : ix;
    const int iy1 = iy < height - 1 ? iy + 1 : iy;
    const unsigned char* row0 =
        grey + static_cast<std::size_t>(iy) * static_cast<std::size_t>(width);
    const unsigned char* row1 =
        grey + static_cast<std::size_t>(iy1) * static_cast<std::size_t>(width);
    const double p00 = row0[ix];
    const double p10 = row0[ix1];
    const double p11 = row1[ix1];
    const double p01 = row1[ix];

    const double value =
        (1 - fx) * p00 * (1 - fy) + p10 * fx * (1 - fy) + p11 * fx * fy + (1 - fx) * p01 * fy;
    // The weights are non-negative and sum to one, so value lies in [0, 256): truncated.
    return static_cast<unsigned char>(static_cast<int>(value));
}

}  // namespace

// (u·w, v·w, w) = H · (x, y, 1): H maps an output pixel to the point of the grey frame that
// it shows. A zero w gives a non-finite point, which the warp treats as outside.
SourcePoint projectPoint(int x, int y) {
    const double(*h)[3] = homographyTable;
    const double px = x;
    const double py = y;
    const double w = h[2][0] * px + h[2][1] * py + h[2][2] * 1.0;
    const double u = (h[0][0] * px + h[0][1] * py + h[0][2] * 1.0) / w;
    const double v = (h[1][0] * px + h[1][1] * py + h[1][2] * 1.0) / w;
    return {u, v};
}

// Backward mapping, in storage order: every output byte is written, from the grey frame
// sample its pixel projects to.
void rectifyFrame(const unsigned char* grey, unsigned char*& output) {
    const int width = frameWidth;
    const int height = frameHeight;
    if (grey == nullptr || output == nullptr || width <= 0 || height <= 0) {
        return;
    }
    unsigned char* out = output;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            *out++ = sample(grey, width, height, projectPoint(x, y));
        }
    }
}
