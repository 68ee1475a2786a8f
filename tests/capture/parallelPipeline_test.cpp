// The row pool's threads: their lifetime and a split inside a split (the pipeline's bytes on
// each thread count are checked with its other decisions).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "capture/CaptureWindow.h"
#include "cpu/rowPool.h"

// The pool's threads come with the first split and end when a capture lets them go.
TEST(ParallelPipeline, ThePoolsThreadsEndWithTheCapture) {
    const auto threads = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/task"), {});
    };
    CaptureWindow({}, nullptr).driverDisconnect();
    const auto alone = threads();
    setRowThreads(2);
    runRowBands(9, [](int, int) {});
    setRowThreads(3);
    runRowBands(9, [](int, int) {});
    EXPECT_EQ(threads(), alone + 2);
    CaptureWindow({}, nullptr).driverDisconnect();
    // A joined thread can stay listed for a moment after join returns, until the kernel reaps it.
    for (int i = 0; i < 500 && threads() != alone; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(threads(), alone);
}

// A band that splits its rows again (a batch worker may) does them itself, each once.
TEST(ParallelPipeline, NestedSplitRunsInlineAndCoversEveryRowOnce) {
    setRowThreads(3);
    std::vector<std::atomic<int>> done(7 * 5);
    runRowBands(7, [&](int y0, int y1) {
        runRowBands(5, [&](int x0, int x1) {
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    ++done[std::size_t(y * 5 + x)];
        });
    });
    EXPECT_TRUE(std::all_of(done.begin(), done.end(), [](const auto& n) { return n == 1; }));
}
