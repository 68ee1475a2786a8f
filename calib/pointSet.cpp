#include "calib/pointSet.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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

}  // namespace

// a, b and c are on one line when the cross product (b − a) × (c − a) is zero.
bool collinear(Point a, Point b, Point c) {
    const std::int64_t bx = std::int64_t{b.x} - a.x;
    const std::int64_t by = std::int64_t{b.y} - a.y;
    const std::int64_t cx = std::int64_t{c.x} - a.x;
    const std::int64_t cy = std::int64_t{c.y} - a.y;
    return multiply(bx, cy) == multiply(by, cx);
}

PointSetFault checkPointSet(std::span<const Point> points) {
    if (points.size() != 4) {
        return PointSetFault::wrongCount;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = i + 1; j < 4; ++j) {
            if (points[i].x == points[j].x && points[i].y == points[j].y) {
                return PointSetFault::coincident;
            }
        }
    }
    // The four triples that leave out one point each.
    for (std::size_t skip = 0; skip < 4; ++skip) {
        Point triple[3];
        std::size_t k = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            if (i != skip) {
                triple[k++] = points[i];
            }
        }
        if (collinear(triple[0], triple[1], triple[2])) {
            return PointSetFault::collinear;
        }
    }
    return PointSetFault::none;
}

PointSetFault checkPointPairs(std::span<const Point> input, std::span<const Point> output) {
    PointSetFault fault = checkPointSet(input);
    if (fault == PointSetFault::none) {
        fault = checkPointSet(output);
    }
    if (fault != PointSetFault::none) {
        return fault;
    }
    std::array<Point, 4> inputPoints{};
    std::array<Point, 4> outputPoints{};
    std::copy(input.begin(), input.end(), inputPoints.begin());
    std::copy(output.begin(), output.end(), outputPoints.begin());
    // Exact arithmetic would always succeed here; rounding can still cancel a pivot to 0.
    if (!pivotsNonZero(normalMatrix(outputPoints, inputPoints))) {
        return PointSetFault::unstable;
    }
    const linal::Matrix H = ComputeHomography(outputPoints, inputPoints);
    if (!allFinite(H) || !pivotsNonZero(H) || !allFinite(linal::inverse(H))) {
        return PointSetFault::unstable;
    }
    return PointSetFault::none;
}
