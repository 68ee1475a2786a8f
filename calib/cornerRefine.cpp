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

#include <algorithm>
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

// Whether the window of pixels within half of (cx, cy), and a neighbour of each, lies in the
// picture, as the gradients over the window need.
bool windowFits(const ConstPlane& g, int cx, int cy, int half) {
    return cx - half - 1 >= 0 && cy - half - 1 >= 0 && cx + half + 1 < g.width &&
           cy + half + 1 < g.height;
}

// Scharr's gradient at pixel (x, y), which must have a neighbour on every side.
PointD scharr(const ConstPlane& g, int x, int y) {
    auto at = [&](int i, int j) -> double { return g.data[j * g.stride + i]; };
    return {3 * (at(x + 1, y - 1) - at(x - 1, y - 1) + at(x + 1, y + 1) - at(x - 1, y + 1)) +
                10 * (at(x + 1, y) - at(x - 1, y)),
            3 * (at(x - 1, y + 1) - at(x - 1, y - 1) + at(x + 1, y + 1) - at(x + 1, y - 1)) +
                10 * (at(x, y + 1) - at(x, y - 1))};
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

// The point the gradient-orthogonality iteration from start converges to: see above.
std::optional<PointD> solve(const ConstPlane& grey, PointD start, int radius, double reach) {
    const double sigma = radius / 2.0, zeta = 2.0;
    const int half = radius + 1;
    PointD p = start;
    for (int iteration = 0;; ++iteration) {
        const int cx = static_cast<int>(std::lround(p.x)), cy = static_cast<int>(std::lround(p.y));
        if (iteration == 40 || !windowFits(grey, cx, cy, half)) {
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
                const auto [gx, gy] = scharr(grey, x, y);
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
    return p;
}

// Whether the window around c is an L about the edges of normals n1, n2: of the four
// quadrants they cut, away from the blurred edges, one differs by 6 grey levels at least
// from the other three, which agree (a T-junction's do not, nor texture's).
bool isLCorner(const ConstPlane& grey, PointD c, int radius, PointD n1, PointD n2) {
    const int half = radius + 1;
    std::array<double, kSide * kSide> patch;
    if (!samplePatch(grey, c, half, patch))
        return false;
    std::array<double, 4> sum{}, count{};
    for (int j = -radius; j <= radius; ++j)
        for (int i = -radius; i <= radius; ++i) {
            const double s1 = n1.x * i + n1.y * j, s2 = n2.x * i + n2.y * j;
            if (i * i + j * j > radius * radius || std::abs(s1) < 1.5 || std::abs(s2) < 1.5)
                continue;
            const int q = (s1 > 0) + 2 * (s2 > 0);
            sum[q] += patch[(half + j) * kSide + half + i], count[q] += 1;
        }
    for (int q = 0; q < 4; ++q)
        if (count[q] == 0)
            return false;
    for (int odd = 0; odd < 4; ++odd) {
        double low = 255, high = 0, others = 0;
        for (int q = 0; q < 4; ++q)
            if (q != odd) {
                const double m = sum[q] / count[q];
                low = std::min(low, m), high = std::max(high, m), others += m / 3;
            }
        const double contrast = std::abs(sum[odd] / count[odd] - others);
        if (contrast >= 6 && high - low <= 0.2 * contrast)
            return true;
    }
    return false;
}

// The L-corner near p, the solve's result there, which blur pulls into the region: each
// edge's line fitted through its own pixels 3 to radius + 3 pixels along it from the
// estimate, weighted by their gradient across it, and the two lines intersected; again from
// there until it settles.
std::optional<PointD> lCorner(const ConstPlane& grey, PointD p, int radius) {
    struct Sample {
        PointD q, g;
    };
    std::array<Sample, (2 * kMaxRadius + 11) * (2 * kMaxRadius + 11)> samples;
    PointD n[2];
    const int half = radius + 5;
    for (int pass = 0; pass < 10; ++pass) {
        const int cx = static_cast<int>(std::lround(p.x)), cy = static_cast<int>(std::lround(p.y));
        if (!windowFits(grey, cx, cy, half)) {
            return std::nullopt;
        }
        int count = 0;
        Sample strongest{};
        for (int y = cy - half; y <= cy + half; ++y)
            for (int x = cx - half; x <= cx + half; ++x) {
                samples[count++] = {{x - p.x, y - p.y}, scharr(grey, x, y)};
                const PointD g = samples[count - 1].g, s = strongest.g;
                if (g.x * g.x + g.y * g.y > s.x * s.x + s.y * s.y)
                    strongest = samples[count - 1];
            }
        // The two edges' normals: the strongest gradient's and the one most across it, then
        // each the principal direction of the gradients nearer it than the other (2-means).
        const double top = std::hypot(strongest.g.x, strongest.g.y);
        if (!(top > 0))
            return std::nullopt;
        n[0] = {strongest.g.x / top, strongest.g.y / top};
        double across = 0;
        for (int k = 0; k < count; ++k) {
            const PointD g = samples[k].g;
            const double c = n[0].x * g.y - n[0].y * g.x;
            if (c * c > across)
                across = c * c, n[1] = g;
        }
        if (!(across > 0))
            return std::nullopt;
        const double length = std::hypot(n[1].x, n[1].y);
        n[1] = {n[1].x / length, n[1].y / length};
        for (int round = 0; round < 5; ++round) {
            double t[2][3] = {};
            for (int k = 0; k < count; ++k) {
                const PointD g = samples[k].g;
                const double d0 = n[0].x * g.x + n[0].y * g.y, d1 = n[1].x * g.x + n[1].y * g.y;
                double* e = t[d1 * d1 > d0 * d0];
                e[0] += g.x * g.x, e[1] += g.x * g.y, e[2] += g.y * g.y;
            }
            for (int e = 0; e < 2; ++e) {
                const double angle = std::atan2(2 * t[e][1], t[e][0] - t[e][2]) / 2;
                n[e] = {std::cos(angle), std::sin(angle)};
            }
        }
        // Each edge's line fitted to its pixels, weighted by (n·g)² and by how far along the
        // edge they lie: from 3 to radius + 3 pixels, ramped in and out so that the weights change
        // smoothly with p, and whole across the edge. The offset s across the edge regressed
        // on the place t along it: at each t the weights are symmetric about the edge, while
        // the gradients' own direction there leans towards the rounded corner.
        double w[2], r[2];
        for (int round = 0; round < 3; ++round) {
            double m[2][5] = {};  // Σ v, Σ v t, Σ v s, Σ v t², Σ v t s
            for (int k = 0; k < count; ++k) {
                const auto [q, g] = samples[k];
                const double d0 = n[0].x * g.x + n[0].y * g.y, d1 = n[1].x * g.x + n[1].y * g.y;
                const int e = d1 * d1 > d0 * d0;
                const double t = n[e].x * q.y - n[e].y * q.x, s = n[e].x * q.x + n[e].y * q.y;
                if (std::abs(s) > 4)
                    continue;
                const double v = (e ? d1 * d1 : d0 * d0) * std::clamp(std::abs(t) - 2.5, 0.0, 1.0) *
                                 std::clamp(radius + 3.5 - std::abs(t), 0.0, 1.0);
                m[e][0] += v, m[e][1] += v * t, m[e][2] += v * s, m[e][3] += v * t * t,
                    m[e][4] += v * t * s;
            }
            for (int e = 0; e < 2; ++e) {
                w[e] = m[e][0];
                const double tm = m[e][1] / w[e], sm = m[e][2] / w[e];
                const double slope = (m[e][4] / w[e] - tm * sm) / (m[e][3] / w[e] - tm * tm);
                const double a = sm - slope * tm, norm = std::hypot(1.0, slope);
                // s = a + slope·t: normal n - slope·τ, τ = (-n.y, n.x), through a·n.
                n[e] = {(n[e].x + slope * n[e].y) / norm, (n[e].y - slope * n[e].x) / norm};
                r[e] = a / norm;
            }
        }
        const double det = n[0].x * n[1].y - n[0].y * n[1].x;
        // Edges at 30° at least.
        if (!(w[0] > 0 && w[1] > 0 && std::abs(det) >= 0.5))
            return std::nullopt;
        const double r0 = r[0], r1 = r[1];
        const double dx = (r0 * n[1].y - r1 * n[0].y) / det, dy = (n[0].x * r1 - n[1].x * r0) / det;
        p = {p.x + dx, p.y + dy};
        if (dx * dx + dy * dy < 1e-6)
            return isLCorner(grey, p, radius, n[0], n[1]) ? std::optional<PointD>(p) : std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::optional<PointD> refineCorner(ConstPlane grey, PointD start, int radius, double reach) {
    if (radius < 2 || radius > kMaxRadius)
        return std::nullopt;
    const std::optional<PointD> p = solve(grey, start, radius, reach);
    return p && isXCorner(grey, *p, radius) ? p : std::nullopt;
}

std::optional<PointD> snapToCorner(ConstPlane grey, PointD click) {
    const std::optional<PointD> p = solve(grey, click, 5, 5.5);
    if (!p || isXCorner(grey, *p, 5))
        return p;
    const std::optional<PointD> l = lCorner(grey, *p, 5);
    return l && std::hypot(l->x - click.x, l->y - click.y) <= 5.5 ? l : std::nullopt;
}
