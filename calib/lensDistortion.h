// Radial lens distortion, the division model about the frame centre. A point d as the camera
// delivers it (frame pixels) comes from the ideal pinhole point
//     u = c + (d − c) / (1 + k1·ρ² + k2·ρ⁴),   ρ = |d − c| / R,
// where c = ((W − 1) / 2, (H − 1) / 2) is the centre of the frame and R = |c| the distance from
// it to the centre of a corner pixel, so ρ = 1 there. Barrel distortion (the usual webcam's)
// has k1 < 0: the camera pulls the plane's outer parts towards the centre, and undistorting
// moves a pixel outwards. H maps output points to ideal points u; the warp then finds the
// delivered point d of each u.
#pragma once

#include <array>
#include <optional>

#include "calib/point.h"
#include "cpu/radialTable.h"

struct LensDistortion {
    double k1 = 0.0;
    double k2 = 0.0;
    double cx = 0.0, cy = 0.0;  // c
    double radius = 1.0;        // R
    bool none() const { return k1 == 0.0 && k2 == 0.0; }
};

// No distortion yet, centred on a frame of this size.
LensDistortion centredLens(int frameWidth, int frameHeight);

// u of a delivered point d.
Point undistort(const LensDistortion& lens, Point d);

// d of an ideal point u: the delivered point whose undistortion is u, searched within 1.5 R
// of the centre where the model is one-to-one. None where no such point is.
std::optional<Point> distort(const LensDistortion& lens, Point u);

// How far undistorting moves a frame corner, in pixels.
double cornerShift(const LensDistortion& lens);

// Whether the model is one-to-one and keeps its orientation over the frame and a margin:
// 1 + k1·ρ² + k2·ρ⁴ > 0 and ρ / (1 + k1·ρ² + k2·ρ⁴) rising for ρ up to 1.5.
bool usableLens(const LensDistortion& lens);

// The same distortion in OpenCV's model, for its camera matrix [R 0 cx; 0 R cy; 0 0 1]: the
// coefficients (k1, k2, p1, p2, k3) of x_d = x_u·(1 + k1·r² + k2·r⁴ + k3·r⁶) that fit ours best
// (least squares over the radii of the frame), no tangential terms.
std::array<double, 5> opencvCoefficients(const LensDistortion& lens);

// The warp's table (cpu/radialTable.h) for a usable lens: s(q) = |d − c| / |u − c| at
// q = |u − c|², up to the ideal radius of a delivered point 2 pixels beyond the corners.
// Empty for no distortion.
RadialTable radialTableOf(const LensDistortion& lens);
