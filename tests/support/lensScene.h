// Point pairs and straight lines seen through a lens, from their own geometry, independent of
// the program: a plane (in output pixels) seen by a tilted pinhole camera, whose ideal image
// the lens bends by the polynomial radial model d = c + (u − c)·(1 + a1·ρ² + a2·ρ⁴),
// ρ = |u − c| / R about the frame centre c, R the distance from c to a corner pixel's centre.
// Another model than the program's, as a real lens is.
#pragma once

#include <cmath>
#include <optional>
#include <random>
#include <vector>

#include "calib/point.h"
#include "tests/support/renderChart.h"

namespace lens {

using chart::Xy;

struct Truth {
    int width = 1280, height = 720;
    double a1 = 0, a2 = 0;
    chart::Homography planeToIdeal = chart::tiltedView(1280, 720, 35, 1000, 1300, {640, 360}, 8);
};

// The delivered point of ideal point u; with `back`, the ideal point of delivered point u
// (by fixed-point iteration, for the mild lenses here).
inline Xy bend(const Truth& t, Xy u, bool back = false) {
    const double cx = (t.width - 1) / 2.0, cy = (t.height - 1) / 2.0;
    Xy v = u;
    for (int i = 0; i < (back ? 60 : 1); ++i) {
        const double p = ((v.x - cx) * (v.x - cx) + (v.y - cy) * (v.y - cy)) / (cx * cx + cy * cy);
        const double f = 1 + t.a1 * p + t.a2 * p * p;
        v = back ? Xy{cx + (u.x - cx) / f, cy + (u.y - cy) / f}
                 : Xy{cx + (u.x - cx) * f, cy + (u.y - cy) * f};
    }
    return v;
}

inline Xy deliver(const Truth& t, Xy plane) {
    return bend(t, chart::apply(t.planeToIdeal, plane));
}

inline bool inFrame(const Truth& t, Xy d) {
    return d.x >= 0 && d.y >= 0 && d.x <= t.width - 1 && d.y <= t.height - 1;
}

// The plane seen: the output frame less 5 % on every side. The points of a cols × rows grid
// (from edge to edge) over it whose images fall in the frame.
inline std::vector<Xy> planeGrid(const Truth& t, int cols, int rows) {
    std::vector<Xy> points;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i) {
            const Xy p{t.width * (0.05 + 0.9 * i / (cols - 1)),
                       t.height * (0.05 + 0.9 * j / (rows - 1))};
            if (inFrame(t, deliver(t, p)))
                points.push_back(p);
        }
    return points;
}

struct Pairs {
    std::vector<Point> input, output;       // delivered (with noise), plane
    std::vector<std::vector<Point>> lines;  // delivered points along straight plane lines
};

// The pairs of a cols × rows grid over the plane, noise σ in
// pixels on the delivered points; `lines` straight lines across the plane of 12 points each.
inline Pairs render(const Truth& t, int cols, int rows, int lines, double noise, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> n(0, noise);
    Pairs s;
    for (Xy p : planeGrid(t, cols, rows)) {
        const Xy d = deliver(t, p);
        s.output.push_back({p.x, p.y});
        s.input.push_back({d.x + n(rng), d.y + n(rng)});
    }
    for (int l = 0; l < lines; ++l) {
        // Lines near the edges, where the lens bends most: across, then along the plane.
        const double at = l % 2 == 0 ? 0.08 + 0.84 * (l / 2 % 2) : 0.1 + 0.8 * (l / 2 % 2);
        s.lines.emplace_back();
        for (int i = 0; i < 12; ++i) {
            const double f = (i + 0.5) / 12;
            const Xy p =
                l % 2 == 0 ? Xy{t.width * f, t.height * at} : Xy{t.width * at, t.height * f};
            const Xy d = deliver(t, p);
            if (inFrame(t, d))
                s.lines.back().push_back({d.x + n(rng), d.y + n(rng)});
        }
    }
    return s;
}

// A 600 × 400 mm target with a 7 × 5 grid of marks 100 mm apart, seen at `tilt` degrees in a
// 1920 × 1080 frame, no lens. Pairs: the marks' frame positions with noise σ (what snapped
// corners give), and their plane points in millimetres, exact.
inline Truth targetView(double tilt = 40) {
    return {1920, 1080, 0, 0, chart::tiltedView(1920, 1080, tilt, 1400, 1100, {300, 200}, 5)};
}
inline Pairs renderTarget(const Truth& t, double noise, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> n(0, noise);
    Pairs s;
    for (int k = 0; k < 35; ++k) {
        const Xy p{100.0 * (k % 7), 100.0 * (k / 7)}, d = deliver(t, p);
        s.output.push_back({p.x, p.y});
        s.input.push_back({d.x + n(rng), d.y + n(rng)});
    }
    return s;
}

// The worst distance, over a dense grid of the plane seen in the frame, between where the
// estimate and the truth put each plane point in the frame (no image counts as infinite).
template <typename Estimate>  // std::optional<Point>(Point plane)
double worstPlaneError(const Truth& t, const Estimate& estimate) {
    double worst = 0;
    for (Xy p : planeGrid(t, 64, 36)) {
        const std::optional<Point> e = estimate(Point{p.x, p.y});
        const Xy d = deliver(t, p);
        worst = std::fmax(worst, e ? std::hypot(e->x - d.x, e->y - d.y) : INFINITY);
    }
    return worst;
}

}  // namespace lens
