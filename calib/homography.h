// Homography estimation from four point pairs.
#pragma once

#include <array>

#include "linal/matrix.h"

struct Point {
    int x;
    int y;
};

// H maps output-frame point (x, y) to input-frame point (u, v), with h33 = 1.
// Solved from the 10 × 8 point system through its normal equations, (Ni · At) · b.
// A degenerate set of points ends the process through the matrix library's fatal error.
linal::Matrix ComputeHomography(const std::array<Point, 4>& outputPoints,
                                const std::array<Point, 4>& inputPoints);

// N = At · A, the 8 × 8 normal matrix that ComputeHomography inverts, computed by the same
// operations, so that it equals ComputeHomography's N bit for bit.
linal::Matrix normalMatrix(const std::array<Point, 4>& outputPoints,
                           const std::array<Point, 4>& inputPoints);
