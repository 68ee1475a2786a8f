// Split over threads, the pipeline gives the reference bytes (each kernel path is checked
// against them alone): a band edge off by one, a band skipped or a caller not waiting for its
// workers leaves rows of poison behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "capture/CaptureWindow.h"
#include "capture/framePipeline.h"
#include "cpu/rowPool.h"
#include "tests/support/naiveReference.h"
#include "tests/support/frameStateReset.h"

using Bytes = std::vector<unsigned char>;

TEST(ParallelPipeline, EveryPathAndThreadCountGivesTheReferenceBytes) {
    std::mt19937 rng{13};
    for (const int bits : {16, 24})
        for (const auto& [width, height] : {std::pair{1, 1}, {3, 2}, {641, 481}, {37, 3}}) {
            frameWidth = width, frameHeight = height, frameBitCount = bits, calibrationOn = 1;
            const HomographyRows h = randomPerspective(width, height, rng);
            std::copy(&h[0][0], &h[0][0] + 9, &homographyTable[0][0]);
            const std::size_t pixels = std::size_t(width) * std::size_t(height);
            Bytes frame = randomBytes(pixels * std::size_t(bits / 8), rng);
            const Bytes bgr = bits == 16 ? referenceYuy2(frame.data(), width, height) : frame;
            Bytes grey = referenceGrey(bgr), out = referenceWarp(grey.data(), width, height, h);
            for (const int threads : {1, 2, 3, 5}) {
                SCOPED_TRACE(testing::Message()
                             << width << "x" << height << " " << bits << " " << threads);
                setRowThreads(threads);
                for (unsigned char* b : {rgbFrame, grayFrame, outputFrame})
                    std::fill_n(b, b == rgbFrame ? rgbFrameBytes : grayFrameBytes, 90);
                VideoHeader header{frame.data(), static_cast<std::uint32_t>(frame.size())};
                ASSERT_EQ(frameCallback(nullptr, &header), 1);
                EXPECT_EQ(Bytes(rgbFrame, rgbFrame + pixels * 3), bgr);
                EXPECT_EQ(Bytes(grayFrame, grayFrame + pixels), grey);
                EXPECT_EQ(Bytes(outputFrame, outputFrame + pixels), out);
            }
        }
    resetFrameState();
}

// The pool's threads come with the first split and end when a capture lets them go.
TEST(ParallelPipeline, ThePoolsThreadsEndWithTheCapture) {
    const auto threads = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/task"), {});
    };
    CaptureWindow({}, nullptr).driverDisconnect();
    const auto alone = threads();
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
