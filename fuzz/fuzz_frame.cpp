// frameCallback under any format, frame byte count and homography, with Load BMP leaving a
// buffer of another size between frames: after every frame each buffer holds exactly the
// bytes the frame size implies, and a frame too short or of another layout is not converted.
// The sanitizers watch every read, the warp's through any homography included.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "capture/framePipeline.h"
#include "frame/frameState.h"
#include "fuzz/fuzzCheck.h"
#include "tests/support/frameStateReset.h"

using Bytes = std::vector<unsigned char>;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    resetFrameState();
    while (in.remaining_bytes() > 0) {
        frameWidth = in.ConsumeIntegralInRange(-1, 40);
        frameHeight = in.ConsumeIntegralInRange(-1, 30);
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
        // Which frames are converted; the conversions and the warp themselves are checked
        // against the references on every kernel path by the unit tests.
        const Bytes rgb(rgbFrame, rgbFrame + pixels * 3);
        if ((frameBitCount != 16 && frameBitCount != 24) || frame.size() < needed)
            FUZZ_CHECK(before.empty() ? rgb == Bytes(pixels * 3, 0) : rgb == before);
        else if (frameBitCount == 24)
            FUZZ_CHECK(rgb == Bytes(frame.begin(), frame.begin() + long(needed)));
    }
    resetFrameState();
    return 0;
}
