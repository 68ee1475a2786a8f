// A rectangle of bytes in memory: the row-range kernels read and write through these, so a
// kernel never needs to know whose buffer it works on or how its rows are padded.
#pragma once

#include <cstddef>

// width and height count pixels; stride is the byte distance from one row to the next.
struct ConstPlane {
    const unsigned char* data;
    int width;
    int height;
    std::ptrdiff_t stride;
};

struct Plane {
    unsigned char* data;
    int width;
    int height;
    std::ptrdiff_t stride;
};
