#include "frame/frameState.h"

#include <new>

int frameWidth = 0;
int frameHeight = 0;
int frameBitCount = 8;

unsigned char* rgbFrame = nullptr;
unsigned char* grayFrame = nullptr;
unsigned char* outputFrame = nullptr;
std::size_t rgbFrameBytes = 0;
std::size_t grayFrameBytes = 0;
std::size_t outputFrameBytes = 0;

int calibrationOn = 0;
double homographyTable[3][3] = {};
RadialTable lensTable;
int outputWidth = 0;
int outputHeight = 0;
int outputHorizon = 0;

std::size_t framePixels() {
    if (frameWidth <= 0 || frameHeight <= 0) {
        return 0;
    }
    return static_cast<std::size_t>(frameWidth) * static_cast<std::size_t>(frameHeight);
}

int outputFrameWidth() {
    return outputWidth > 0 ? outputWidth : frameWidth;
}

int outputFrameHeight() {
    return outputWidth > 0 ? outputHeight : frameHeight;
}

std::size_t outputFramePixels() {
    if (outputFrameWidth() <= 0 || outputFrameHeight() <= 0) {
        return 0;
    }
    return static_cast<std::size_t>(outputFrameWidth()) *
           static_cast<std::size_t>(outputFrameHeight());
}

bool holdsOutputFrame() {
    return outputFrame != nullptr && outputFrameBytes != 0 &&
           outputFrameBytes == outputFramePixels();
}

bool holdsFrame(const unsigned char* buffer, std::size_t bytes, std::size_t bytesPerPixel) {
    return buffer != nullptr && bytes != 0 && bytes == framePixels() * bytesPerPixel;
}

const unsigned char* currentGrey() {
    return holdsFrame(grayFrame, grayFrameBytes, 1) ? grayFrame : nullptr;
}

bool makeFrameBuffer(unsigned char*& buffer, std::size_t& bytes, std::size_t size) {
    if (buffer != nullptr) {
        return true;
    }
    // Cleared, so that a view shows black rather than stale memory before its first
    // picture; nothrow, because a failure must not unwind through the capture callback.
    buffer = new (std::nothrow) unsigned char[size]();
    if (buffer == nullptr) {
        bytes = 0;
        return false;
    }
    bytes = size;
    return true;
}

void freeFrameBuffer(unsigned char*& buffer, std::size_t& bytes) {
    delete[] buffer;
    buffer = nullptr;
    bytes = 0;
}

void dropMismatchedFrameBuffers() {
    const std::size_t pixels = framePixels();
    if (rgbFrame != nullptr && rgbFrameBytes != pixels * 3) {
        freeFrameBuffer(rgbFrame, rgbFrameBytes);
    }
    if (grayFrame != nullptr && grayFrameBytes != pixels) {
        freeFrameBuffer(grayFrame, grayFrameBytes);
    }
    if (outputFrame != nullptr && outputFrameBytes != outputFramePixels()) {
        freeFrameBuffer(outputFrame, outputFrameBytes);
    }
}
