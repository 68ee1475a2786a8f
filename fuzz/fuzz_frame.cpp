// frameCallback under whatever a camera or the user may throw at it: formats of any bit
// count and size, frames of any byte count (the header's count is what lies at data), Load
// BMP replacing one buffer and the frame size between frames, and any homography. After
// every frame each buffer holds exactly the bytes the current frame size implies, and the
// colour, grey and rectified pictures equal per-pixel references.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/sharedState.h"
#include "capture/framePipeline.h"
#include "fuzz/fuzzCheck.h"
#include "tests/support/naiveReference.h"
#include "tests/support/sharedStateReset.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Small pictures keep the run fast; the odd sizes and the edges matter, not the area.
constexpr int maxSide = 96;

// Pixel bytes beyond what the input spells out: a xorshift sequence from a seed the input
// chooses, so that large frames carry varied pictures without long inputs.
void fillPseudoRandom(unsigned char* bytes, std::size_t count, std::uint32_t seed) {
    std::uint32_t state = seed | 1u;
    for (std::size_t i = 0; i < count; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<unsigned char>(state >> 24);
    }
}

int side(FuzzedDataProvider& in) {
    return in.ConsumeIntegralInRange(-2, maxSide);
}

// A capture format: every bit count is possible, the two converted ones most often.
void setFormat(FuzzedDataProvider& in) {
    frameWidth = side(in);
    frameHeight = side(in);
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            frameBitCount = 24;
            break;
        case 1:
            frameBitCount = 16;
            break;
        default:
            frameBitCount = in.ConsumeIntegral<std::int8_t>();
            break;
    }
}

// What Load BMP does: the frame size of the file, one buffer replaced by its packed copy,
// the grey frame dropped after a colour picture, then every buffer of another size.
void loadPicture(FuzzedDataProvider& in) {
    const int width = in.ConsumeIntegralInRange(1, maxSide);
    const int height = in.ConsumeIntegralInRange(1, maxSide);
    const bool colour = in.ConsumeBool();
    frameWidth = width;
    frameHeight = height;
    const std::size_t bytes = framePixels() * (colour ? 3 : 1);
    auto* block = new unsigned char[bytes];
    fillPseudoRandom(block, bytes, in.ConsumeIntegral<std::uint32_t>());
    if (colour) {
        delete[] rgbFrame;
        rgbFrame = block;
        rgbFrameBytes = bytes;
        freeFrameBuffer(grayFrame, grayFrameBytes);
    } else {
        delete[] grayFrame;
        grayFrame = block;
        grayFrameBytes = bytes;
    }
    dropMismatchedFrameBuffers();
}

// The calibration checkbox: any nine doubles, or a perturbed identity, which maps most
// pixels inside the frame.
void setCalibration(FuzzedDataProvider& in) {
    calibrationOn = in.ConsumeBool() ? 1 : 0;
    const bool arbitrary = in.ConsumeBool();
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (arbitrary) {
                homographyTable[r][c] = in.ConsumeFloatingPoint<double>();
            } else {
                const double unit = r == c ? 1.0 : 0.0;
                const double scale = r == 2 ? 1e-3 : (c == 2 ? 8.0 : 0.5);
                homographyTable[r][c] =
                    unit + scale * in.ConsumeFloatingPointInRange<double>(-1.0, 1.0);
            }
        }
    }
}

// memcmp that accepts empty (and then possibly null) ranges.
bool sameBytes(const unsigned char* a, const unsigned char* b, std::size_t n) {
    return n == 0 || std::memcmp(a, b, n) == 0;
}

// One frame of `count` bytes: as many as the input still holds, then pseudo-random ones.
void deliverFrame(FuzzedDataProvider& in) {
    const std::size_t pixels = framePixels();
    const std::size_t perPixel = frameBitCount == 24 ? 3 : (frameBitCount == 16 ? 2 : 1);
    const std::size_t whole = pixels * perPixel;
    const std::size_t count =
        in.ConsumeBool() ? whole : in.ConsumeIntegralInRange<std::size_t>(0, whole + 8);
    const std::uint32_t seed = in.ConsumeIntegral<std::uint32_t>();
    const Bytes given = in.ConsumeBytes<unsigned char>(count);
    // Exactly `count` bytes on the heap, so that a read past them is caught.
    auto* data = new unsigned char[count == 0 ? 1 : count]();
    if (!given.empty()) {
        std::memcpy(data, given.data(), given.size());
    }
    fillPseudoRandom(data + given.size(), count - given.size(), seed);

    const Bytes before(rgbFrame, rgbFrame + rgbFrameBytes);
    const std::size_t beforePixels = rgbFrameBytes / 3;
    const bool sameSize = beforePixels == pixels && rgbFrame != nullptr;
    VideoHeader header{data, static_cast<std::uint32_t>(count)};
    FUZZ_CHECK(frameCallback(nullptr, &header) == 1);

    // Every buffer is there and exactly as large as the frame size says.
    FUZZ_CHECK(rgbFrame != nullptr && rgbFrameBytes == pixels * 3);
    FUZZ_CHECK(grayFrame != nullptr && grayFrameBytes == pixels);
    FUZZ_CHECK(outputFrame != nullptr && outputFrameBytes == pixels);

    const bool converted =
        (frameBitCount == 24 || frameBitCount == 16) && pixels > 0 && count >= whole;
    if (converted && frameBitCount == 24) {
        FUZZ_CHECK(sameBytes(rgbFrame, data, whole));
    } else if (converted) {
        const Bytes expected = referenceYuy2(data, frameWidth, frameHeight);
        FUZZ_CHECK(sameBytes(rgbFrame, expected.data(), expected.size()));
    } else if (sameSize) {
        FUZZ_CHECK(sameBytes(rgbFrame, before.data(), before.size()));
    } else {
        // A buffer made anew for the new size starts black.
        const Bytes black(pixels * 3, 0);
        FUZZ_CHECK(sameBytes(rgbFrame, black.data(), black.size()));
    }
    for (std::size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = rgbFrame + 3 * i;
        FUZZ_CHECK(grayFrame[i] == referenceGreyPixel(p));
    }
    if (calibrationOn != 0) {
        for (int y = 0; y < frameHeight; ++y) {
            for (int x = 0; x < frameWidth; ++x) {
                const std::size_t i =
                    static_cast<std::size_t>(y) * std::size_t(frameWidth) + std::size_t(x);
                FUZZ_CHECK(outputFrame[i] == referenceWarpPixel(grayFrame, frameWidth, frameHeight,
                                                                frameWidth, homographyTable, x, y));
            }
        }
    }
    delete[] data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    resetFrameState();
    FuzzedDataProvider in(data, size);
    for (int step = 0; step < 16 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0:
                setFormat(in);
                break;
            case 1:
                loadPicture(in);
                break;
            case 2:
                setCalibration(in);
                break;
            default:
                deliverFrame(in);
                break;
        }
    }
    resetFrameState();
    return 0;
}
