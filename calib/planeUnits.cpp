#include "calib/planeUnits.h"

#include "calib/homography.h"

#include <algorithm>
#include <cmath>

namespace {

PlaneRect boundingBox(std::span<const Point> points) {
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (Point p : points) {
        x0 = std::fmin(x0, p.x), y0 = std::fmin(y0, p.y);
        x1 = std::fmax(x1, p.x), y1 = std::fmax(y1, p.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

// The plane image of every pixel on the border of the delivered frame, through the lens and
// G⁻¹: the frame's plane image is bounded by it. Empty when the horizon crosses the frame.
std::vector<Point> frameOnPlane(const linal::Matrix& Ginverse, const LensDistortion& lens,
                                std::span<const Point> input, int width, int height) {
    double w = 0;
    projectPoint(Ginverse, undistort(lens, input.front()), &w);
    const bool positive = w > 0;
    std::vector<Point> border;
    const auto add = [&](int x, int y) {
        double z = 0;
        const Point p = projectPoint(Ginverse, undistort(lens, {double(x), double(y)}), &z);
        border.push_back(p);
        return (z > 0) == positive && z != 0 && std::isfinite(p.x) && std::isfinite(p.y);
    };
    for (int x = 0; x < width; ++x)
        if (!add(x, 0) || !add(x, height - 1))
            return {};
    for (int y = 0; y < height; ++y)
        if (!add(0, y) || !add(width - 1, y))
            return {};
    return border;
}

}  // namespace

Point planePointAt(const PlaneLayout& layout, double scale, Point o) {
    return {layout.shown.x + o.x * scale, layout.shown.y + o.y * scale};
}

int horizonSide(const linal::Matrix& H, std::span<const Point> output) {
    double w = 1;
    if (!output.empty())
        projectPoint(H, output.front(), &w);
    return w < 0 ? -1 : 1;
}

PlaneCalibration calibratePlane(std::span<const Point> input, const PlaneUnits& plane,
                                std::span<const StraightLine> lines, bool withLens, int inputWidth,
                                int inputHeight) {
    PlaneCalibration c;
    if (!(std::isfinite(plane.scale) && plane.scale > 0)) {
        c.problem = "the scale must be a number of units per pixel above 0";
        return c;
    }
    const LensEstimate estimate =
        estimateFit(input, plane.points, lines, withLens, inputWidth, inputHeight);
    if (estimate.homography.fault != PointSetFault::none) {
        c.problem = "the points do not give a homography";
        return c;
    }
    c.G = estimate.homography.H;
    c.lens = estimate.lens;
    c.errors = estimate.errors;
    c.tooLittleEvidence = estimate.tooLittleEvidence;
    c.lineRms = estimate.lineRms;
    PlaneRect shown = plane.rectangle;
    if (plane.extent == PlaneExtent::points) {
        shown = boundingBox(plane.points);
        shown = {shown.x - plane.margin, shown.y - plane.margin, shown.width + 2 * plane.margin,
                 shown.height + 2 * plane.margin};
    } else if (plane.extent == PlaneExtent::fit) {
        const std::vector<Point> border =
            frameOnPlane(estimate.homography.inverse, c.lens, input, inputWidth, inputHeight);
        if (border.empty()) {
            c.problem =
                "the horizon crosses the frame, so its whole plane cannot be shown; show the "
                "points or a rectangle";
            return c;
        }
        shown = boundingBox(border);
    }
    if (!(std::isfinite(shown.x) && std::isfinite(shown.y) && std::isfinite(shown.width) &&
          std::isfinite(shown.height) && shown.width > 0 && shown.height > 0)) {
        c.problem = "the plane rectangle shown must be finite and of a size above 0";
        return c;
    }
    // In double before any int: a hostile size must give this message, not an allocation.
    const double width = std::floor(shown.width / plane.scale) + 1;
    const double height = std::floor(shown.height / plane.scale) + 1;
    if (!(width <= largestPlaneSide && height <= largestPlaneSide)) {
        c.problem = "the output would be too large (" + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels); choose a larger scale or a smaller part";
        return c;
    }
    c.layout.width = static_cast<int>(width);
    c.layout.height = static_cast<int>(height);
    c.layout.shown = shown;
    linal::Matrix& S = c.layout.planeToOutput;
    S(1, 1) = S(2, 2) = 1 / plane.scale;
    S(1, 3) = -shown.x / plane.scale;
    S(2, 3) = -shown.y / plane.scale;
    S(3, 3) = 1;
    linal::Matrix outputToPlane(3, 3, 0.0);
    outputToPlane(1, 1) = outputToPlane(2, 2) = plane.scale;
    outputToPlane(1, 3) = shown.x;
    outputToPlane(2, 3) = shown.y;
    outputToPlane(3, 3) = 1;
    linal::Matrix H = c.G * outputToPlane;
    const double h33 = H(3, 3);
    for (int i = 0; i < 9; ++i)
        H(i / 3 + 1, i % 3 + 1) /= h33;
    const std::optional<linal::Matrix> inverse = safeInverse(H);
    if (!(std::isfinite(h33) && h33 != 0 && inverse)) {
        c.problem = "the output frame has no homography (the horizon passes its corner)";
        return c;
    }
    c.H = H;
    c.inverse = *inverse;
    for (Point p : plane.points)
        c.output.push_back(projectPoint(S, p));
    c.horizon = horizonSide(c.H, c.output);
    return c;
}
