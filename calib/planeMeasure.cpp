#include "calib/planeMeasure.h"

#include <cmath>
#include <numbers>

#include "calib/homography.h"

namespace {

// The inverse of a symmetric n × n matrix, a column at a time; zeros when singular (no
// uncertainty can then be stated from it).
std::vector<double> inverted(const std::vector<double>& a, int n) {
    std::vector<double> inverse(std::size_t(n * n), 0.0);
    for (int c = 0; c < n; ++c) {
        std::vector<double> column(std::size_t(n), 0.0);
        column[std::size_t(c)] = 1;
        if (!solveSmall(a, column, n)) {
            return std::vector<double>(std::size_t(n * n), 0.0);
        }
        for (int r = 0; r < n; ++r) {
            inverse[std::size_t(r * n + c)] = column[std::size_t(r)];
        }
    }
    return inverse;
}

double distanceOf(const std::vector<Point>& p) {
    return std::hypot(p[1].x - p[0].x, p[1].y - p[0].y);
}

double angleOf(const std::vector<Point>& p) {
    const double ax = p[0].x - p[1].x, ay = p[0].y - p[1].y;
    const double bx = p[2].x - p[1].x, by = p[2].y - p[1].y;
    return std::atan2(std::fabs(ax * by - ay * bx), ax * bx + ay * by) * 180 / std::numbers::pi;
}

double areaOf(const std::vector<Point>& p) {
    double twice = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const Point a = p[i], b = p[(i + 1) % p.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::fabs(twice) / 2;
}

}  // namespace

Point outputPointOf(const linal::Matrix& inverse, const LensDistortion& lens, Point delivered) {
    return projectPoint(inverse, undistort(lens, delivered));
}

PlaneMeasure::PlaneMeasure(std::span<const Point> input, std::span<const StraightLine> lines,
                           const PlaneUnits& plane, const PlaneCalibration& calibration)
    : model(input, plane.points, lines, calibration.G, calibration.lens), lens(calibration.lens) {
    planeFromIdeal = safeInverse(calibration.G).value_or(linal::Matrix(3, 3, 0.0));
    const std::vector<double>& theta = model.parameters;
    const std::vector<double> r = model.residuals(theta);
    const int n = int(theta.size());
    const int m = int(r.size());
    const std::vector<std::vector<double>> columns = jacobianColumns(
        theta, n, 1e-6, [this](const std::vector<double>& t) { return model.residuals(t); });
    double sigma2 = 0;
    if (m > n) {
        for (double v : r)
            sigma2 += v * v / (m - n);
    } else {
        bool whole = true;
        for (Point p : input)
            whole = whole && p.x == std::floor(p.x) && p.y == std::floor(p.y);
        sigma2 = whole ? 0.25 : 0.0025;
    }
    covariance = inverted(normalMatrix(columns), n);
    for (double& c : covariance)
        c *= sigma2;
}

Point PlaneMeasure::planePoint(Point delivered) const {
    return outputPointOf(planeFromIdeal, lens, delivered);
}

template <typename F>
Measurement PlaneMeasure::measure(std::span<const Point> pixels, F f) const {
    Points on;
    for (Point d : pixels)
        on.push_back(planePoint(d));
    // The value through the fit's parameters, as a one-row residual for its gradient.
    const auto through = [&](const std::vector<double>& theta) {
        Points q;
        for (Point d : pixels)
            q.push_back(model.outputPoint(theta, d));
        return std::vector<double>{f(q)};
    };
    const std::size_t n = model.parameters.size();
    const std::vector<std::vector<double>> gradient =
        jacobianColumns(model.parameters, int(n), 1e-6, through);
    double variance = 0;
    for (std::size_t a = 0; a < n; ++a)
        for (std::size_t b = 0; b < n; ++b)
            variance += gradient[a][0] * covariance[a * n + b] * gradient[b][0];
    return {f(on), 3 * std::sqrt(std::fmax(variance, 0.0))};
}

Measurement PlaneMeasure::distance(Point a, Point b) const {
    const Point p[] = {a, b};
    return measure(p, distanceOf);
}

Measurement PlaneMeasure::angle(Point a, Point vertex, Point b) const {
    const Point p[] = {a, vertex, b};
    return measure(p, angleOf);
}

Measurement PlaneMeasure::area(std::span<const Point> polygon) const {
    return measure(polygon, areaOf);
}
