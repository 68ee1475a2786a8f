// A soak of live capture at 4K: a 3840 × 2160, 30 fps source through the real GStreamer path
// and the capture window into the frame pipeline with calibration on, ticked as the dialog
// ticks it, for --seconds N (600 unless given). The resident set is sampled each second;
// after the warm-up (the first fifth from the first frame on, at least two seconds) it must
// stay within kBoundMiB of where the warm-up left it. Exit status 1 with the reason when it
// grows past that or no frame came, 0 otherwise.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "frame/frameState.h"
#include "bench/liveSource.h"
#include "capture/CaptureWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kBoundMiB = 8;
constexpr auto kTick = std::chrono::milliseconds(15);  // the dialog's preview rate

double residentMiB() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

int fail(const char* reason) {
    std::printf("soak failed: %s\n", reason);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool given = argc == 3 && std::string(argv[1]) == "--seconds";
    const int seconds = given ? std::atoi(argv[2]) : 600;
    const int warmUp = std::max(2, seconds / 5);
    if ((argc != 1 && !given) || seconds <= warmUp) {
        std::fprintf(stderr, "usage: %s [--seconds N], N at least 3\n", argv[0]);
        return 2;
    }

    CaptureWindow window({0, 0, 80, 60}, makeLiveDriver());
    VideoFormat format;
    if (!window.driverConnect(0) || !window.videoFormat(format)) {
        return fail("the 4K source would not open");
    }
    window.setSequenceSetup({33333});
    frameWidth = format.width, frameHeight = format.height, frameBitCount = format.bitCount;
    // A slightly tilted view, so that the warp samples across the whole frame.
    const double tilt[3][3] = {{0.95, 0.04, 60}, {-0.03, 0.97, 40}, {1e-5, -2e-5, 1}};
    std::copy(&tilt[0][0], &tilt[0][0] + 9, &homographyTable[0][0]);
    calibrationOn = 1;
    window.setCallbackFrame(frameCallback);
    window.setScale(true);
    window.setPreview(true);

    // The clock starts with the first frame, which makes the frame buffers: a slow start on a
    // busy machine must not put them after the warm-up.
    const double start = residentMiB();
    long frames = 0;
    for (const Clock::time_point end = Clock::now() + std::chrono::seconds(20);
         frames == 0 && Clock::now() < end; std::this_thread::sleep_for(kTick)) {
        frames += window.previewTick();
    }
    if (frames == 0) {
        return fail("no frame came from the 4K source within 20 s");
    }
    double afterWarmUp = 0, highest = 0;
    const Clock::time_point begin = Clock::now();
    Clock::time_point tick = begin;
    for (int second = 1; second <= seconds; ++second) {
        for (; tick < begin + std::chrono::seconds(second); tick += kTick) {
            frames += window.previewTick();
            std::this_thread::sleep_until(tick + kTick);
        }
        const double now = residentMiB();
        if (second == warmUp) {
            afterWarmUp = now;
        } else if (second > warmUp) {
            highest = std::max(highest, now);
        }
    }
    const double growth = std::max(0.0, highest - afterWarmUp);
    const double end = residentMiB();
    std::printf(
        "soak: %d s, %ld frames processed (%.1f per second); resident set %.1f MiB at start, "
        "%.1f after the %d s warm-up, %.1f at the end; growth after the warm-up %.1f MiB "
        "(bound %.0f)\n",
        seconds, frames, static_cast<double>(frames) / seconds, start, afterWarmUp, warmUp, end,
        growth, kBoundMiB);
    if (outputFrame == nullptr) {
        return fail("the warp never ran");
    }
    if (growth > kBoundMiB) {
        return fail("the resident set grew past the bound after the warm-up");
    }
    return 0;
}
