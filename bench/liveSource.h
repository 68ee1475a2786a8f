// The live source of the soak and of the click-latency run: GStreamer's test pattern, live,
// 3840 × 2160 at 30 frames per second, through the real capture path.
#pragma once

#include <memory>

#include "capture/CaptureDriver.h"

inline constexpr int kLiveFps = 30;

inline std::unique_ptr<CaptureDriver> makeLiveDriver() {
    return makeCaptureDriver(
        {"videotestsrc is-live=true pattern=ball ! "
         "video/x-raw,width=3840,height=2160,framerate=30/1",
         CaptureMode{3840, 2160, kLiveFps}});
}
