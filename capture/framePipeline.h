// The per-frame pipeline: a delivered frame becomes rgbFrame, grayFrame and, while
// calibration is on, the rectified outputFrame; then the dialog repaints.
#pragma once

#include <cstdint>

class CaptureWindow;

// What the capture facility hands over for one frame.
struct VideoHeader {
    unsigned char* data;     // packed rows, no padding, layout chosen by frameBitCount
    std::uint32_t bytesUsed; // bytes delivered at data
};

// Called once per delivered frame on the dialog's thread. window is the calling capture
// object (ignored; may be null). Returns 1: the frame was handled.
int frameCallback(CaptureWindow* window, VideoHeader* header);
