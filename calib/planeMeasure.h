// Measuring on the plane through a calibration: where an input pixel lies on the plane, and
// distances, angles and areas of plane points given as input pixels, each with how far the
// fit's own uncertainty may move it.
#pragma once

#include <span>
#include <vector>

#include "calib/planeUnits.h"

// A value and its uncertainty, three standard deviations.
struct Measurement {
    double value = 0;
    double plusMinus = 0;
};

// The output point of a delivered input point: undistorted, then through H⁻¹ (the inverse).
Point outputPointOf(const linal::Matrix& inverse, const LensDistortion& lens, Point delivered);

// The uncertainty is the covariance of the fit's parameters, σ²·(JᵀJ)⁻¹ with σ² the residual
// sum of squares over the residuals to spare, propagated through the value's gradient. With
// none to spare (four pairs, no lines) σ is what clicking gives: 0.5 px for whole-pixel input
// points, 0.05 px for refined ones.
class PlaneMeasure {
  public:
    // `calibration` from calibratePlane of these input points, plane and lines.
    PlaneMeasure(std::span<const Point> input, std::span<const StraightLine> lines,
                 const PlaneUnits& plane, const PlaneCalibration& calibration);
    Point planePoint(Point delivered) const;
    Measurement distance(Point a, Point b) const;
    Measurement angle(Point a, Point vertex, Point b) const;  // degrees, at vertex
    Measurement area(std::span<const Point> polygon) const;   // square units

  private:
    using Points = std::vector<Point>;
    // f of the plane points of `pixels` with the value through the calibration and the
    // uncertainty through the model.
    template <typename F>
    Measurement measure(std::span<const Point> pixels, F f) const;
    FitModel model;
    std::vector<double> covariance;  // parameters × parameters
    linal::Matrix planeFromIdeal{3, 3, 0.0};
    LensDistortion lens;
};
