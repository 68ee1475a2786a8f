// The same chain in OpenCV 4.6, one thread: cvtColor YUY2 to BGR, cvtColor BGR to grey,
// warpPerspective with INTER_LINEAR | WARP_INVERSE_MAP through the same homography. Its
// bytes differ (weighted grey, fixed-point interpolation); only its time is compared. Then
// the chain on 1 thread and on all, in wall-clock time, beside our BM_Threads_1 and _all.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <thread>

#include "frame/frameState.h"
#include "bench/benchScene.h"

namespace {

struct OpenCvScene {
    Scene scene;
    cv::Mat yuy2, bgr, grey, output, homography;

    explicit OpenCvScene(const benchmark::State& state)
        : scene(state),
          yuy2(scene.height, scene.width, CV_8UC2, scene.frame.data()),
          homography(3, 3, CV_64F, &homographyTable[0][0]) {
        cv::cvtColor(yuy2, bgr, cv::COLOR_YUV2BGR_YUY2);
        cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
        warp();
    }
    void warp() {
        cv::warpPerspective(grey, output, homography, grey.size(),
                            cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT, 0);
    }
};

void BM_OpenCV_Chain(benchmark::State& state) {
    OpenCvScene s(state);
    for (auto _ : state) {
        cv::cvtColor(s.yuy2, s.bgr, cv::COLOR_YUV2BGR_YUY2);
        cv::cvtColor(s.bgr, s.grey, cv::COLOR_BGR2GRAY);
        s.warp();
        benchmark::ClobberMemory();
    }
    countBytes(state, s.scene.pixels * 11);  // three passes: 5 + 4 + 2 bytes per pixel
}

// The chain with OpenCV's own threads set to `threads`; back to one thread after.
void chainOnThreads(benchmark::State& state, int threads) {
    cv::setNumThreads(threads);
    BM_OpenCV_Chain(state);
    cv::setNumThreads(1);
}

void BM_OpenCV_Yuy2ToBgr(benchmark::State& state) {
    OpenCvScene s(state);
    for (auto _ : state) {
        cv::cvtColor(s.yuy2, s.bgr, cv::COLOR_YUV2BGR_YUY2);
        benchmark::ClobberMemory();
    }
    countBytes(state, s.scene.pixels * 5);
}

void BM_OpenCV_BgrToGrey(benchmark::State& state) {
    OpenCvScene s(state);
    for (auto _ : state) {
        cv::cvtColor(s.bgr, s.grey, cv::COLOR_BGR2GRAY);
        benchmark::ClobberMemory();
    }
    countBytes(state, s.scene.pixels * 4);
}

void BM_OpenCV_Warp(benchmark::State& state) {
    OpenCvScene s(state);
    for (auto _ : state) {
        s.warp();
        benchmark::ClobberMemory();
    }
    countBytes(state, s.scene.pixels * 2);
}

}  // namespace

BENCHMARK(BM_OpenCV_Chain)->Apply(frameSizes);
BENCHMARK(BM_OpenCV_Yuy2ToBgr)->Apply(frameSizes);
BENCHMARK(BM_OpenCV_BgrToGrey)->Apply(frameSizes);
BENCHMARK(BM_OpenCV_Warp)->Apply(frameSizes);

// BM_OpenCV_Threads_1 and BM_OpenCV_Threads_all.
const bool threadBenchmarksRegistered = [] {
    const int all = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    for (const auto& [name, threads] :
         {std::pair{"BM_OpenCV_Threads_1", 1}, std::pair{"BM_OpenCV_Threads_all", all}}) {
        benchmark::RegisterBenchmark(name, chainOnThreads, threads)
            ->Apply(frameSizes)
            ->UseRealTime();
    }
    return true;
}();
