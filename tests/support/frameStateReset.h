// Back to the frame state before any capture, load or calibration. Header-only and
// toolkit-free, so the unit tests, the dialog tests and the fuzz targets share it.
#pragma once

#include <algorithm>

#include "frame/frameState.h"

inline void resetFrameState() {
    freeFrameBuffer(rgbFrame, rgbFrameBytes);
    freeFrameBuffer(grayFrame, grayFrameBytes);
    freeFrameBuffer(outputFrame, outputFrameBytes);
    frameWidth = frameHeight = calibrationOn = outputWidth = outputHeight = outputHorizon = 0;
    frameBitCount = 8;
    std::fill(&homographyTable[0][0], &homographyTable[0][0] + 9, 0.0);
    lensTable = RadialTable{};
}
