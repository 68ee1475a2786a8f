// Homography estimation from N >= 4 point pairs.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "calib/lensDistortion.h"
#include "calib/point.h"
#include "linal/matrix.h"

// The point system A·h = b of N pairs (2N rows, at least 10) and its normal matrix At·A.
struct NormalEquations {
    linal::Matrix At;
    linal::Matrix N;
    linal::Matrix b;
};

// The normal equations of output-frame points (x, y) paired by position with input-frame
// points (u, v). Both lists have the same length.
NormalEquations normalEquations(std::span<const Point> outputPoints,
                                std::span<const Point> inputPoints);

// H maps output-frame point (x, y) to input-frame point (u, v), with h33 = 1: the least
// squares solution (inverse(N) · At) · b. A degenerate system ends the process through the
// matrix library's fatal error.
linal::Matrix ComputeHomography(const NormalEquations& system);

// H · (p, 1) as a point, w its third coordinate: (h11·x + h12·y + h13) / w, … with
// w = h31·x + h32·y + h33, which `w`, when given, receives (its sign tells the side of the
// horizon).
Point projectPoint(const linal::Matrix& H, Point p, double* w = nullptr);

// The delivered input point that output point p shows: through H, then the lens; none where
// the lens gives it no image.
std::optional<Point> deliveredPointOf(const linal::Matrix& H, const LensDistortion& lens, Point p);

// How far H, then the lens, send each output point from its input point, in input-frame
// pixels (infinite where the lens gives the point no image).
std::vector<double> reprojectionErrors(const linal::Matrix& H, std::span<const Point> outputPoints,
                                       std::span<const Point> inputPoints,
                                       const LensDistortion& lens = {});

// How well H fits its pairs: the root mean square and the largest of the reprojection errors,
// and the index of the pair with the largest one (the first of equals).
struct Fit {
    double rms = 0.0;
    double largest = 0.0;
    std::size_t worst = 0;
};
Fit fitOf(const std::vector<double>& errors);
