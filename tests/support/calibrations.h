// Calibrations of a 64 × 48 frame that the calibration-file and command-line tests share.
#pragma once

#include <gtest/gtest.h>

#include "calib/calibrationFile.h"
#include "tests/support/lensScene.h"

namespace samples {

// Four pairs on a 64 × 48 frame with a plane in millimetres, seen so steeply that its horizon
// crosses the frame near its top, aslant; laid out over the points and 5 mm at 2 mm a pixel.
Calibration planeSample() {
    Calibration c{64, 48, {{26, 28}, {38, 31}, {60, 46}, {4, 42}}, {}};
    c.plane = {"mm", {{0, 0}, {0, 100}, {100, 100}, {100, 0}}, 2, PlaneExtent::points, 5, {}};
    EXPECT_EQ(layOutPlane(c), "");
    return c;
}

// A 64 × 48 calibration with a lens (the usual scene at a twentieth of its size, the
// corners moved by 5 px) and a straight line.
Calibration lensCalibration() {
    const lens::Truth truth{64, 48, -0.08, 0, chart::tiltedView(64, 48, 35, 50, 65, {32, 24}, 8)};
    const lens::Pairs s = lens::render(truth, 10, 8, 1, 0.0, 1);
    const LensEstimate e = estimateWithLens(s.input, s.output, s.lines, 64, 48);
    return {64, 48, s.input, s.output, e.homography.H, e.homography.inverse, e.lens, s.lines};
}

}  // namespace samples
