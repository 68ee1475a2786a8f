#include "capture/framePipeline.h"

#include <cstring>

#include "app/sharedState.h"
#include "calib/rectify.h"

namespace {

// BT.601 studio-range YCbCr to RGB factors, × 65536 and rounded: 1.164 for luma, 2.018
// U to blue, 0.813 V and 0.391 U to green, 1.596 V to red.
constexpr int kLuma = 76284;
constexpr int kBlueU = 132252;
constexpr int kGreenV = 53281;
constexpr int kGreenU = 25625;
constexpr int kRedV = 104595;

unsigned char clampByte(int value) {
    return static_cast<unsigned char>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

// One pixel from its luma and the pair's chroma differences d = U − 128, e = V − 128.
// No intermediate leaves 32 bits; >> on a negative int shifts arithmetically.
void writePixel(int luma, int d, int e, unsigned char* bgr) {
    const int k = (luma - 16) * kLuma;
    bgr[0] = clampByte((k + kBlueU * d) >> 16);
    bgr[1] = clampByte((k - kGreenV * e - kGreenU * d) >> 16);
    bgr[2] = clampByte((k + kRedV * e) >> 16);
}

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
void convertDeliveredFrame(const VideoHeader* header) {
    const std::size_t needed = deliveredFrameBytes();
    if (needed == 0 || header == nullptr || header->data == nullptr || header->bytesUsed < needed) {
        return;
    }
    if (frameBitCount == 24) {
        std::memcpy(rgbFrame, header->data, needed);
    } else {
        yuy2ToBgr(header->data, frameWidth, frameHeight, rgbFrame);
    }
}

}  // namespace

void yuy2ToBgr(const unsigned char* yuy2, int width, int height, unsigned char* bgr) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const std::size_t w = static_cast<std::size_t>(width);
    for (int r = 0; r < height; ++r) {
        const unsigned char* in = yuy2 + static_cast<std::size_t>(r) * w * 2;
        unsigned char* out = bgr + static_cast<std::size_t>(r) * w * 3;
        int c = 0;
        for (; c + 1 < width; c += 2, in += 4, out += 6) {
            const int d = in[1] - 128;
            const int e = in[3] - 128;
            writePixel(in[0], d, e, out);
            writePixel(in[2], d, e, out + 3);
        }
        // An odd width ends each row with half a group, Y0 and U, whose V would lie in the
        // next row. That last pixel is shown by its luma alone, with neutral chroma.
        if (c < width) {
            writePixel(in[0], 0, 0, out);
        }
    }
}

void bgrToGray(const unsigned char* bgr, std::size_t pixels, unsigned char* gray) {
    for (std::size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = bgr + 3 * i;
        gray[i] = static_cast<unsigned char>((p[0] + p[1] + p[2]) / 3);
    }
}

int frameCallback(CaptureWindow* /*window*/, VideoHeader* header) {
    // A new capture format or a loaded BMP may have changed the frame size since the last
    // frame: buffers of another size are dropped here and made anew below.
    dropMismatchedFrameBuffers();
    const std::size_t pixels = framePixels();

    // Out of memory: the frame is dropped, without a repaint.
    if (!makeFrameBuffer(rgbFrame, rgbFrameBytes, pixels * 3)) {
        return 1;
    }
    convertDeliveredFrame(header);
    if (!makeFrameBuffer(grayFrame, grayFrameBytes, pixels) ||
        !makeFrameBuffer(outputFrame, outputFrameBytes, pixels)) {
        return 1;
    }
    bgrToGray(rgbFrame, pixels, grayFrame);
    if (calibrationOn != 0) {
        rectifyFrame(grayFrame, outputFrame);
    }
    requestRepaint();
    return 1;
}
