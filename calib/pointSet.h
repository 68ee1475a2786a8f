// Whether four clicked points can take part in a homography estimation.
#pragma once

#include <span>

#include "calib/homography.h"

enum class PointSetFault {
    none,        // four points, no two equal, no three on one line
    wrongCount,  // not exactly four points
    coincident,  // two points are the same pixel
    collinear,   // three points lie on one straight line
    // The two sets are usable, but in double precision the estimation from them would meet
    // an exactly zero pivot (where the matrix library ends the process) or give values that
    // are not finite: coordinates of wildly different sizes, or nearly degenerate sets.
    unstable,
};

// Exact: the test runs in 64-bit integers and holds for every int coordinate.
bool collinear(Point a, Point b, Point c);

// The first fault found, in the order of the enumerators above (never unstable).
PointSetFault checkPointSet(std::span<const Point> points);

// Whether the calibration can use these lists of points: checkPointSet of the input points,
// then of the output points, then whether ComputeHomography(output, input) and the inverse
// of its result run to finite values without meeting a zero pivot. When this gives none,
// neither estimation nor inversion can end the process.
PointSetFault checkPointPairs(std::span<const Point> input, std::span<const Point> output);
