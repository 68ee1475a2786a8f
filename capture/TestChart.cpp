#include "capture/TestChart.h"

#include <cmath>
#include <cstddef>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCardWidth = chartSquaresAcross + 1.0;
constexpr double kCardHeight = chartSquaresDown + 1.0;
constexpr double kSwayPixels = 2.5;
constexpr double kSwaySeconds = 4.0;

struct Bgr {
    int b;
    int g;
    int r;
};

// A plane-to-plane mapping as a row-major 3 × 3 matrix.
struct Projective {
    double m[3][3];

    ChartPoint apply(double x, double y) const {
        const double w = m[2][0] * x + m[2][1] * y + m[2][2];
        return {(m[0][0] * x + m[0][1] * y + m[0][2]) / w,
                (m[1][0] * x + m[1][1] * y + m[1][2]) / w};
    }

    // The inverse up to scale, which is all a projective mapping needs: the adjugate.
    Projective adjugate() const {
        Projective a{};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                const int r1 = (c + 1) % 3;
                const int r2 = (c + 2) % 3;
                const int c1 = (r + 1) % 3;
                const int c2 = (r + 2) % 3;
                a.m[r][c] = m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1];
            }
        }
        return a;
    }
};

// The unit square (0,0), (1,0), (1,1), (0,1) onto the quadrilateral q, in that order.
Projective squareToQuad(const std::array<ChartPoint, 4>& q) {
    const double sx = q[0].x - q[1].x + q[2].x - q[3].x;
    const double sy = q[0].y - q[1].y + q[2].y - q[3].y;
    const double dx1 = q[1].x - q[2].x;
    const double dx2 = q[3].x - q[2].x;
    const double dy1 = q[1].y - q[2].y;
    const double dy2 = q[3].y - q[2].y;
    const double den = dx1 * dy2 - dx2 * dy1;
    const double g = (sx * dy2 - dx2 * sy) / den;
    const double h = (dx1 * sy - sx * dy1) / den;
    return {{{q[1].x - q[0].x + g * q[1].x, q[3].x - q[0].x + h * q[3].x, q[0].x},
             {q[1].y - q[0].y + g * q[1].y, q[3].y - q[0].y + h * q[3].y, q[0].y},
             {g, h, 1.0}}};
}

bool inDisc(double x, double y, double cx, double cy) {
    const double r = 0.28;
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

// The colour at card position (x, y) in units, or of the table around the card; row is
// the picture row, for the table's soft shading.
Bgr chartColour(double x, double y, int row) {
    if (!(x >= 0.0 && x < kCardWidth && y >= 0.0 && y < kCardHeight)) {
        const int shade = 70 + row / 12;
        return {shade + 25, shade + 10, shade};
    }
    // Discs mark the top-left (red), top-right (green) and bottom-left (blue) squares,
    // so that the board's orientation survives any rectification.
    if (inDisc(x, y, 1.0, 1.0)) {
        return {40, 40, 220};
    }
    if (inDisc(x, y, kCardWidth - 1.0, 1.0)) {
        return {50, 190, 40};
    }
    if (inDisc(x, y, 1.0, kCardHeight - 1.0)) {
        return {210, 80, 30};
    }
    const double bx = x - 0.5;
    const double by = y - 0.5;
    if (bx < 0.0 || by < 0.0 || bx >= chartSquaresAcross || by >= chartSquaresDown) {
        return {235, 235, 235};
    }
    const bool dark = (static_cast<int>(bx) + static_cast<int>(by)) % 2 == 0;
    return dark ? Bgr{25, 25, 25} : Bgr{235, 235, 235};
}

unsigned char clampByte(int v) {
    return static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// BT.601 studio-range luma of a colour.
unsigned char luma(const Bgr& p) {
    return clampByte(((66 * p.r + 129 * p.g + 25 * p.b + 128) >> 8) + 16);
}

}  // namespace

std::array<ChartPoint, 4> chartCornersAtRest() {
    return {{{172.0, 92.0}, {478.0, 70.0}, {566.0, 412.0}, {88.0, 396.0}}};
}

std::array<ChartPoint, 4> chartCornersAt(double seconds) {
    std::array<ChartPoint, 4> corners = chartCornersAtRest();
    const double phase = 2.0 * kPi * seconds / kSwaySeconds;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const double offset = phase + 0.9 * static_cast<double>(i);
        corners[i].x += kSwayPixels * std::sin(offset);
        corners[i].y += kSwayPixels * std::cos(offset);
    }
    return corners;
}

void drawChartFrame(double seconds, unsigned char* yuy2, int width, int height) {
    // Picture to unit square, then to card units.
    const Projective toSquare = squareToQuad(chartCornersAt(seconds)).adjugate();
    // Each pixel is the mean of a 2 × 2 grid of samples, so that the edges are smooth.
    constexpr double kOffsets[2] = {-0.25, 0.25};
    for (int row = 0; row < height; ++row) {
        unsigned char* out =
            yuy2 + static_cast<std::size_t>(row) * static_cast<std::size_t>(width) * 2;
        for (int col = 0; col + 1 < width; col += 2, out += 4) {
            Bgr pair[2] = {};
            for (int k = 0; k < 2; ++k) {
                Bgr sum{0, 0, 0};
                for (double dy : kOffsets) {
                    for (double dx : kOffsets) {
                        const ChartPoint s = toSquare.apply(col + k + dx, row + dy);
                        const Bgr c = chartColour(s.x * kCardWidth, s.y * kCardHeight, row);
                        sum = {sum.b + c.b, sum.g + c.g, sum.r + c.r};
                    }
                }
                pair[k] = {sum.b / 4, sum.g / 4, sum.r / 4};
            }
            const Bgr mean{(pair[0].b + pair[1].b) / 2, (pair[0].g + pair[1].g) / 2,
                           (pair[0].r + pair[1].r) / 2};
            out[0] = luma(pair[0]);
            out[1] = clampByte(((-38 * mean.r - 74 * mean.g + 112 * mean.b + 128) >> 8) + 128);
            out[2] = luma(pair[1]);
            out[3] = clampByte(((112 * mean.r - 94 * mean.g - 18 * mean.b + 128) >> 8) + 128);
        }
    }
}
