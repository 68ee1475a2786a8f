#include "capture/framePipeline.h"

#include <cstring>

#include "frame/frameState.h"
#include "calib/rectify.h"
#include "capture/convertKernels.h"
#include "cpu/kernelPath.h"
#include "cpu/planeView.h"
#include "cpu/rowPool.h"

namespace {

// Bytes a delivered frame of the current format holds; 0 for a layout that is not
// converted or a size without pixels.
std::size_t deliveredFrameBytes() {
    switch (frameBitCount) {
        case 24:
            return framePixels() * 3;
        case 16:
            return framePixels() * 2;
        default:
            return 0;
    }
}

// A frame shorter than its format says (a truncated buffer, a driver whose format changed
// under us) is not converted at all: converting part of it would read past its end, so
// rgbFrame keeps the previous picture, just as for a layout that is not converted.
bool convertible(const VideoHeader* header) {
    const std::size_t needed = deliveredFrameBytes();
    return needed != 0 && header != nullptr && header->data != nullptr &&
           header->bytesUsed >= needed;
}

// The frame's planes at the current size: colour, grey and the delivered data.
Plane colourPlane() {
    return {rgbFrame, frameWidth, frameHeight, std::ptrdiff_t{frameWidth} * 3};
}
Plane greyPlane() {
    return {grayFrame, frameWidth, frameHeight, frameWidth};
}
ConstPlane deliveredPlane(const VideoHeader* header) {
    return {header->data, frameWidth, frameHeight,
            std::ptrdiff_t{frameWidth} * (frameBitCount / 8)};
}

// rgbFrame from the delivered frame and grayFrame from rgbFrame, in one pass over the rows
// where the frame is converted, the rows split over the pool's threads.
void convertFrame(const VideoHeader* header, KernelPath path) {
    const Plane colour = colourPlane();
    const Plane grey = greyPlane();
    if (convertible(header) && frameBitCount == 16) {
        runRowBands(frameHeight, [&](int y0, int y1) {
            yuy2ToBgrGreyRows(path, deliveredPlane(header), colour, grey, y0, y1);
        });
        return;
    }
    // A 24-bit frame is copied to rgbFrame on the way; otherwise rgbFrame keeps its picture.
    const bool copied = convertible(header);
    const ConstPlane source = copied ? deliveredPlane(header)
                                     : ConstPlane{rgbFrame, frameWidth, frameHeight, colour.stride};
    const Plane copy = copied ? colour : Plane{nullptr, 0, 0, 0};
    runRowBands(frameHeight,
                [&](int y0, int y1) { bgrToGreyRows(path, source, copy, grey, y0, y1); });
}

}  // namespace

void yuy2ToBgr(const unsigned char* yuy2, int width, int height, unsigned char* bgr) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const ConstPlane in{yuy2, width, height, std::ptrdiff_t{width} * 2};
    const Plane out{bgr, width, height, std::ptrdiff_t{width} * 3};
    runRowBands(height, [&](int y0, int y1) {
        yuy2ToBgrGreyRows(bestKernelPath(), in, out, Plane{nullptr, 0, 0, 0}, y0, y1);
    });
}

int frameCallback(CaptureWindow* /*window*/, VideoHeader* header) {
    return runFramePipeline(header, bestKernelPath());
}

int runFramePipeline(VideoHeader* header, KernelPath path) {
    // A new capture format or a loaded BMP may have changed the frame size since the last
    // frame: buffers of another size are dropped here and made anew below.
    dropMismatchedFrameBuffers();
    const std::size_t pixels = framePixels();

    // Out of memory: the frame is dropped, without a repaint.
    if (!makeFrameBuffer(rgbFrame, rgbFrameBytes, pixels * 3)) {
        return 1;
    }
    if (!makeFrameBuffer(grayFrame, grayFrameBytes, pixels) ||
        !makeFrameBuffer(outputFrame, outputFrameBytes, pixels)) {
        // The colour frame is still brought up to date.
        if (convertible(header) && frameBitCount == 24) {
            std::memcpy(rgbFrame, header->data, pixels * 3);
        } else if (convertible(header)) {
            yuy2ToBgr(header->data, frameWidth, frameHeight, rgbFrame);
        }
        return 1;
    }
    convertFrame(header, path);
    if (calibrationOn != 0) {
        rectifyFrame(grayFrame, outputFrame, path);
    }
    requestRepaint();
    return 1;
}
