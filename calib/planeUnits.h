// The plane in real units: the input points paired with plane coordinates typed in some unit
// (millimetres, say) instead of output pixels, and the output frame laid over a part of that
// plane at a chosen number of units per output pixel. The dialog, calibration files and the
// command line all lay it out through calibratePlane, so each gives the same warp.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "calib/lensFit.h"

struct PlaneRect {
    double x = 0, y = 0, width = 0, height = 0;
};

// What the output frame shows: the plane image of the whole delivered input frame, the
// plane points' bounding box and a margin, or a rectangle as typed.
enum class PlaneExtent { fit, points, rectangle };

struct PlaneUnits {
    std::string unit;           // empty: no plane, the output points are output pixels
    std::vector<Point> points;  // plane coordinates in `unit`, paired with the input points
    double scale = 1.0;         // units per output pixel
    PlaneExtent extent = PlaneExtent::points;
    double margin = 0.0;  // units around the points' bounding box, for PlaneExtent::points
    PlaneRect rectangle;  // for PlaneExtent::rectangle
};

// The largest side of an output calibratePlane lays out (a frame of at most 256 MiB).
inline constexpr double largestPlaneSide = 16384;

// The output frame over the plane: output pixel (i, j) is the plane point
// (shown.x + i·scale, shown.y + j·scale), planeToOutput the 3 × 3 matrix taking plane points to
// output pixels.
struct PlaneLayout {
    int width = 0, height = 0;
    PlaneRect shown;
    linal::Matrix planeToOutput{3, 3, 0.0};
};

// The plane point output pixel o shows: (shown.x + o.x·scale, shown.y + o.y·scale).
Point planePointAt(const PlaneLayout& layout, double scale, Point o);

struct PlaneCalibration {
    std::string problem;         // empty when usable; otherwise what the user is told
    linal::Matrix G{3, 3, 0.0};  // plane point -> ideal input point, g33 = 1
    PlaneLayout layout;
    linal::Matrix H{3, 3, 0.0};        // output pixel -> ideal input point, h33 = 1: the warp's
    linal::Matrix inverse{3, 3, 0.0};  // H⁻¹
    LensDistortion lens;               // none: H alone
    std::vector<double> errors;        // per pair, input-frame pixels
    bool tooLittleEvidence = false;    // for the lens: as LensEstimate's
    double lineRms = 0.0;
    std::vector<Point> output;  // planeToOutput of each plane point
    // The sign of H's w at the pairs: output pixels where w has the other sign (or none) see
    // the plane beyond the horizon and are never drawn.
    int horizon = 1;
};

// G estimated as the pixel calibration estimates H (estimateFit, the plane points as output
// points), then the layout of `plane` over an input
// frame of inputWidth × inputHeight delivered pixels. Refuses (problem) rather than lays out an
// output that is not finite, empty or over largestPlaneSide pixels a side, and a fit extent
// whose frame reaches the horizon.
PlaneCalibration calibratePlane(std::span<const Point> input, const PlaneUnits& plane,
                                std::span<const StraightLine> lines, bool withLens, int inputWidth,
                                int inputHeight);

// The sign (1 or -1) of H's w at the first output point; 1 with none.
int horizonSide(const linal::Matrix& H, std::span<const Point> output);
