// The frame pipeline's own decisions, through frameCallback: which conversion a frame gets (on
// any number of threads), which frames are not converted, buffers that follow the frame size, the
// warp only while calibration is on, and a frame dropped when memory runs out. The pictures are
// checked against the per-pixel references; the arithmetic itself is the kernel tests' business.
#include <gtest/gtest.h>

#include <climits>

#include "capture/framePipeline.h"
#include "cpu/rowPool.h"
#include "tests/support/frameStateReset.h"
#include "tests/support/naiveReference.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const unsigned char* data, std::size_t n) {
    return data == nullptr ? Bytes() : Bytes(data, data + n);
}

class FramePipeline : public testing::Test {
  protected:
    void SetUp() override { resetFrameState(); }
    void TearDown() override { resetFrameState(); }
    // Delivers `frame` (on the heap, so a read past it is caught by the sanitizer build)
    // as `bytesUsed` bytes at the given format.
    static int deliver(int width, int height, int bits, Bytes& frame, long bytesUsed = -1,
                       bool withHeader = true) {
        frameWidth = width;
        frameHeight = height;
        frameBitCount = bits;
        VideoHeader header{
            frame.empty() ? nullptr : frame.data(),
            static_cast<std::uint32_t>(bytesUsed < 0 ? long(frame.size()) : bytesUsed)};
        return frameCallback(nullptr, withHeader ? &header : nullptr);
    }
    std::mt19937 rng{3};
};

// Split over threads, each frame gives the reference bytes (each kernel path is checked against
// them alone): a band edge off by one, a band skipped or a caller not waiting for its workers
// leaves rows of poison behind. A buffer of another size (left by a loaded file, or by the
// last frame) is made anew.
TEST_F(FramePipeline, ConvertsBySizeAndLayoutOnAnyThreadsAndWarpsOnlyWhileCalibrationIsOn) {
    ASSERT_TRUE(makeFrameBuffer(outputFrame, outputFrameBytes, 3));
    // Width, height, bits per pixel, calibration on; 5 x 7 gets the memory 8 x 4 freed.
    const std::tuple<int, int, int, int> frames[] = {
        {13, 7, 16, 1}, {13, 7, 24, 0}, {8, 4, 24, 1},     {5, 7, 16, 0},     {5, 7, 16, 1},
        {1, 1, 16, 1},  {3, 2, 24, 1},  {641, 481, 16, 1}, {641, 481, 24, 1}, {37, 3, 16, 1}};
    for (const auto& [width, height, bits, on] : frames) {
        const HomographyRows h = randomPerspective(width, height, rng);
        std::copy(&h[0][0], &h[0][0] + 9, &homographyTable[0][0]);
        calibrationOn = on;
        const std::size_t pixels = static_cast<std::size_t>(width * height);
        Bytes frame = randomBytes(pixels * static_cast<std::size_t>(bits / 8), rng);
        const Bytes bgr = bits == 16 ? referenceYuy2(frame.data(), width, height) : frame;
        const Bytes grey = referenceGrey(bgr),
                    warped = referenceWarp(grey.data(), width, height, h);
        for (const int threads : {1, 2, 3, 5}) {
            SCOPED_TRACE(testing::Message()
                         << width << "x" << height << " " << bits << " " << threads);
            setRowThreads(threads);
            std::fill_n(rgbFrame, rgbFrameBytes, 90);
            std::fill_n(grayFrame, grayFrameBytes, 90);
            std::fill_n(outputFrame, outputFrameBytes, 90);
            const Bytes outputBefore = bytesOf(outputFrame, outputFrameBytes);
            const bool sameSize = outputFrameBytes == pixels;
            ASSERT_EQ(deliver(width, height, bits, frame), 1);
            EXPECT_EQ(bytesOf(rgbFrame, rgbFrameBytes), bgr);
            EXPECT_EQ(bytesOf(grayFrame, grayFrameBytes), grey);
            // Off: the output is left as it was, or made zero-filled for a new size.
            const Bytes output = on ? warped : sameSize ? outputBefore : Bytes(pixels, 0);
            EXPECT_EQ(bytesOf(outputFrame, outputFrameBytes), output);
        }
    }
}

// A loaded picture is rectified from its grey frame or, a colour one having none, from the
// grey of its colour frame; with neither of the current size there is nothing to warp.
TEST_F(FramePipeline, ALoadedPictureIsRectifiedFromItsGreyOrItsColour) {
    const HomographyRows h = randomPerspective(9, 5, rng);
    std::copy(&h[0][0], &h[0][0] + 9, &homographyTable[0][0]);
    frameWidth = 9, frameHeight = 5;
    ASSERT_TRUE(makeFrameBuffer(outputFrame, outputFrameBytes, 3));  // of another size
    EXPECT_FALSE(rectifyCurrentPicture());
    const Bytes colour = randomBytes(9 * 5 * 3, rng), grey = referenceGrey(colour);
    ASSERT_TRUE(makeFrameBuffer(rgbFrame, rgbFrameBytes, colour.size()));
    std::copy(colour.begin(), colour.end(), rgbFrame);
    ASSERT_TRUE(rectifyCurrentPicture());
    EXPECT_EQ(bytesOf(outputFrame, outputFrameBytes), referenceWarp(grey.data(), 9, 5, h));
    const Bytes own = randomBytes(9 * 5, rng);
    ASSERT_TRUE(makeFrameBuffer(grayFrame, grayFrameBytes, own.size()));
    std::copy(own.begin(), own.end(), grayFrame);
    ASSERT_TRUE(rectifyCurrentPicture());
    EXPECT_EQ(bytesOf(outputFrame, outputFrameBytes), referenceWarp(own.data(), 9, 5, h));
    outputHorizon = -1;  // the whole plane lies on the other side
    EXPECT_TRUE(rectifyCurrentPicture() && bytesOf(outputFrame, outputFrameBytes) == Bytes(45, 0));
    frameWidth = 8;
    EXPECT_FALSE(rectifyCurrentPicture());
}

// Frames that cannot be converted leave rgbFrame's picture; grey still follows, and the frame
// counts as handled.
TEST_F(FramePipeline, UnconvertibleFramesKeepTheColourPicture) {
    Bytes first = randomBytes(6 * 4 * 3, rng);
    deliver(6, 4, 24, first);
    for (const auto& [name, bits, bytesUsed, header, data] :
         {std::tuple{"short 24-bit", 24, 71, true, true},
          {"short YUY2", 16, 47, true, true},
          {"no header", 24, 72, false, true},
          {"no data", 16, 48, true, false},
          {"8-bit", 8, 72, true, true},
          {"32-bit", 32, 96, true, true}}) {
        SCOPED_TRACE(name);
        Bytes other = data ? randomBytes(96, rng) : Bytes();
        EXPECT_EQ(deliver(6, 4, bits, other, bytesUsed, header), 1);
        EXPECT_EQ(bytesOf(rgbFrame, rgbFrameBytes), first);
        EXPECT_EQ(bytesOf(grayFrame, grayFrameBytes), referenceGrey(first));
    }
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer ends the process instead of failing
TEST_F(FramePipeline, FrameTooLargeToAllocateIsDropped) {
    Bytes frame(16, 1);
    EXPECT_EQ(deliver(INT_MAX, INT_MAX, 24, frame), 0);
    EXPECT_EQ(rgbFrame, nullptr);
}
#endif

}  // namespace
