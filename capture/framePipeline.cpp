#include "capture/framePipeline.h"

#include <vector>

#include "calib/rectifyPicture.h"
#include "capture/convertKernels.h"
#include "cpu/kernelPath.h"
#include "cpu/planeView.h"
#include "cpu/rowPool.h"
#include "frame/frameState.h"

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

const unsigned char* currentGreyPicture(std::vector<unsigned char>& made) {
    const unsigned char* grey = currentGrey();
    if (grey == nullptr && holdsFrame(rgbFrame, rgbFrameBytes, 3)) {
        made.resize(framePixels());
        const ConstPlane colour{rgbFrame, frameWidth, frameHeight, std::ptrdiff_t{frameWidth} * 3};
        const Plane madeGrey{made.data(), frameWidth, frameHeight, frameWidth};
        runRowBands(frameHeight, [&](int y0, int y1) {
            bgrToGreyRows(bestKernelPath(), colour, Plane{nullptr, 0, 0, 0}, madeGrey, y0, y1);
        });
        grey = made.data();
    }
    return grey;
}

bool rectifyCurrentPicture() {
    std::vector<unsigned char> made;
    const unsigned char* grey = currentGreyPicture(made);
    if (!holdsOutputFrame()) {  // the output size may have changed with the calibration
        freeFrameBuffer(outputFrame, outputFrameBytes);
    }
    if (grey == nullptr || !makeFrameBuffer(outputFrame, outputFrameBytes, outputFramePixels())) {
        return false;
    }
    rectifyPicture(homographyTable, lensTable, grey, frameWidth, frameHeight, outputFrame,
                   outputFrameWidth(), outputFrameHeight(), 1, outputHorizon);
    return true;
}

int frameCallback(CaptureWindow* /*window*/, VideoHeader* header) {
    // A new capture format or a loaded BMP may have changed the frame size since the last
    // frame: buffers of another size are dropped here and made anew below.
    dropMismatchedFrameBuffers();
    const std::size_t pixels = framePixels();
    if (!makeFrameBuffer(rgbFrame, rgbFrameBytes, pixels * 3) ||
        !makeFrameBuffer(grayFrame, grayFrameBytes, pixels) ||
        !makeFrameBuffer(outputFrame, outputFrameBytes, outputFramePixels())) {
        return 0;
    }
    convertFrame(header, bestKernelPath());
    if (calibrationOn != 0) {
        rectifyCurrentPicture();
    }
    return 1;
}
