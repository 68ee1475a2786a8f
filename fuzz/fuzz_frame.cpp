// frameCallback under any format, frame byte count and homography, with Load BMP leaving a
// buffer of another size between frames: after every frame each buffer holds exactly the
// bytes the frame size implies, and the pictures equal the per-pixel references.
#include <fuzzer/FuzzedDataProvider.h>

#include "frame/frameState.h"
#include "capture/framePipeline.h"
#include "fuzz/fuzzCheck.h"
#include "tests/support/naiveReference.h"
#include "tests/support/frameStateReset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    resetFrameState();
    while (in.remaining_bytes() > 0) {
        const int width = frameWidth = in.ConsumeIntegralInRange(-1, 40);
        const int height = frameHeight = in.ConsumeIntegralInRange(-1, 30);
        frameBitCount = in.PickValueInArray({0, 8, 15, 16, 24, 32});
        calibrationOn = in.ConsumeBool();
        for (auto& row : homographyTable)
            for (double& value : row)
                value = in.ConsumeBool() ? in.ConsumeFloatingPoint<double>()
                                         : in.ConsumeFloatingPointInRange(-2.0, 2.0);
        if (in.ConsumeBool()) {
            freeFrameBuffer(grayFrame, grayFrameBytes);
            makeFrameBuffer(grayFrame, grayFrameBytes, in.ConsumeIntegralInRange(1, 99));
        }
        Bytes frame = in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange(0, 3600));
        const std::size_t pixels = framePixels(), needed = pixels * (frameBitCount / 8);
        const Bytes before(rgbFrame, rgbFrame + (rgbFrameBytes == pixels * 3 ? rgbFrameBytes : 0));
        VideoHeader header{frame.data(), static_cast<std::uint32_t>(frame.size())};
        FUZZ_CHECK(frameCallback(nullptr, &header) == 1);
        FUZZ_CHECK(rgbFrameBytes == pixels * 3 && grayFrameBytes == pixels &&
                   outputFrameBytes == pixels);
        const Bytes rgb(rgbFrame, rgbFrame + pixels * 3), grey(grayFrame, grayFrame + pixels);
        if (pixels == 0)
            continue;
        if ((frameBitCount == 16 || frameBitCount == 24) && frame.size() >= needed)
            FUZZ_CHECK(rgb == (frameBitCount == 16
                                   ? referenceYuy2(frame.data(), width, height)
                                   : Bytes(frame.begin(), frame.begin() + long(needed))));
        else
            FUZZ_CHECK(before.empty() ? rgb == Bytes(pixels * 3, 0) : rgb == before);
        FUZZ_CHECK(grey == referenceGrey(rgb));
        if (calibrationOn)
            FUZZ_CHECK(Bytes(outputFrame, outputFrame + pixels) ==
                       referenceWarp(grey.data(), width, height, homographyTable));
    }
    resetFrameState();
    return 0;
}
