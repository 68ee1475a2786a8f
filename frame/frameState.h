// The process-wide state through which capture, the frame pipeline, painting, the BMP
// commands, point picking, calibration and the warp exchange frames and the homography.
// Everything runs on the dialog's thread, so nothing here is locked.
//
// This header needs no toolkit: the pipeline, the warp and their tests link it without a
// display.
#pragma once

#include <cstddef>

#include "cpu/radialTable.h"

extern int frameWidth;     // pixels; 0 until a format is known
extern int frameHeight;    // rows; 0 until a format is known
extern int frameBitCount;  // bits per pixel of delivered frames; 8 until a capture format is read

// Packed frame buffers, first row first, no row padding. Owned byte blocks made with
// new[] and freed with delete[]; null while absent.
extern unsigned char* rgbFrame;     // frameWidth × frameHeight × 3 bytes: blue, green, red
extern unsigned char* grayFrame;    // frameWidth × frameHeight bytes
extern unsigned char* outputFrame;  // outputFramePixels() bytes, the rectified picture

// How many bytes each buffer above holds. Whoever replaces a buffer sets its count.
extern std::size_t rgbFrameBytes;
extern std::size_t grayFrameBytes;
extern std::size_t outputFrameBytes;

extern int calibrationOn;             // checkbox 1010 as last read: 0 or 1
extern double homographyTable[3][3];  // row-major copy of the homography H
extern RadialTable lensTable;         // the lens map applied after homographyTable; empty: none
// The rectified picture's own size, set by a plane laid out in real units; 0 × 0: the input
// frame's size. Output pixels where the homography's w = h31·x + h32·y + h33 has not the sign
// outputHorizon (1 or -1) see the plane beyond its horizon and stay black; 0: no such test.
extern int outputWidth;
extern int outputHeight;
extern int outputHorizon;

// Bytes a one-byte-per-pixel buffer needs at the current frame size (0 for a size <= 0).
std::size_t framePixels();

// The rectified picture's width and height (outputWidth × outputHeight, or the frame's), and
// its bytes; whether outputFrame holds exactly them.
int outputFrameWidth();
int outputFrameHeight();
std::size_t outputFramePixels();
bool holdsOutputFrame();

// Whether a buffer holds the current frame: present, and exactly framePixels() ×
// bytesPerPixel bytes (never for a size without pixels). Only such a buffer is read.
bool holdsFrame(const unsigned char* buffer, std::size_t bytes, std::size_t bytesPerPixel);

// The grey picture of the current frame: grayFrame while it holds the frame, else null (a
// loaded colour picture has none; its grey is made when it is warped).
const unsigned char* currentGrey();

// Frees every buffer that does not hold exactly the bytes the current frame size implies,
// so that no reader ever runs past one after the size changed; the pipeline then makes
// the absent buffers anew at the current size.
void dropMismatchedFrameBuffers();

// Makes an absent buffer of `size` cleared bytes and records its count; a buffer that
// exists is kept as it is. False when memory ran out: the buffer then stays absent.
bool makeFrameBuffer(unsigned char*& buffer, std::size_t& bytes, std::size_t size);

// Frees one buffer and clears its pointer and byte count.
void freeFrameBuffer(unsigned char*& buffer, std::size_t& bytes);
