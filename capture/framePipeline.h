// The per-frame pipeline: a delivered frame becomes rgbFrame, grayFrame and, while
// calibration is on, the rectified outputFrame; then the dialog repaints.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu/kernelPath.h"

class CaptureWindow;

// What the capture facility hands over for one frame.
struct VideoHeader {
    unsigned char* data;      // packed rows, no padding, layout chosen by frameBitCount
    std::uint32_t bytesUsed;  // bytes delivered at data
};

// Called once per delivered frame on the dialog's thread. window is the calling capture
// object (ignored; may be null). Returns 1: the frame was handled.
//
// Buffers whose byte count no longer fits frameWidth × frameHeight are made anew, so a
// change of frame size never runs past a buffer. Only 24-bit (blue, green, red) and 16-bit
// (YUY2) frames are converted, and only when header->bytesUsed covers the whole frame;
// otherwise rgbFrame keeps its previous picture and the remaining steps run on it.
//
// Each step splits its rows over the cores (cpu/rowPool.h) and returns when all are done;
// the bytes are those one thread gives.
int frameCallback(CaptureWindow* window, VideoHeader* header);

// frameCallback on the given kernel path (it takes the fastest one), for the tests of each.
int runFramePipeline(VideoHeader* header, KernelPath path);

// The colour conversion alone, over plain packed buffers, on the fastest kernel path of the
// processor. frameCallback runs it and the grey mean in one pass (capture/convertKernels.h).
// Packed YUV 4:2:2 (Y0 U Y1 V per pixel pair, rows of width × 2 bytes) to blue, green, red
// (rows of width × 3 bytes), BT.601 studio range in 16.16 fixed point. Reads exactly
// width × 2 × height bytes; nothing for a width or height <= 0.
void yuy2ToBgr(const unsigned char* yuy2, int width, int height, unsigned char* bgr);
