// The warp as row-range kernels over plain planes: each output pixel (x, y) samples the
// source at H · (x, y, 1), bilinear, or is 0 where that point is not finite or lies outside
// the source. Every kernel path gives the same bytes as warpPixel below, the definition.
#pragma once

#include <cmath>
#include <cstddef>

#include "cpu/kernelPath.h"
#include "cpu/planeView.h"

using HomographyTable = double[3][3];

// Writes every column of target rows [y0, y1) (clipped to the target). target.width and
// target.height bound the output; the range test and the neighbours use source.width and
// source.height. Rows outside [y0, y1) are not touched, so disjoint ranges may run on
// separate threads. A path this processor cannot run is replaced by the best one it can.
void warpRows(KernelPath path, const HomographyTable& h, ConstPlane source, Plane target, int y0,
              int y1);

namespace warp_detail {

// The terms of one output row that do not change along it: h[r][1]·y and h[r][2]·1.0.
struct RowTerms {
    double u, v, w;     // h[0][1]·y, h[1][1]·y, h[2][1]·y
    double cu, cv, cw;  // h[0][2]·1.0, h[1][2]·1.0, h[2][2]·1.0
};

inline RowTerms rowTerms(const HomographyTable& h, int y) {
    const double py = y;
    return {h[0][1] * py, h[1][1] * py, h[2][1] * py, h[0][2] * 1.0, h[1][2] * 1.0, h[2][2] * 1.0};
}

// One output pixel, straight from the definition: (h·x + h·y) + h·1.0 for the three rows in
// that association, two divisions by w, floor, range test, bilinear blend in double summed
// in the stated order, truncation. A right or lower neighbour beyond the last column or row
// is that last column or row itself.
inline unsigned char warpPixel(const HomographyTable& h, const ConstPlane& source,
                               const RowTerms& row, int x) {
    const double px = x;
    const double w = (h[2][0] * px + row.w) + row.cw;
    const double u = ((h[0][0] * px + row.u) + row.cu) / w;
    const double v = ((h[1][0] * px + row.v) + row.cv) / w;
    const double floorU = std::floor(u);
    const double floorV = std::floor(v);
    // Not finite, or outside the source: the comparisons are false for NaN, and a floor in
    // range is an exact int.
    if (!(floorU >= 0.0 && floorU <= source.width - 1 && floorV >= 0.0 &&
          floorV <= source.height - 1)) {
        return 0;
    }
    const int ix = static_cast<int>(floorU);
    const int iy = static_cast<int>(floorV);
    const double fx = u - ix;
    const double fy = v - iy;
    const int ix1 = ix < source.width - 1 ? ix + 1 : ix;
    const unsigned char* row0 = source.data + iy * source.stride;
    const unsigned char* row1 = iy < source.height - 1 ? row0 + source.stride : row0;
    const double p00 = row0[ix];
    const double p10 = row0[ix1];
    const double p11 = row1[ix1];
    const double p01 = row1[ix];
    const double value =
        (1 - fx) * p00 * (1 - fy) + p10 * fx * (1 - fy) + p11 * fx * fy + (1 - fx) * p01 * fy;
    // The weights are non-negative and sum to one: value lies in [0, 256).
    return static_cast<unsigned char>(static_cast<int>(value));
}

void warpRowsScalar(const HomographyTable& h, ConstPlane source, Plane target, int y0, int y1);
#if defined(__x86_64__)
void warpRowsAvx2(const HomographyTable& h, ConstPlane source, Plane target, int y0, int y1);
void warpRowsAvx512(const HomographyTable& h, ConstPlane source, Plane target, int y0, int y1);
#endif

}  // namespace warp_detail
