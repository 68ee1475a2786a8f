// Corner refinement by gradient orthogonality.
//
// Near an X-corner c, every edge is a line through c, so at a pixel q on an edge the image
// gradient g(q) is orthogonal to q - c, and at a pixel off the edges g(q) is zero: in both
// cases g(q)ᵀ(q - c) = 0. Over the pixels q around the estimate p, c is the least-squares
// solution of these equations with weights w(q - p):
//
//     (Σ w g gᵀ) c = Σ w g gᵀ q
//
// a 2 × 2 system, solved again around each new estimate until it moves less than 10⁻³ px.
// The weights are centred on the estimate itself, not on its nearest pixel, so the window
// moves smoothly with p and weighs both sides of the corner alike:
//
//     w(d) = exp(-|d|² / 2σ²) · (1 - exp(-|d|² / 2ζ²)),  σ = radius / 2, ζ = 2 px
//
// The second factor fades out the centre, where blur and the pixel grid mix all four squares
// and the gradients point nowhere in particular (what a zero zone does, without its step).
// Gradients are Scharr's 3 × 3 differences, whose direction errors are smaller than those of
// central differences. With blur σ 0.8 px this leaves about 0.02 px of error from the pixel
// grid, plus the noise's share.
//
// The system is singular on a flat window and on a straight edge (all gradients parallel):
// the smaller eigenvalue of Σ w g gᵀ must be a tenth of the larger at least. An X-corner is
// point-symmetric about c, I(c + d) = I(c - d), whatever the perspective (the two lines
// through c stay lines), while an L-corner, a T-junction or texture is not: over the window
// resampled around c, the Gaussian-weighted asymmetry Σ (I(c + d) - I(c - d))² must stay
// below 0.15 of the variance Σ (I - mean)².
#include "calib/cornerRefine.h"

#include <array>
#include <cmath>

namespace {

constexpr int kMaxRadius = 10;
constexpr int kSide = 2 * (kMaxRadius + 1) + 1;

// The picture resampled at p + (i, j), |i|, |j| <= half; false when that leaves the picture.
bool samplePatch(const ConstPlane& g, PointD p, int half, std::array<double, kSide * kSide>& out) {
    const double x0 = std::floor(p.x - half), y0 = std::floor(p.y - half);
    if (!(x0 >= 0 && y0 >= 0 && x0 + 2 * half + 1 <= g.width - 1 &&
          y0 + 2 * half + 1 <= g.height - 1)) {
        return false;
    }
    const double fx = p.x - half - x0, fy = p.y - half - y0;
    const double w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy, w11 = fx * fy;
    const int side = 2 * half + 1;
    for (int j = 0; j < side; ++j) {
        const unsigned char* r0 = g.data + (static_cast<std::ptrdiff_t>(y0) + j) * g.stride +
                                  static_cast<std::ptrdiff_t>(x0);
        const unsigned char* r1 = r0 + g.stride;
        for (int i = 0; i < side; ++i)
            out[j * kSide + i] = w00 * r0[i] + w10 * r0[i + 1] + w01 * r1[i] + w11 * r1[i + 1];
    }
    return true;
}

// Whether the window around p is point-symmetric about it with some contrast: see above.
bool isXCorner(const ConstPlane& grey, PointD p, int radius) {
    const int half = radius + 1, c = half * kSide + half;
    std::array<double, kSide * kSide> patch;
    if (!samplePatch(grey, p, half, patch))
        return false;
    const double sigma = radius / 2.0;
    double sum = 0, squares = 0, asymmetry = 0, total = 0;
    for (int j = -radius; j <= radius; ++j)
        for (int i = -radius; i <= radius; ++i) {
            const double w = std::exp(-(i * i + j * j) / (2 * sigma * sigma));
            const double v = patch[c + j * kSide + i], mirrored = patch[c - j * kSide - i];
            sum += w * v, squares += w * v * v, total += w;
            asymmetry += w * (v - mirrored) * (v - mirrored);
        }
    const double variance = squares / total - (sum / total) * (sum / total);
    // At least 6 grey levels of contrast: noise alone does not make a corner.
    return variance >= 36 && asymmetry / total <= 0.15 * variance;
}

}  // namespace

std::optional<PointD> refineCorner(ConstPlane grey, PointD start, int radius, double reach) {
    if (radius < 2 || radius > kMaxRadius)
        return std::nullopt;
    const double sigma = radius / 2.0, zeta = 2.0;
    const int half = radius + 1;
    auto at = [&](int x, int y) -> double { return grey.data[y * grey.stride + x]; };
    PointD p = start;
    for (int iteration = 0;; ++iteration) {
        const int cx = static_cast<int>(std::lround(p.x)), cy = static_cast<int>(std::lround(p.y));
        if (iteration == 40 || !(cx - half - 1 >= 0 && cy - half - 1 >= 0 &&
                                 cx + half + 1 < grey.width && cy + half + 1 < grey.height)) {
            return std::nullopt;
        }
        // The weights are products of one factor per axis: w = ex·ey - (ex·zx)(ey·zy).
        std::array<double, kSide> ex, ey, ezx, ezy;
        for (int k = -half; k <= half; ++k) {
            const double dx = cx + k - p.x, dy = cy + k - p.y;
            ex[k + half] = std::exp(-dx * dx / (2 * sigma * sigma));
            ey[k + half] = std::exp(-dy * dy / (2 * sigma * sigma));
            ezx[k + half] = ex[k + half] * std::exp(-dx * dx / (2 * zeta * zeta));
            ezy[k + half] = ey[k + half] * std::exp(-dy * dy / (2 * zeta * zeta));
        }
        double a11 = 0, a12 = 0, a22 = 0, b1 = 0, b2 = 0;
        for (int j = -half; j <= half; ++j) {
            const int y = cy + j;
            const double qy = y - p.y;
            for (int i = -half; i <= half; ++i) {
                const int x = cx + i;
                const double qx = x - p.x;
                const double w = ex[i + half] * ey[j + half] - ezx[i + half] * ezy[j + half];
                const double gx = 3 * (at(x + 1, y - 1) - at(x - 1, y - 1) + at(x + 1, y + 1) -
                                       at(x - 1, y + 1)) +
                                  10 * (at(x + 1, y) - at(x - 1, y));
                const double gy = 3 * (at(x - 1, y + 1) - at(x - 1, y - 1) + at(x + 1, y + 1) -
                                       at(x + 1, y - 1)) +
                                  10 * (at(x, y + 1) - at(x, y - 1));
                const double xx = w * gx * gx, xy = w * gx * gy, yy = w * gy * gy;
                a11 += xx, a12 += xy, a22 += yy;
                b1 += xx * qx + xy * qy, b2 += xy * qx + yy * qy;
            }
        }
        const double det = a11 * a22 - a12 * a12, trace = a11 + a22;
        // λmin / λmax >= 0.1 is det / trace² >= 0.1 / 1.1².
        if (!(trace > 0 && det >= 0.0826 * trace * trace))
            return std::nullopt;
        const double dx = (a22 * b1 - a12 * b2) / det, dy = (a11 * b2 - a12 * b1) / det;
        p = {p.x + dx, p.y + dy};
        if (std::hypot(p.x - start.x, p.y - start.y) > reach)
            return std::nullopt;
        if (dx * dx + dy * dy < 1e-6)
            break;
    }
    return isXCorner(grey, p, radius) ? std::optional<PointD>(p) : std::nullopt;
}

std::optional<PointD> snapToCorner(ConstPlane grey, PointD click) {
    return refineCorner(grey, click, 5, 5.5);
}
