// The live capture facility: GStreamer sources as cameras, the virtual camera's chart and
// the capture window's preview. No camera needed.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "app/sharedState.h"
#include "capture/CaptureWindow.h"
#include "capture/GstCamera.h"
#include "capture/TestChart.h"
#include "capture/VirtualCamera.h"
#include "capture/framePipeline.h"
#include "tests/capture/FakeCaptureDriver.h"
#include "tests/support/sharedStateReset.h"

namespace {

using namespace std::chrono_literals;
using Frame = std::vector<unsigned char>;

GstCamera cameraOn(const std::string& description) {
    return GstCamera([description] { return std::vector<CameraSource>{{description, {}, {}}}; });
}

// A frame within `wait`, or none.
bool frameWithin(GstCamera& camera, Frame& frame, std::chrono::milliseconds wait = 5s) {
    for (const auto end = std::chrono::steady_clock::now() + wait;
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(5ms)) {
        if (camera.takeFrame(frame)) {
            return true;
        }
    }
    return false;
}

std::string caps(const char* format, int width, int rate = 100) {
    return "videotestsrc pattern=smpte ! capsfilter caps=video/x-raw,format=" +
           std::string(format) + ",width=" + std::to_string(width) +
           ",height=48,framerate=" + std::to_string(rate) + "/1";
}

struct Layout {
    std::string source;
    int width;
    int bitCount;  // delivered
};

class GstLayout : public ::testing::TestWithParam<Layout> {};

// SMPTE bars repeat down the top rows: rows copied at the wrong stride differ from row 0.
TEST_P(GstLayout, RowsArrivePackedInTheChosenLayout) {
    const Layout& c = GetParam();
    GstCamera camera = cameraOn(c.source);
    ASSERT_TRUE(camera.connect(0));
    VideoFormat format;
    ASSERT_TRUE(camera.format(format));
    EXPECT_EQ(format.width, c.width);
    EXPECT_EQ(format.height, 48);
    EXPECT_EQ(format.bitCount, c.bitCount);
    for (int round = 0; round < 2; ++round) {  // again after a stop
        camera.start();
        Frame frame;
        ASSERT_TRUE(frameWithin(camera, frame));
        const std::size_t row = static_cast<std::size_t>(c.width) * (c.bitCount / 8u);
        ASSERT_EQ(frame.size(), row * 48);
        const bool lossy = c.source.find("jpeg") != std::string::npos;
        for (std::size_t r = 1; r < 20 && !lossy; ++r) {
            ASSERT_TRUE(std::equal(frame.begin(), frame.begin() + static_cast<long>(row),
                                   frame.begin() + static_cast<long>(r * row)))
                << "row " << r;
        }
        // White and blue bars at the ends.
        EXPECT_FALSE(std::equal(frame.begin(), frame.begin() + 4, frame.end() - 4 - (47 * row)));
        camera.stop();
        EXPECT_FALSE(frameWithin(camera, frame, 150ms));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, GstLayout,
    ::testing::Values(Layout{caps("YUY2", 642), 642, 16}, Layout{caps("YUY2", 641), 641, 24},
                      Layout{caps("BGR", 641), 641, 24}, Layout{caps("BGR", 7), 7, 24},
                      Layout{caps("I420", 642), 642, 24}, Layout{caps("GRAY8", 322), 322, 24},
                      Layout{"videotestsrc pattern=smpte ! jpegenc ! capsfilter "
                             "caps=image/jpeg,width=642,height=48,framerate=30/1",
                             642, 24}));

class Unopenable : public ::testing::TestWithParam<std::string> {};

TEST_P(Unopenable, DoesNotConnectAndGivesNothing) {
    GstCamera camera = cameraOn(GetParam());
    EXPECT_FALSE(camera.connect(0));
    EXPECT_NE(camera.openFailure().cause, OpenFailure::Cause::none);
    VideoFormat format{1, 2, 3};
    EXPECT_FALSE(camera.format(format));
    EXPECT_EQ(format.width, 1);
    camera.start();
    Frame frame;
    EXPECT_FALSE(camera.takeFrame(frame));
    EXPECT_FALSE(camera.connect(1));
}

INSTANTIATE_TEST_SUITE_P(Sources, Unopenable,
                         ::testing::Values("v4l2src device=/dev/plandis-no-such-camera",
                                           "plandis-no-such-element", "fakesink", caps("YUY2", 0)));

// A source that breaks or ends: frames stop without a hang; a new connect brings them back.
class FailsMidRun : public ::testing::TestWithParam<std::string> {};

TEST_P(FailsMidRun, StopsItsFramesAndConnectsAgain) {
    GstCamera camera = cameraOn(GetParam());
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(camera.connect(0));
        camera.start();
        Frame frame;
        ASSERT_TRUE(frameWithin(camera, frame));
        for (const auto end = std::chrono::steady_clock::now() + 5s;
             !camera.failed() && std::chrono::steady_clock::now() < end;) {
            camera.takeFrame(frame);
        }
        EXPECT_TRUE(camera.failed());
        EXPECT_FALSE(frameWithin(camera, frame, 100ms));
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, FailsMidRun,
                         ::testing::Values(caps("YUY2", 64) + " ! identity error-after=10",
                                           "videotestsrc num-buffers=10 ! capsfilter "
                                           "caps=video/x-raw,format=YUY2,width=64,height=48"));

TEST(GstCamera, KeepsOnlyTheNewestFrameAndTheNearestSizeAndRate) {
    GstCamera camera = cameraOn(
        "videotestsrc ! capsfilter caps=video/x-raw,format={I420,YUY2},width=[16,4000],"
        "height=[16,4000],framerate={15/1,25/1,60/1}");
    camera.setFramePeriod(33333);
    ASSERT_TRUE(camera.connect(0));
    VideoFormat format;
    ASSERT_TRUE(camera.format(format));
    EXPECT_EQ(format.width, 640);
    EXPECT_EQ(format.height, 480);
    EXPECT_EQ(format.bitCount, 16);
    EXPECT_EQ(camera.framePeriod(), 40000u);
    camera.start();
    Frame frame;
    ASSERT_TRUE(frameWithin(camera, frame));
    std::this_thread::sleep_for(300ms);  // some frames come and go meanwhile
    EXPECT_TRUE(camera.takeFrame(frame));
    EXPECT_FALSE(camera.takeFrame(frame));
}

TEST(VirtualCamera, FilmsTheChartAt640By480Yuy2At30FramesPerSecond) {
    GstCamera camera([] { return std::vector<CameraSource>{virtualCameraSource()}; });
    ASSERT_TRUE(camera.connect(0));
    VideoFormat format;
    ASSERT_TRUE(camera.format(format));
    EXPECT_EQ(format.width, 640);
    EXPECT_EQ(format.height, 480);
    EXPECT_EQ(format.bitCount, 16);
    EXPECT_EQ(camera.framePeriod(), 33333u);
}

// The chart: a white card whose corners sway at most 3 pixels, with a dark top-left
// square, on a darker table.
TEST(TestChart, CardCornersSwayAroundRestAndShowWhiteOnDark) {
    const auto rest = chartCornersAtRest();
    double largest = 0.0;
    Frame yuy2(static_cast<std::size_t>(chartFrameWidth) * chartFrameHeight * 2);
    const auto luma = [&](double x, double y) {
        return yuy2[static_cast<std::size_t>(std::lround(y) * chartFrameWidth + std::lround(x)) *
                    2];
    };
    for (const double t : {0.0, 0.7, 1.9, 3.3, 100.25}) {
        const auto c = chartCornersAt(t);
        drawChartFrame(t, yuy2.data(), chartFrameWidth, chartFrameHeight);
        const double in[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
        for (std::size_t i = 0; i < 4; ++i) {
            largest = std::max(largest, std::hypot(c[i].x - rest[i].x, c[i].y - rest[i].y));
            EXPECT_GT(luma(c[i].x + 4 * in[i][0], c[i].y + 4 * in[i][1]), 200) << t;
            EXPECT_LT(luma(c[i].x - 6 * in[i][0], c[i].y - 6 * in[i][1]), 130) << t;
        }
        // Along the top row, past the disc's square: white, then dark (bilinear is close
        // enough at a square's centre).
        const auto at = [&](double s, double u) {
            const auto mix = [&](double ChartPoint::*axis) {
                return (1 - u) * ((1 - s) * c[0].*axis + s * c[1].*axis) +
                       u * ((1 - s) * c[3].*axis + s * c[2].*axis);
            };
            return luma(mix(&ChartPoint::x), mix(&ChartPoint::y));
        };
        EXPECT_GT(at(2.0 / 9, 1.0 / 7), 200) << t;
        EXPECT_LT(at(3.0 / 9, 1.0 / 7), 60) << t;
    }
    EXPECT_LE(largest, 3.0);
    EXPECT_GT(largest, 1.0);
}

// The preview shows the colour frame the callback made: the pixel under each preview
// pixel's centre, or the top-left corner at its own size while scaling is off.
TEST(CaptureWindow, PreviewSamplesTheConvertedFrame) {
    for (const bool scaled : {true, false}) {
        resetFrameState();
        const int w = scaled ? 163 : 50, h = scaled ? 121 : 40;
        auto log = useFakeDriver(1, {w, h, 24});
        CaptureWindow window({0, 0, 80, 60}, captureDriverFactory());
        ASSERT_TRUE(window.driverConnect(0));
        frameWidth = w, frameHeight = h, frameBitCount = 24;
        Frame bgr(static_cast<std::size_t>(w * h * 3));
        for (std::size_t i = 0; i < bgr.size(); ++i) {
            bgr[i] = static_cast<unsigned char>(i * 7 / 3 + 1);
        }
        log->frames = {bgr};
        window.setScale(scaled);
        window.setCallbackFrame(frameCallback);
        EXPECT_FALSE(window.previewTick());  // not previewing yet
        window.setPreview(true);
        ASSERT_TRUE(window.previewTick());
        EXPECT_FALSE(window.previewTick());
        for (int py = 0; py < 60; ++py) {
            for (int px = 0; px < 80; ++px) {
                const int x = scaled ? (2 * px + 1) * w / 160 : px;
                const int y = scaled ? (2 * py + 1) * h / 120 : py;
                const bool inside = x < w && y < h;
                for (int k = 0; k < 3; ++k) {
                    ASSERT_EQ(
                        window.previewPicture()[static_cast<std::size_t>((py * 80 + px) * 3 + k)],
                        inside ? bgr[static_cast<std::size_t>((y * w + x) * 3 + k)] : 0)
                        << px << "," << py;
                }
            }
        }
    }
    resetFrameState();
}

}  // namespace
