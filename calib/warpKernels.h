// The warp as row-range kernels over plain planes: each output pixel (x, y) samples the
// source at H · (x, y, 1) moved by the lens map (cpu/radialTable.h), bilinear, or is 0 where
// that point has no image, is not finite or lies outside the source. Every kernel path gives
// the same bytes as warpPixel below, the definition.
#pragma once

#include <cmath>
#include <cstddef>

#include "cpu/kernelPath.h"
#include "cpu/planeView.h"
#include "cpu/radialTable.h"

using HomographyTable = double[3][3];

// Writes every column of target rows [y0, y1) (clipped to the target). target.width and
// target.height bound the output; the range test and the neighbours use source.width and
// source.height. Rows outside [y0, y1) are not touched, so disjoint ranges may run on
// separate threads. A path this processor cannot run is replaced by the best one it can. An
// empty lens costs nothing: the kernels without the lens step run.
void warpRows(KernelPath path, const HomographyTable& h, const RadialTable& lens, ConstPlane source,
              Plane target, int y0, int y1);

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

// The lens step of cpu/radialTable.h on a source point, in its order; false where the point
// has no image. A negative q (only from a negative invStep) has none either, so that no
// index falls before the table.
inline bool moveRadially(const RadialTable& lens, double& u, double& v) {
    const double dx = u - lens.cx;
    const double dy = v - lens.cy;
    const double q = (dx * dx + dy * dy) * lens.invStep;
    if (!(q >= 0.0 && q < static_cast<double>(lens.factor.size()) - 1.0)) {
        return false;
    }
    const int i = static_cast<int>(q);
    const double t = q - i;
    const double s = lens.factor[i] + (lens.factor[i + 1] - lens.factor[i]) * t;
    u = lens.cx + dx * s;
    v = lens.cy + dy * s;
    return true;
}

// One output pixel, straight from the definition, in the order it runs: (h·x + h·y) + h·1.0
// for the three rows in that association, two divisions by w; with a lens (Lensed: the lens
// is not empty; the row loops decide once), the lens step, 0 where the point has no image;
// then floor, range test, bilinear blend in double summed in the stated order, truncation.
// A right or lower neighbour beyond the last column or row is that last column or row
// itself.
template <bool Lensed>
inline unsigned char warpPixel(const HomographyTable& h, const RadialTable& lens,
                               const ConstPlane& source, const RowTerms& row, int x) {
    const double px = x;
    const double w = (h[2][0] * px + row.w) + row.cw;
    double u = ((h[0][0] * px + row.u) + row.cu) / w;
    double v = ((h[1][0] * px + row.v) + row.cv) / w;
    if (Lensed && !moveRadially(lens, u, v)) {
        return 0;
    }
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

void warpRowsScalar(const HomographyTable& h, const RadialTable& lens, ConstPlane source,
                    Plane target, int y0, int y1);
#if defined(__x86_64__)
void warpRowsAvx2(const HomographyTable& h, const RadialTable& lens, ConstPlane source,
                  Plane target, int y0, int y1);
void warpRowsAvx512(const HomographyTable& h, const RadialTable& lens, ConstPlane source,
                    Plane target, int y0, int y1);
#endif

}  // namespace warp_detail
