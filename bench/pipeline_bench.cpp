// Cost of one frame through the pipeline (YUY2 in, calibration on, a perspective warp
// that keeps most output pixels inside the grey frame), whole and stage by stage.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "app/sharedState.h"
#include "calib/rectify.h"
#include "capture/framePipeline.h"

namespace {

// The homography that maps the output rectangle onto a slightly tilted quadrilateral of
// the grey frame, as a hand-held view of a page would give: the unit square to the
// quadrilateral (closed form), after scaling the output frame to the unit square.
void setTiltedView(int width, int height) {
    const double w = width;
    const double h = height;
    const double x0 = -0.02 * w, y0 = 0.05 * h;  // top left, a little outside
    const double x1 = 0.96 * w, y1 = 0.01 * h;   // top right
    const double x2 = 0.90 * w, y2 = 0.97 * h;   // bottom right
    const double x3 = 0.06 * w, y3 = 0.92 * h;   // bottom left
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
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<unsigned char> bytes(count);
    for (unsigned char& b : bytes) {
        b = static_cast<unsigned char>(byte(rng));
    }
    return bytes;
}

// Shared state for one frame size; one warm-up frame makes the buffers.
struct Scene {
    std::vector<unsigned char> frame;
    VideoHeader header{};

    explicit Scene(const benchmark::State& state) {
        frameWidth = static_cast<int>(state.range(0));
        frameHeight = static_cast<int>(state.range(1));
        frameBitCount = 16;
        calibrationOn = 1;
        setTiltedView(frameWidth, frameHeight);
        frame = randomBytes(framePixels() * 2);
        header = {frame.data(), static_cast<std::uint32_t>(frame.size())};
        frameCallback(nullptr, &header);
    }
    ~Scene() {
        freeFrameBuffer(rgbFrame, rgbFrameBytes);
        freeFrameBuffer(grayFrame, grayFrameBytes);
        freeFrameBuffer(outputFrame, outputFrameBytes);
    }
};

void BM_WholeFrame(benchmark::State& state) {
    Scene scene(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(frameCallback(nullptr, &scene.header));
        benchmark::ClobberMemory();
    }
}

void BM_Yuy2ToBgr(benchmark::State& state) {
    Scene scene(state);
    for (auto _ : state) {
        yuy2ToBgr(scene.frame.data(), frameWidth, frameHeight, rgbFrame);
        benchmark::ClobberMemory();
    }
}

void BM_BgrToGray(benchmark::State& state) {
    Scene scene(state);
    for (auto _ : state) {
        bgrToGray(rgbFrame, framePixels(), grayFrame);
        benchmark::ClobberMemory();
    }
}

void BM_RectifyFrame(benchmark::State& state) {
    Scene scene(state);
    for (auto _ : state) {
        rectifyFrame(grayFrame, outputFrame);
        benchmark::ClobberMemory();
    }
}

void frameSizes(benchmark::internal::Benchmark* b) {
    b->Args({640, 480})->Args({1920, 1080})->Args({3840, 2160});
    b->ArgNames({"w", "h"})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_WholeFrame)->Apply(frameSizes);
BENCHMARK(BM_Yuy2ToBgr)->Apply(frameSizes);
BENCHMARK(BM_BgrToGray)->Apply(frameSizes);
BENCHMARK(BM_RectifyFrame)->Apply(frameSizes);

BENCHMARK_MAIN();
