// The per-frame pipeline: a delivered frame becomes rgbFrame, grayFrame and, while
// calibration is on, the rectified outputFrame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CaptureWindow;

// What the capture facility hands over for one frame.
struct VideoHeader {
    unsigned char* data;      // packed rows, no padding, layout chosen by frameBitCount
    std::uint32_t bytesUsed;  // bytes delivered at data
};

// Called once per delivered frame on the dialog's thread. window is the calling capture
// object (ignored; may be null). Returns 1 when the frame was handled, so its views are to
// be repainted; 0 when it was dropped because memory ran out.
//
// Buffers whose byte count no longer fits frameWidth × frameHeight are made anew, so a
// change of frame size never runs past a buffer. Only 24-bit (blue, green, red) and 16-bit
// (YUY2) frames are converted, and only when header->bytesUsed covers the whole frame;
// otherwise rgbFrame keeps its previous picture and the remaining steps run on it.
//
// Each step splits its rows over the cores (cpu/rowPool.h) and returns when all are done;
// the bytes are those one thread gives.
int frameCallback(CaptureWindow* window, VideoHeader* header);

// The rectified picture of the current frame: outputFrame, made when absent (or anew at the
// output frame's size), filled with the warp through homographyTable, lensTable and
// outputHorizon of the current grey picture, which is grayFrame or, for a
// loaded colour picture that has none, the grey of rgbFrame made for the purpose. The live
// frames and a loaded picture go through here alike. False when no picture holds the current
// frame or memory ran out (outputFrame is then left as it was).
bool rectifyCurrentPicture();

// The current grey picture: grayFrame, or for a loaded colour picture the grey of rgbFrame
// made into `made`; null when no picture holds the current frame.
const unsigned char* currentGreyPicture(std::vector<unsigned char>& made);
