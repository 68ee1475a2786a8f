// A radial map about a centre, in the form the warp applies it to every point: a point p at
// squared distance q = |p − c|² from the centre c moves to c + (p − c)·s(q), where s is
// interpolated linearly between entries sampled at q = 0, step, 2·step, … Points at or beyond
// the last entry have no image (nor any q below 0, which only a negative invStep gives). A table
// without entries is no map: points stay where they are.
//
// Per point, in this order (the warp's definition and every kernel path do exactly this):
//   dx = u − cx;  dy = v − cy;  q = (dx·dx + dy·dy)·invStep;
//   if !(0 ≤ q < entries − 1): no image;   i = int(q);  t = q − i;
//   s = factor[i] + (factor[i + 1] − factor[i])·t;
//   u' = cx + dx·s;  v' = cy + dy·s.
#pragma once

#include <vector>

struct RadialTable {
    std::vector<double> factor;  // s(q); none, or at least two entries
    double cx = 0.0;
    double cy = 0.0;
    double invStep = 0.0;  // 1 / step
    bool empty() const { return factor.empty(); }
};
