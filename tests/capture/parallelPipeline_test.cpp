// The row pool's threads: their lifetime and a split inside a split (the pipeline's bytes on
// each thread count are checked with its other decisions).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

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
