// Our frame pipeline at the three frame sizes: the whole per-frame pipeline through
// frameCallback (YUY2 in, calibration on, the tilted view, no repaint), each stage alone, and
// the whole pipeline on each kernel path this processor can run, all on one thread; then the
// whole pipeline on 1 thread and on all of them, in wall-clock time.
#include <benchmark/benchmark.h>

#include <string>

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

// The whole pipeline's pixel work on one kernel path: conversion in one pass, then the warp.
void wholeOnPath(benchmark::State& state, KernelPath path) {
    Scene scene(state);
    const ConstPlane in{scene.frame.data(), scene.width, scene.height, scene.width * 2};
    const Plane colour{rgbFrame, scene.width, scene.height, scene.width * 3};
    const Plane grey{grayFrame, scene.width, scene.height, scene.width};
    const Plane out{outputFrame, scene.width, scene.height, scene.width};
    for (auto _ : state) {
        yuy2ToBgrGreyRows(path, in, colour, grey, 0, scene.height);
        warpRows(path, homographyTable, RadialTable{},
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

}  // namespace

BENCHMARK(BM_Ours_Whole)->Apply(frameSizes);
BENCHMARK(BM_Ours_Yuy2ToBgr)->Apply(frameSizes);
BENCHMARK(BM_Ours_BgrToGrey)->Apply(frameSizes);
BENCHMARK(BM_Ours_Yuy2ToBgrGrey)->Apply(frameSizes);
BENCHMARK(BM_Ours_Warp)->Apply(frameSizes);

// One family per kernel path, named after it: BM_Path_scalar, BM_Path_avx2, ...
const bool pathBenchmarksRegistered = [] {
    for (const KernelPath path : availableKernelPaths()) {
        const std::string name = std::string("BM_Path_") + kernelPathName(path);
        benchmark::RegisterBenchmark(name.c_str(), wholeOnPath, path)->Apply(frameSizes);
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
