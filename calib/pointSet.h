// Whether clicked point pairs can take part in a homography estimation, and the estimate.
#pragma once

#include <optional>
#include <span>

#include "calib/homography.h"

enum class PointSetFault {
    none,        // at least four points, no two equal, not on one line
    wrongCount,  // fewer than four points, or lists of different lengths
    coincident,  // two points are the same pixel
    collinear,   // all points, or all but one, lie on one straight line
    // The two sets are usable, but in double precision the estimation from them would meet
    // an exactly zero pivot (where the matrix library ends the process) or give values that
    // are not finite: coordinates of wildly different sizes, or nearly degenerate sets.
    unstable,
};

// Exact for whole pixels in the int range: the test then runs in 64-bit integers.
bool collinear(Point a, Point b, Point c);

// The first fault found, in the order of the enumerators above (never unstable). With four
// points, collinear means that three of them are on one line.
PointSetFault checkPointSet(std::span<const Point> points);

// The homography of the pairs (output point i ↔ input point i) and its inverse, both
// finite. H and inverse are meaningful only when fault is none.
struct HomographyEstimate {
    PointSetFault fault = PointSetFault::none;
    linal::Matrix H{3, 3, 0.0};
    linal::Matrix inverse{3, 3, 0.0};
};

// The inverse of a 3 × 3 matrix when the matrix library takes it without ending the process
// and it is finite.
std::optional<linal::Matrix> safeInverse(const linal::Matrix& m);

// The lengths, then checkPointSet of the input points, then of the output points, then the
// estimation and the inversion, each stopped as unstable before it could meet a zero pivot
// or once it gave values that are not finite. It never ends the process.
HomographyEstimate estimateHomography(std::span<const Point> input, std::span<const Point> output);
