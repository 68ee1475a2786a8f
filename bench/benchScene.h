// What every benchmark of the frame pipeline shares: the three frame sizes, the homography
// of a slightly tilted view, a random YUY2 frame, and the frame state set up for one size.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

#include "capture/framePipeline.h"

// 640 × 480, 1920 × 1080 and 3840 × 2160, as the arguments (width, height), timed in ms.
void frameSizes(benchmark::internal::Benchmark* b);

// Fills homographyTable with the map from the output rectangle onto a slightly tilted
// quadrilateral of the grey frame, as a hand-held view of a page gives: most output pixels
// land inside, a few along the left edge outside.
void setTiltedView(int width, int height);

// Bytes from a fixed-seed generator: the same frame in every run.
std::vector<unsigned char> randomBytes(std::size_t count);

// The frame state for the size in the benchmark's arguments: YUY2 frames, calibration on,
// the tilted view, and one frame through the pipeline so that the buffers exist.
struct Scene {
    explicit Scene(const benchmark::State& state);
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    int width;
    int height;
    std::size_t pixels;
    std::vector<unsigned char> frame;  // YUY2, width × height × 2 bytes
    VideoHeader header{};
};

// Records the bytes a stage must read and write, as the "bytes" counter.
void countBytes(benchmark::State& state, std::size_t bytes);
