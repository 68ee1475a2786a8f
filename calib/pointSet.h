// Whether four clicked points can take part in a homography estimation.
#pragma once

#include <span>

#include "calib/homography.h"

enum class PointSetFault {
    none,        // four points, no two equal, no three on one line
    wrongCount,  // not exactly four points
    coincident,  // two points are the same pixel
    collinear,   // three points lie on one straight line
};

// Exact: the test runs in 64-bit integers and holds for every int coordinate.
bool collinear(Point a, Point b, Point c);

// The first fault found, in the order of the enumerators above.
PointSetFault checkPointSet(std::span<const Point> points);
