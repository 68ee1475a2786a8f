// The pipeline split over threads gives the reference bytes on every kernel path and thread
// count: a band boundary off by one, a band skipped or done twice, or a caller that returns
// before its workers are done leaves wrong rows in the poisoned buffers. Odd widths, and
// fewer rows than threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "capture/framePipeline.h"
#include "cpu/rowPool.h"
#include "tests/support/naiveReference.h"
#include "tests/support/sharedStateReset.h"

using Bytes = std::vector<unsigned char>;

TEST(ParallelPipeline, EveryPathAndThreadCountGivesTheReferenceBytes) {
    std::mt19937 rng{13};
    for (const auto& [width, height] : {std::pair{1, 1}, {3, 2}, {641, 481}, {37, 3}}) {
        resetFrameState();
        frameWidth = width, frameHeight = height, calibrationOn = 1;
        const HomographyRows h = randomPerspective(width, height, rng);
        std::memcpy(homographyTable, h.data(), sizeof homographyTable);
        const std::size_t pixels = std::size_t(width) * std::size_t(height);
        for (const int bits : {16, 24}) {
            Bytes frame = randomBytes(pixels * std::size_t((frameBitCount = bits) / 8), rng);
            const Bytes bgr = bits == 16 ? referenceYuy2(frame.data(), width, height) : frame;
            const Bytes grey = referenceGrey(bgr),
                        out = referenceWarp(grey.data(), width, height, h);
            for (const KernelPath path : availableKernelPaths())
                for (const int threads : {1, 2, 3, 5}) {
                    SCOPED_TRACE(testing::Message() << width << "x" << height << " " << bits << " "
                                                    << kernelPathName(path) << " " << threads);
                    setRowThreads(threads);
                    for (unsigned char* buffer : {rgbFrame, grayFrame, outputFrame})
                        if (buffer != nullptr)
                            std::memset(buffer, 0x5a, buffer == rgbFrame ? pixels * 3 : pixels);
                    VideoHeader header{frame.data(), static_cast<std::uint32_t>(frame.size())};
                    ASSERT_EQ(runFramePipeline(&header, path), 1);
                    EXPECT_EQ(Bytes(rgbFrame, rgbFrame + pixels * 3), bgr);
                    EXPECT_EQ(Bytes(grayFrame, grayFrame + pixels), grey);
                    EXPECT_EQ(Bytes(outputFrame, outputFrame + pixels), out);
                }
        }
    }
    resetFrameState();
}

// A band that splits its rows again (a batch worker may) does them itself, each once.
TEST(ParallelPipeline, NestedSplitRunsInlineAndCoversEveryRowOnce) {
    std::vector<std::atomic<int>> done(7 * 5);
    runRowBands(7, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            runRowBands(5, [&](int x0, int x1) {
                for (int x = x0; x < x1; ++x)
                    ++done[std::size_t(y * 5 + x)];
            });
    });
    for (const std::atomic<int>& count : done)
        EXPECT_EQ(count, 1);
    setRowThreads(0);
}
