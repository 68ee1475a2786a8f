// The frame pipeline end to end through frameCallback: the colour and grey conversions
// against per-pixel references, the hand-over to the warp and to the repaint, frame size
// changes, and frames that cannot be read.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "app/sharedState.h"
#include "calib/rectify.h"
#include "capture/framePipeline.h"
#include "tests/support/naiveReference.h"
#include "tests/support/sharedStateReset.h"

namespace {

using Bytes = std::vector<unsigned char>;

int repaints = 0;
Bytes greyAtRepaint;
Bytes outputAtRepaint;

void recordRepaint(PlandisDlg* /*dialog*/) {
    ++repaints;
    greyAtRepaint.assign(grayFrame, grayFrame + grayFrameBytes);
    outputAtRepaint.assign(outputFrame, outputFrame + outputFrameBytes);
}

char dialogStandIn;  // only its address is used: the repaint seam never dereferences it

void resetSharedState() {
    resetFrameState();
    mainDialog = nullptr;
    mainDialogRepaint = nullptr;
    repaints = 0;
    greyAtRepaint.clear();
    outputAtRepaint.clear();
}

void setFormat(int width, int height, int bitCount) {
    frameWidth = width;
    frameHeight = height;
    frameBitCount = bitCount;
}

void setHomography(const double (&h)[3][3]) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            homographyTable[r][c] = h[r][c];
        }
    }
}

// Delivers exactly the bytes of `data`. They live on the heap, so a read past them is
// caught by AddressSanitizer.
int deliver(Bytes& data) {
    VideoHeader header{data.data(), static_cast<std::uint32_t>(data.size())};
    return frameCallback(nullptr, &header);
}

std::size_t pixelsOf(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

Bytes rgbBuffer() {
    return Bytes(rgbFrame, rgbFrame + rgbFrameBytes);
}
Bytes greyBuffer() {
    return Bytes(grayFrame, grayFrame + grayFrameBytes);
}

class FramePipeline : public ::testing::Test {
  protected:
    void SetUp() override {
        resetSharedState();
        mainDialog = reinterpret_cast<PlandisDlg*>(&dialogStandIn);
        mainDialogRepaint = recordRepaint;
    }
    void TearDown() override { resetSharedState(); }
};

// --- YUY2 to blue, green, red ---

struct Yuy2Case {
    const char* name;
    int y, u, v;
    int blue, green, red;
};

class Yuy2Table : public FramePipeline, public ::testing::WithParamInterface<Yuy2Case> {};

TEST_P(Yuy2Table, BothPixelsOfThePairGetTheListedColour) {
    const Yuy2Case& c = GetParam();
    setFormat(2, 1, 16);
    Bytes frame = {static_cast<unsigned char>(c.y), static_cast<unsigned char>(c.u),
                   static_cast<unsigned char>(c.y), static_cast<unsigned char>(c.v)};
    EXPECT_EQ(deliver(frame), 1);
    const Bytes expected = {
        static_cast<unsigned char>(c.blue),  static_cast<unsigned char>(c.green),
        static_cast<unsigned char>(c.red),   static_cast<unsigned char>(c.blue),
        static_cast<unsigned char>(c.green), static_cast<unsigned char>(c.red)};
    EXPECT_EQ(rgbBuffer(), expected);
    EXPECT_EQ(greyBuffer(), referenceGrey(expected));
}

INSTANTIATE_TEST_SUITE_P(
    ListedColours, Yuy2Table,
    ::testing::Values(Yuy2Case{"NeutralY16IsBlack", 16, 128, 128, 0, 0, 0},
                      Yuy2Case{"NeutralY126Is128", 126, 128, 128, 128, 128, 128},
                      Yuy2Case{"NeutralY235Is254Not255", 235, 128, 128, 254, 254, 254},
                      Yuy2Case{"NeutralY255IsWhite", 255, 128, 128, 255, 255, 255},
                      Yuy2Case{"NeutralY0ClampsToBlack", 0, 128, 128, 0, 0, 0},
                      Yuy2Case{"Red", 81, 90, 240, 0, 0, 254},
                      Yuy2Case{"Green", 145, 54, 34, 0, 255, 0},
                      Yuy2Case{"Blue", 41, 240, 110, 255, 0, 0},
                      Yuy2Case{"U0V255", 128, 0, 255, 0, 77, 255},
                      Yuy2Case{"U255V0", 128, 255, 0, 255, 184, 0}),
    [](const ::testing::TestParamInfo<Yuy2Case>& row) { return std::string(row.param.name); });

TEST_F(FramePipeline, EachPixelOfAPairTakesItsOwnLuma) {
    setFormat(2, 1, 16);
    Bytes frame = {16, 128, 235, 128};
    deliver(frame);
    EXPECT_EQ(rgbBuffer(), (Bytes{0, 0, 0, 254, 254, 254}));
}

// An odd width ends each row with half a group (Y0, U); the frame holds exactly
// width × 2 × height bytes, and the lone last pixel is its luma with neutral chroma.
TEST_F(FramePipeline, OddWidthLastPixelIsItsLumaAloneAndNothingBeyondIsRead) {
    setFormat(3, 2, 16);
    Bytes frame = {81, 90,  81, 240, 126, 200,  // row 0: a red pair, then Y 126 with U 200
                   16, 128, 16, 128, 235, 0};   // row 1: a black pair, then Y 235 with U 0
    ASSERT_EQ(frame.size(), 12u);
    deliver(frame);
    EXPECT_EQ(rgbBuffer(), (Bytes{0, 0, 254, 0, 0, 254, 128, 128, 128,  //
                                  0, 0, 0, 0, 0, 0, 254, 254, 254}));
}

struct FrameSize {
    int width;
    int height;
};

std::string sizeName(const ::testing::TestParamInfo<FrameSize>& info) {
    return "W" + std::to_string(info.param.width) + "xH" + std::to_string(info.param.height);
}

class RandomFrames : public FramePipeline, public ::testing::WithParamInterface<FrameSize> {};

TEST_P(RandomFrames, Yuy2AndGreyMatchThePerPixelReference) {
    const auto [width, height] = GetParam();
    std::mt19937 rng(static_cast<unsigned>(width * 7919 + height));
    setFormat(width, height, 16);
    for (int round = 0; round < 3; ++round) {
        Bytes frame = randomBytes(pixelsOf(width, height) * 2, rng);
        deliver(frame);
        const Bytes bgr = referenceYuy2(frame.data(), width, height);
        ASSERT_EQ(rgbBuffer(), bgr) << "round " << round;
        ASSERT_EQ(greyBuffer(), referenceGrey(bgr)) << "round " << round;
    }
}

TEST_P(RandomFrames, TwentyFourBitFramesAreCopiedAndAveraged) {
    const auto [width, height] = GetParam();
    std::mt19937 rng(static_cast<unsigned>(width * 104729 + height));
    setFormat(width, height, 24);
    Bytes frame = randomBytes(pixelsOf(width, height) * 3, rng);
    deliver(frame);
    EXPECT_EQ(rgbBuffer(), frame);
    EXPECT_EQ(greyBuffer(), referenceGrey(frame));
}

INSTANTIATE_TEST_SUITE_P(Sizes, RandomFrames,
                         ::testing::Values(FrameSize{1, 1}, FrameSize{2, 1}, FrameSize{3, 5},
                                           FrameSize{6, 7}, FrameSize{10, 3}, FrameSize{14, 9},
                                           FrameSize{33, 1}, FrameSize{30, 17}, FrameSize{62, 31},
                                           FrameSize{101, 77}, FrameSize{318, 241}),
                         sizeName);

// --- the grey mean ---

TEST_F(FramePipeline, GreyIsTheUnweightedMeanRoundedDown) {
    setFormat(2, 1, 24);
    Bytes frame = {10, 20, 31, 1, 1, 0};
    deliver(frame);
    EXPECT_EQ(greyBuffer(), (Bytes{20, 0}));
}

// --- layouts that are not converted ---

class UnconvertedBitCount : public FramePipeline, public ::testing::WithParamInterface<int> {};

TEST_P(UnconvertedBitCount, KeepsTheColourFrameButStillAveragesAndRepaints) {
    setFormat(2, 2, 24);
    Bytes first = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    deliver(first);

    frameBitCount = GetParam();
    rgbFrame[0] = 30;  // the grey frame follows rgbFrame, not the delivered data
    rgbFrame[1] = 60;
    rgbFrame[2] = 90;
    Bytes second(16, 200);
    EXPECT_EQ(deliver(second), 1);

    EXPECT_EQ(rgbBuffer(), (Bytes{30, 60, 90, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(greyBuffer(), (Bytes{60, 5, 8, 11}));
    EXPECT_EQ(repaints, 2);
}

INSTANTIATE_TEST_SUITE_P(BitCounts, UnconvertedBitCount, ::testing::Values(0, 8, 15, 32),
                         [](const ::testing::TestParamInfo<int>& row) {
                             return "Bits" + std::to_string(row.param);
                         });

// --- frames that cannot be read ---

class ShortFrame : public FramePipeline, public ::testing::WithParamInterface<int> {};

TEST_P(ShortFrame, IsNotConvertedNorReadPastItsEnd) {
    const int bits = GetParam();
    const int width = 6;
    const int height = 5;
    const std::size_t frameBytes = pixelsOf(width, height) * static_cast<std::size_t>(bits / 8);
    std::mt19937 rng(5);
    setFormat(width, height, bits);
    Bytes full = randomBytes(frameBytes, rng);
    deliver(full);
    const Bytes rgbBefore = rgbBuffer();

    Bytes truncated = randomBytes(frameBytes - 1, rng);
    EXPECT_EQ(deliver(truncated), 1);
    EXPECT_EQ(rgbBuffer(), rgbBefore);
    EXPECT_EQ(greyBuffer(), referenceGrey(rgbBefore));
    EXPECT_EQ(repaints, 2);

    Bytes padded = randomBytes(frameBytes + 8, rng);  // more than needed is fine
    deliver(padded);
    EXPECT_NE(rgbBuffer(), rgbBefore);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ShortFrame, ::testing::Values(16, 24),
                         [](const ::testing::TestParamInfo<int>& row) {
                             return "Bits" + std::to_string(row.param);
                         });

TEST_F(FramePipeline, MissingHeaderOrDataLeavesTheColourFrame) {
    setFormat(2, 1, 24);
    Bytes frame = {10, 20, 31, 1, 1, 0};
    deliver(frame);

    EXPECT_EQ(frameCallback(nullptr, nullptr), 1);
    VideoHeader noData{nullptr, 6};
    EXPECT_EQ(frameCallback(nullptr, &noData), 1);

    EXPECT_EQ(rgbBuffer(), frame);
    EXPECT_EQ(greyBuffer(), (Bytes{20, 0}));
}

class EmptyFrameSize : public FramePipeline, public ::testing::WithParamInterface<FrameSize> {};

TEST_P(EmptyFrameSize, ConvertsNothingAndHoldsEmptyBuffers) {
    const auto [width, height] = GetParam();
    for (int bits : {16, 24}) {
        setFormat(width, height, bits);
        calibrationOn = 1;
        setHomography({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
        Bytes frame(64, 77);
        EXPECT_EQ(deliver(frame), 1);
        EXPECT_EQ(frameCallback(nullptr, nullptr), 1);
        EXPECT_EQ(rgbFrameBytes, 0u);
        EXPECT_EQ(grayFrameBytes, 0u);
        EXPECT_EQ(outputFrameBytes, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, EmptyFrameSize,
                         ::testing::Values(FrameSize{0, 0}, FrameSize{0, 5}, FrameSize{5, 0},
                                           FrameSize{-4, 3}, FrameSize{4, -3}, FrameSize{-2, -2}),
                         [](const ::testing::TestParamInfo<FrameSize>& row) {
                             auto n = [](int v) {
                                 return v < 0 ? "Minus" + std::to_string(-v) : std::to_string(v);
                             };
                             return "W" + n(row.param.width) + "xH" + n(row.param.height);
                         });

#if !defined(__SANITIZE_ADDRESS__)
// AddressSanitizer ends the process on an allocation this large instead of failing it.
TEST_F(FramePipeline, FrameTooLargeToAllocateIsDroppedWithoutRepaint) {
    setFormat(INT_MAX, INT_MAX, 24);
    Bytes frame(16, 1);
    EXPECT_EQ(deliver(frame), 1);
    EXPECT_EQ(rgbFrame, nullptr);
    EXPECT_EQ(repaints, 0);
}
#endif

// --- size changes between frames ---

class SizeChange : public FramePipeline, public ::testing::WithParamInterface<int> {};

TEST_P(SizeChange, BuffersFollowEachNewSize) {
    const int bits = GetParam();
    std::mt19937 rng(static_cast<unsigned>(bits));
    calibrationOn = 1;
    setHomography({{0.9, 0.05, 4}, {-0.04, 0.95, 3}, {0.0002, -0.0001, 1}});
    for (const auto [width, height] :
         {FrameSize{320, 240}, FrameSize{640, 480}, FrameSize{160, 120}, FrameSize{161, 121}}) {
        setFormat(width, height, bits);
        const std::size_t pixels = pixelsOf(width, height);
        Bytes frame = randomBytes(pixels * static_cast<std::size_t>(bits / 8), rng);
        deliver(frame);

        ASSERT_EQ(rgbFrameBytes, pixels * 3) << width << "x" << height;
        ASSERT_EQ(grayFrameBytes, pixels);
        ASSERT_EQ(outputFrameBytes, pixels);
        const Bytes bgr = bits == 16 ? referenceYuy2(frame.data(), width, height) : frame;
        EXPECT_EQ(rgbBuffer(), bgr);
        EXPECT_EQ(greyBuffer(), referenceGrey(bgr));
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, SizeChange, ::testing::Values(16, 24),
                         [](const ::testing::TestParamInfo<int>& row) {
                             return "Bits" + std::to_string(row.param);
                         });

// A loaded file may leave a buffer of another size behind; the next frame replaces it.
TEST_F(FramePipeline, BufferOfAnotherSizeIsMadeAnew) {
    setFormat(4, 2, 24);
    freeFrameBuffer(grayFrame, grayFrameBytes);
    ASSERT_TRUE(makeFrameBuffer(grayFrame, grayFrameBytes, 3));
    Bytes frame(24, 90);
    deliver(frame);
    EXPECT_EQ(grayFrameBytes, 8u);
    EXPECT_EQ(greyBuffer(), Bytes(8, 90));
}

// --- the warp and the repaint ---

TEST_F(FramePipeline, WithCalibrationOffTheOutputFrameIsMadeButNotWritten) {
    setFormat(4, 3, 24);
    setHomography({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    Bytes frame(36, 50);
    deliver(frame);
    ASSERT_NE(outputFrame, nullptr);
    ASSERT_EQ(outputFrameBytes, 12u);
    for (std::size_t i = 0; i < outputFrameBytes; ++i) {
        outputFrame[i] = 0x5A;
    }
    deliver(frame);
    EXPECT_EQ(Bytes(outputFrame, outputFrame + outputFrameBytes), Bytes(12, 0x5A));
}

TEST_F(FramePipeline, WithCalibrationOnTheGreyFrameIsWarpedBeforeTheRepaint) {
    const int width = 37;
    const int height = 23;
    std::mt19937 rng(11);
    setFormat(width, height, 16);
    calibrationOn = 1;
    setHomography({{0.8, 0.1, 3.5}, {-0.05, 1.1, -2.25}, {0.003, -0.002, 1}});
    Bytes frame = randomBytes(pixelsOf(width, height) * 2, rng);
    deliver(frame);

    const Bytes grey = referenceGrey(referenceYuy2(frame.data(), width, height));
    Bytes expected(grey.size(), 0);
    unsigned char* expectedOut = expected.data();
    rectifyFrame(grey.data(), expectedOut);
    EXPECT_EQ(greyAtRepaint, grey);
    EXPECT_EQ(outputAtRepaint, expected);
}

TEST_F(FramePipeline, RepaintIsRequestedOncePerFrame) {
    setFormat(8, 6, 16);
    std::mt19937 rng(3);
    for (int frameNumber = 1; frameNumber <= 5; ++frameNumber) {
        Bytes frame = randomBytes(8 * 6 * 2, rng);
        deliver(frame);
        EXPECT_EQ(repaints, frameNumber);
        EXPECT_EQ(greyAtRepaint, referenceGrey(referenceYuy2(frame.data(), 8, 6)));
    }
}

TEST_F(FramePipeline, WithoutADialogTheFrameIsConvertedButNotPainted) {
    mainDialog = nullptr;
    setFormat(2, 1, 24);
    Bytes frame = {10, 20, 31, 1, 1, 0};
    EXPECT_EQ(deliver(frame), 1);
    EXPECT_EQ(repaints, 0);
    EXPECT_EQ(greyBuffer(), (Bytes{20, 0}));
}

}  // namespace
