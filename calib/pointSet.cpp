#include "calib/pointSet.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "linal/mes_factor.h"

namespace {

// A product of two coordinate differences, kept as sign and magnitude: each difference of
// two ints needs 33 bits, so the magnitude needs up to 64 and fits an unsigned 64-bit word,
// while a signed one could overflow.
struct Product {
    int sign;
    std::uint64_t magnitude;
    bool operator==(const Product&) const = default;
};

std::uint64_t magnitudeOf(std::int64_t value) {
    return value < 0 ? static_cast<std::uint64_t>(-value) : static_cast<std::uint64_t>(value);
}

Product multiply(std::int64_t a, std::int64_t b) {
    if (a == 0 || b == 0) {
        return {0, 0};
    }
    return {(a < 0) == (b < 0) ? 1 : -1, magnitudeOf(a) * magnitudeOf(b)};
}

// The library's inverse stops the process only where its back substitution meets an exactly
// zero diagonal element of U; LUfactor on a copy yields that very U, since the same
// operations run on the same values.
bool pivotsNonZero(linal::Matrix m) {
    linal::Permutation pivot(m.m, 0, 0);
    linal::LUfactor(m, pivot);
    for (int i = 1; i <= std::min(m.m, m.n); ++i) {
        if (m(i, i) == 0.0) {
            return false;
        }
    }
    return true;
}

bool allFinite(const linal::Matrix& m) {
    for (int i = 1; i <= m.m; ++i) {
        for (int j = 1; j <= m.n; ++j) {
            if (!std::isfinite(m(i, j))) {
                return false;
            }
        }
    }
    return true;
}

bool wholePixel(double v) {
    return v == std::floor(v) && v >= -2147483648.0 && v <= 2147483647.0;
}

}  // namespace

// a, b and c are on one line when the cross product (b − a) × (c − a) is zero: exactly in
// 64-bit integers for whole pixels, in double for refined points.
bool collinear(Point a, Point b, Point c) {
    const bool whole = wholePixel(a.x) && wholePixel(a.y) && wholePixel(b.x) && wholePixel(b.y) &&
                       wholePixel(c.x) && wholePixel(c.y);
    if (!whole) {
        return (b.x - a.x) * (c.y - a.y) == (b.y - a.y) * (c.x - a.x);
    }
    const auto i = [](double v) { return static_cast<std::int64_t>(v); };
    const std::int64_t bx = i(b.x) - i(a.x);
    const std::int64_t by = i(b.y) - i(a.y);
    const std::int64_t cx = i(c.x) - i(a.x);
    const std::int64_t cy = i(c.y) - i(a.y);
    return multiply(bx, cy) == multiply(by, cx);
}

namespace {

// Whether every point but the one at `skip` (none when skip is past the end) lies on the line
// through the first two of them.
bool onOneLine(std::span<const Point> points, std::size_t skip) {
    std::vector<Point> rest;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i != skip) {
            rest.push_back(points[i]);
        }
    }
    return std::all_of(rest.begin() + 2, rest.end(),
                       [&](Point p) { return collinear(rest[0], rest[1], p); });
}

}  // namespace

PointSetFault checkPointSet(std::span<const Point> points) {
    if (points.size() < 4) {
        return PointSetFault::wrongCount;
    }
    std::vector<Point> sorted(points.begin(), points.end());
    const auto order = [](Point a, Point b) { return a.x != b.x ? a.x < b.x : a.y < b.y; };
    const auto equal = [](Point a, Point b) { return a.x == b.x && a.y == b.y; };
    std::sort(sorted.begin(), sorted.end(), order);
    if (std::adjacent_find(sorted.begin(), sorted.end(), equal) != sorted.end()) {
        return PointSetFault::coincident;
    }
    // A homography needs four points of which no three are on one line; a set has none such
    // exactly when it lies on one line and one more point. That point is the first, the
    // second, or another one, and then the line is the one through the first two.
    std::size_t offLine = 0;
    for (std::size_t i = 2; i < points.size(); ++i) {
        offLine += collinear(points[0], points[1], points[i]) ? 0 : 1;
    }
    if (offLine <= 1 || onOneLine(points, 0) || onOneLine(points, 1)) {
        return PointSetFault::collinear;
    }
    return PointSetFault::none;
}

HomographyEstimate estimateHomography(std::span<const Point> input, std::span<const Point> output) {
    HomographyEstimate estimate;
    estimate.fault =
        input.size() != output.size() ? PointSetFault::wrongCount : checkPointSet(input);
    if (estimate.fault == PointSetFault::none) {
        estimate.fault = checkPointSet(output);
    }
    if (estimate.fault != PointSetFault::none) {
        return estimate;
    }
    estimate.fault = PointSetFault::unstable;
    // Exact arithmetic would always succeed here; rounding can still cancel a pivot to 0.
    const NormalEquations system = normalEquations(output, input);
    if (!allFinite(system.N) || !pivotsNonZero(system.N)) {
        return estimate;
    }
    estimate.H = ComputeHomography(system);
    if (const std::optional<linal::Matrix> inverse = safeInverse(estimate.H)) {
        estimate.inverse = *inverse;
        estimate.fault = PointSetFault::none;
    }
    return estimate;
}

std::optional<linal::Matrix> safeInverse(const linal::Matrix& m) {
    if (!allFinite(m) || !pivotsNonZero(m)) {
        return std::nullopt;
    }
    linal::Matrix inverse = linal::inverse(m);
    if (!allFinite(inverse)) {
        return std::nullopt;
    }
    return inverse;
}
