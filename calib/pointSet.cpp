#include "calib/pointSet.h"

#include <cstdint>

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
