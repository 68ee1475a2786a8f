// Our frame pipeline at the three frame sizes: the whole per-frame pipeline through
// frameCallback (YUY2 in, calibration on, the tilted view, no repaint), each stage alone, and
// the whole pipeline on each kernel path this processor can run, all on one thread; then the
// whole pipeline on 1 thread and on all of them, in wall-clock time; the whole pipeline with a
// barrel lens map on and off, on 1 and 2 threads, beside the alternative the program does not
// take: a precomputed source point per output pixel.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/benchScene.h"
#include "calib/rectifyPicture.h"
#include "calib/warpKernels.h"
#include "capture/convertKernels.h"
#include "capture/framePipeline.h"
#include "cpu/kernelPath.h"
#include "cpu/rowPool.h"
#include "frame/frameState.h"

namespace {

void BM_Ours_Whole(benchmark::State& state) {
    Scene scene(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(frameCallback(nullptr, &scene.header));
        benchmark::ClobberMemory();
    }
    countBytes(state, scene.pixels * 8);  // YUY2 2 in; colour 3, grey 1 out; grey 1 in, 1 out
}

void BM_Ours_Yuy2ToBgr(benchmark::State& state) {
    Scene scene(state);
    for (auto _ : state) {
        const ConstPlane in{scene.frame.data(), scene.width, scene.height, scene.width * 2};
        runRowBands(scene.height, [&](int y0, int y1) {
            yuy2ToBgrGreyRows(bestKernelPath(), in,
                              Plane{rgbFrame, scene.width, scene.height, scene.width * 3},
                              Plane{nullptr, 0, 0, 0}, y0, y1);
        });
        benchmark::ClobberMemory();
    }
    countBytes(state, scene.pixels * 5);
}

void BM_Ours_BgrToGrey(benchmark::State& state) {
    Scene scene(state);
    const ConstPlane colour{rgbFrame, scene.width, scene.height, scene.width * 3};
    const Plane grey{grayFrame, scene.width, scene.height, scene.width};
    for (auto _ : state) {
        bgrToGreyRows(bestKernelPath(), colour, Plane{nullptr, 0, 0, 0}, grey, 0, scene.height);
        benchmark::ClobberMemory();
    }
    countBytes(state, scene.pixels * 4);
}

// What the pipeline runs in place of the two stages above: both in one pass.
void BM_Ours_Yuy2ToBgrGrey(benchmark::State& state) {
    Scene scene(state);
    const ConstPlane in{scene.frame.data(), scene.width, scene.height, scene.width * 2};
    for (auto _ : state) {
        yuy2ToBgrGreyRows(
            bestKernelPath(), in, Plane{rgbFrame, scene.width, scene.height, scene.width * 3},
            Plane{grayFrame, scene.width, scene.height, scene.width}, 0, scene.height);
        benchmark::ClobberMemory();
    }
    countBytes(state, scene.pixels * 6);
}

void BM_Ours_Warp(benchmark::State& state) {
    Scene scene(state);
    for (auto _ : state) {
        rectifyPicture(homographyTable, RadialTable{}, grayFrame, outputFrame, scene.width,
                       scene.height, 1);
        benchmark::ClobberMemory();
    }
    countBytes(state, scene.pixels * 2);
}

// A realistic barrel lens: s(q) = 2 / (1 + sqrt(1 − 4·k·q / R²)), k = −0.05, R the half
// diagonal, 1024 entries covering the frame from its centre.
RadialTable barrelLens(int width, int height) {
    RadialTable lens;
    lens.cx = width / 2.0;
    lens.cy = height / 2.0;
    const double r2 = lens.cx * lens.cx + lens.cy * lens.cy;
    const int entries = 1024;
    const double step = 1.05 * r2 / (entries - 1);  // a little beyond the corners
    lens.invStep = 1.0 / step;
    for (int i = 0; i < entries; ++i) {
        lens.factor.push_back(2.0 / (1.0 + std::sqrt(1.0 + 4.0 * 0.05 * i * step / r2)));
    }
    return lens;
}

// The whole pipeline's pixel work on one kernel path: conversion in one pass, then the warp,
// with the barrel lens or none.
void wholeOnPath(benchmark::State& state, KernelPath path, bool lensOn) {
    Scene scene(state);
    const RadialTable lens = lensOn ? barrelLens(scene.width, scene.height) : RadialTable{};
    const ConstPlane in{scene.frame.data(), scene.width, scene.height, scene.width * 2};
    const Plane colour{rgbFrame, scene.width, scene.height, scene.width * 3};
    const Plane grey{grayFrame, scene.width, scene.height, scene.width};
    const Plane out{outputFrame, scene.width, scene.height, scene.width};
    for (auto _ : state) {
        yuy2ToBgrGreyRows(path, in, colour, grey, 0, scene.height);
        warpRows(path, homographyTable, lens,
                 ConstPlane{grayFrame, scene.width, scene.height, scene.width}, out, 0,
                 scene.height);
        benchmark::ClobberMemory();
    }
    countBytes(state, scene.pixels * 8);
}

// frameCallback with its rows split over `threads` threads. Timed by the wall clock: the
// benchmark thread's CPU time would leave out the other threads' share.
void wholeOnThreads(benchmark::State& state, int threads) {
    setRowThreads(threads);
    BM_Ours_Whole(state);
    setRowThreads(1);
}

// frameCallback on `threads` threads, the barrel lens on or off, by the wall clock.
void wholeWithLens(benchmark::State& state, int threads, bool lensOn) {
    lensTable = lensOn
                    ? barrelLens(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))
                    : RadialTable{};
    wholeOnThreads(state, threads);
    lensTable = RadialTable{};
}

// The alternative: the source point of every output pixel (homography and lens) computed
// once, as two floats, and each frame converted, then sampled from that table (bilinear, 0
// outside), the rows split over the threads as the pipeline does.
void wholeWithPointTable(benchmark::State& state, int threads) {
    Scene scene(state);
    const RadialTable lens = barrelLens(scene.width, scene.height);
    std::vector<float> points(scene.pixels * 2);
    for (int y = 0; y < scene.height; ++y) {
        const warp_detail::RowTerms row = warp_detail::rowTerms(homographyTable, y);
        for (int x = 0; x < scene.width; ++x) {
            const double w = (homographyTable[2][0] * x + row.w) + row.cw;
            double u = ((homographyTable[0][0] * x + row.u) + row.cu) / w;
            double v = ((homographyTable[1][0] * x + row.v) + row.cv) / w;
            if (!warp_detail::moveRadially(lens, u, v)) {
                u = v = NAN;
            }
            const std::size_t i = (std::size_t(y) * std::size_t(scene.width) + std::size_t(x)) * 2;
            points[i] = static_cast<float>(u);
            points[i + 1] = static_cast<float>(v);
        }
    }
    const int w = scene.width, h = scene.height;
    const float lastColumn = static_cast<float>(w - 1), lastRow = static_cast<float>(h - 1);
    const ConstPlane in{scene.frame.data(), w, h, w * 2};
    const Plane colour{rgbFrame, w, h, w * 3};
    const Plane grey{grayFrame, w, h, w};
    setRowThreads(threads);
    for (auto _ : state) {
        runRowBands(h, [&](int y0, int y1) {
            yuy2ToBgrGreyRows(bestKernelPath(), in, colour, grey, y0, y1);
        });
        runRowBands(h, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const float* p = points.data() + std::size_t(y) * std::size_t(w) * 2;
                unsigned char* out = outputFrame + std::size_t(y) * std::size_t(w);
                for (int x = 0; x < w; ++x) {
                    const float u = p[2 * x], v = p[2 * x + 1];
                    const float fu = std::floor(u), fv = std::floor(v);
                    if (!(fu >= 0.0f && fu <= lastColumn && fv >= 0.0f && fv <= lastRow)) {
                        out[x] = 0;
                        continue;
                    }
                    const int ix = static_cast<int>(fu), iy = static_cast<int>(fv);
                    const float fx = u - fu, fy = v - fv;
                    const unsigned char* r0 = grayFrame + std::size_t(iy) * std::size_t(w);
                    const unsigned char* r1 = iy < h - 1 ? r0 + w : r0;
                    const int ix1 = ix < w - 1 ? ix + 1 : ix;
                    const float value = (1 - fx) * r0[ix] * (1 - fy) + r0[ix1] * fx * (1 - fy) +
                                        r1[ix1] * fx * fy + (1 - fx) * r1[ix] * fy;
                    out[x] = static_cast<unsigned char>(static_cast<int>(value));
                }
            }
        });
        benchmark::ClobberMemory();
    }
    setRowThreads(1);
    countBytes(state, scene.pixels * 14);  // as the whole pipeline, plus 8 bytes of points
}

}  // namespace

BENCHMARK(BM_Ours_Whole)->Apply(frameSizes);
BENCHMARK(BM_Ours_Yuy2ToBgr)->Apply(frameSizes);
BENCHMARK(BM_Ours_BgrToGrey)->Apply(frameSizes);
BENCHMARK(BM_Ours_Yuy2ToBgrGrey)->Apply(frameSizes);
BENCHMARK(BM_Ours_Warp)->Apply(frameSizes);

// One family per kernel path, named after it: BM_Path_scalar, BM_Path_avx2, ..., and with
// the barrel lens: BM_PathLens_scalar, ...
const bool pathBenchmarksRegistered = [] {
    for (const bool lensOn : {false, true}) {
        for (const KernelPath path : availableKernelPaths()) {
            const std::string name =
                std::string(lensOn ? "BM_PathLens_" : "BM_Path_") + kernelPathName(path);
            benchmark::RegisterBenchmark(name.c_str(), wholeOnPath, path, lensOn)
                ->Apply(frameSizes);
        }
    }
    return true;
}();

// BM_Threads_1 and BM_Threads_all.
const bool threadBenchmarksRegistered = [] {
    benchmark::RegisterBenchmark("BM_Threads_1", wholeOnThreads, 1)
        ->Apply(frameSizes)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_Threads_all", wholeOnThreads, 0)
        ->Apply(frameSizes)
        ->UseRealTime();
    return true;
}();

// BM_Lens_off_Threads_1, BM_Lens_on_Threads_1, … _2, and BM_PointTable_Threads_2 (4K only).
const bool lensBenchmarksRegistered = [] {
    for (const int threads : {1, 2}) {
        for (const bool on : {false, true}) {
            const std::string name = std::string("BM_Lens_") + (on ? "on" : "off") + "_Threads_" +
                                     std::to_string(threads);
            benchmark::RegisterBenchmark(name.c_str(), wholeWithLens, threads, on)
                ->Apply(frameSizes)
                ->UseRealTime();
        }
    }
    benchmark::RegisterBenchmark("BM_PointTable_Threads_2", wholeWithPointTable, 2)
        ->Args({3840, 2160})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    return true;
}();
