// What the dialog capture tests share: a clean shared state and a widget's pixels.
#pragma once

#include <QImage>
#include <QWidget>

#include "app/sharedState.h"

// Back to the state before any capture or calibration.
inline void resetFrameState() {
    freeFrameBuffer(rgbFrame, rgbFrameBytes);
    freeFrameBuffer(grayFrame, grayFrameBytes);
    freeFrameBuffer(outputFrame, outputFrameBytes);
    frameWidth = 0;
    frameHeight = 0;
    frameBitCount = 8;
    calibrationOn = 0;
    for (auto& row : homographyTable) {
        for (double& value : row) {
            value = 0.0;
        }
    }
}

// Pixels of a widget as it paints itself.
inline QImage grabbed(QWidget& widget) {
    return widget.grab().toImage();
}
