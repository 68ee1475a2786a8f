#include "calib/homography.h"

#include <algorithm>
#include <cmath>
#include <optional>

using linal::Matrix;

// Each pair gives two equations linear in the eight unknowns h11..h32 (h33 = 1):
//   h11·x + h12·y + h13 − u·(h31·x + h32·y) = u
//   h21·x + h22·y + h23 − v·(h31·x + h32·y) = v
// Stacked they form A·h = b. A has room for at least five pairs: rows of unused pairs stay
// zero and add only exact zeros to every sum, which keeps four pairs rounding as they always
// have. h is taken as (inverse(At·A)·At)·b; that grouping fixes how the result rounds.
NormalEquations normalEquations(std::span<const Point> outputPoints,
                                std::span<const Point> inputPoints) {
    const int pairs = static_cast<int>(outputPoints.size());
    const int rows = 2 * std::max(pairs, 5);
    Matrix A(rows, 8, 0.0);
    Matrix b(rows, 1, 0.0);
    // The constant entries first (the zeros are already there), then the coordinates.
    for (int i = 1; i <= pairs; ++i) {
        A(2 * i - 1, 3) = 1.0;
        A(2 * i, 6) = 1.0;
    }
    for (int i = 1; i <= pairs; ++i) {
        const double x = outputPoints[i - 1].x;
        const double y = outputPoints[i - 1].y;
        const double u = inputPoints[i - 1].x;
        const double v = inputPoints[i - 1].y;
        A(2 * i - 1, 1) = x;
        A(2 * i - 1, 2) = y;
        A(2 * i - 1, 7) = (-u) * x;
        A(2 * i - 1, 8) = (-u) * y;
        b(2 * i - 1, 1) = u;
        A(2 * i, 4) = x;
        A(2 * i, 5) = y;
        A(2 * i, 7) = (-v) * x;
        A(2 * i, 8) = (-v) * y;
        b(2 * i, 1) = v;
    }
    Matrix At = Transpose(A);
    Matrix N = At * A;
    return {std::move(At), std::move(N), std::move(b)};
}

Matrix ComputeHomography(const NormalEquations& system) {
    const Matrix Ni = inverse(system.N);
    const Matrix G = Ni * system.At;
    const Matrix h = G * system.b;

    Matrix H(3, 3, 0.0);
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 3; ++c) {
            if (r < 3 || c < 3) {
                H(r, c) = h(3 * (r - 1) + c, 1);
            }
        }
    }
    H(3, 3) = 1.0;
    return H;
}

Point projectPoint(const Matrix& H, Point p, double* w) {
    const double z = H(3, 1) * p.x + H(3, 2) * p.y + H(3, 3);
    if (w != nullptr) {
        *w = z;
    }
    return {(H(1, 1) * p.x + H(1, 2) * p.y + H(1, 3)) / z,
            (H(2, 1) * p.x + H(2, 2) * p.y + H(2, 3)) / z};
}

std::optional<Point> deliveredPointOf(const Matrix& H, const LensDistortion& lens, Point p) {
    return distort(lens, projectPoint(H, p));
}

std::vector<double> reprojectionErrors(const Matrix& H, std::span<const Point> outputPoints,
                                       std::span<const Point> inputPoints,
                                       const LensDistortion& lens) {
    std::vector<double> errors;
    for (std::size_t i = 0; i < outputPoints.size(); ++i) {
        const std::optional<Point> d = deliveredPointOf(H, lens, outputPoints[i]);
        errors.push_back(d ? std::hypot(d->x - inputPoints[i].x, d->y - inputPoints[i].y)
                           : HUGE_VAL);
    }
    return errors;
}

Fit fitOf(const std::vector<double>& errors) {
    Fit fit;
    if (errors.empty()) {
        return fit;
    }
    double squares = 0.0;
    for (double e : errors) {
        squares += e * e;
    }
    const auto worst = std::max_element(errors.begin(), errors.end());
    fit.rms = std::sqrt(squares / static_cast<double>(errors.size()));
    fit.largest = *worst;
    fit.worst = static_cast<std::size_t>(worst - errors.begin());
    return fit;
}
