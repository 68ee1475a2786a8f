#include "bench/benchScene.h"

#include <cstdint>
#include <random>

#include "frame/frameState.h"

void frameSizes(benchmark::internal::Benchmark* b) {
    b->Args({640, 480})->Args({1920, 1080})->Args({3840, 2160});
    b->Unit(benchmark::kMillisecond);
}

void setTiltedView(int width, int height) {
    const double w = width;
    const double h = height;
    const double x0 = -0.02 * w, y0 = 0.05 * h;  // top left, a little outside
    const double x1 = 0.96 * w, y1 = 0.01 * h;   // top right
    const double x2 = 0.90 * w, y2 = 0.97 * h;   // bottom right
    const double x3 = 0.06 * w, y3 = 0.92 * h;   // bottom left
    // The unit square onto the quadrilateral (closed form), after the output frame onto the
    // unit square.
    const double sx = x0 - x1 + x2 - x3;
    const double sy = y0 - y1 + y2 - y3;
    const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
    const double den = dx1 * dy2 - dx2 * dy1;
    const double g = (sx * dy2 - dx2 * sy) / den;
    const double k = (dx1 * sy - sx * dy1) / den;
    const double square[3][3] = {{x1 - x0 + g * x1, x3 - x0 + k * x3, x0},
                                 {y1 - y0 + g * y1, y3 - y0 + k * y3, y0},
                                 {g, k, 1.0}};
    for (int r = 0; r < 3; ++r) {
        homographyTable[r][0] = square[r][0] / w;
        homographyTable[r][1] = square[r][1] / h;
        homographyTable[r][2] = square[r][2];
    }
}

std::vector<unsigned char> randomBytes(std::size_t count) {
    std::mt19937 rng(1);
    std::vector<unsigned char> bytes(count);
    for (unsigned char& b : bytes) {
        b = static_cast<unsigned char>(rng());
    }
    return bytes;
}

Scene::Scene(const benchmark::State& state)
    : width(static_cast<int>(state.range(0))),
      height(static_cast<int>(state.range(1))),
      pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)),
      frame(randomBytes(pixels * 2)) {
    frameWidth = width;
    frameHeight = height;
    frameBitCount = 16;
    calibrationOn = 1;
    setTiltedView(width, height);
    header = {frame.data(), static_cast<std::uint32_t>(frame.size())};
    frameCallback(nullptr, &header);
}

Scene::~Scene() {
    freeFrameBuffer(rgbFrame, rgbFrameBytes);
    freeFrameBuffer(grayFrame, grayFrameBytes);
    freeFrameBuffer(outputFrame, outputFrameBytes);
    calibrationOn = 0;
}

void countBytes(benchmark::State& state, std::size_t bytes) {
    state.counters["bytes"] = static_cast<double>(bytes);
}
