// The capture facility without a camera: GStreamer sources, the chart and the preview.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numeric>
#include <thread>

#include "capture/CaptureWindow.h"
#include "capture/GstCamera.h"
#include "capture/TestChart.h"
#include "capture/VirtualCamera.h"
#include "capture/namedSource.h"
#include "tests/capture/FakeCaptureDriver.h"
#include "tests/support/sharedStateReset.h"

namespace {

using namespace std::chrono_literals;
using Frame = std::vector<unsigned char>;

GstCamera cameraOn(const std::string& description) {
    return GstCamera([description] { return std::vector<CameraSource>{{description, {}, {}}}; });
}

bool frameWithin(GstCamera& camera, Frame& frame, std::chrono::milliseconds wait = 5s) {
    for (const auto end = std::chrono::steady_clock::now() + wait; !camera.takeFrame(frame);
         std::this_thread::sleep_for(5ms))
        if (std::chrono::steady_clock::now() > end)
            return false;
    return true;
}

std::string bars(const char* format, int width) {
    return "videotestsrc pattern=smpte ! capsfilter caps=video/x-raw,format=" +
           std::string(format) + ",width=" + std::to_string(width) + ",height=48,framerate=100/1";
}

// Packed rows, YUY2 at an even width as it comes, all else blue, green, red. SMPTE bars
// repeat down the top rows, so rows copied at the wrong stride differ from row 0.
TEST(GstCamera, RowsArrivePackedInTheChosenLayoutAgainAfterAStop) {
    const std::tuple<std::string, int, int> layouts[] = {
        {bars("YUY2", 642), 642, 16},
        {bars("YUY2", 641), 641, 24},
        {bars("BGR", 7), 7, 24},
        {bars("I420", 642), 642, 24},
        {bars("GRAY8", 322), 322, 24},
        {"videotestsrc pattern=smpte ! jpegenc ! capsfilter caps=image/jpeg,width=642,height=48",
         642, 24}};
    for (const auto& [source, width, bitCount] : layouts) {
        SCOPED_TRACE(source);
        GstCamera camera = cameraOn(source);
        VideoFormat format;
        ASSERT_TRUE(camera.connect(0) && camera.format(format));
        EXPECT_EQ(std::tuple(format.width, format.height, format.bitCount),
                  std::tuple(width, 48, bitCount));
        const long row = width * bitCount / 8;
        for (int round = 0; round < 2; ++round) {
            camera.start();
            Frame frame;
            ASSERT_TRUE(frameWithin(camera, frame));
            ASSERT_EQ(frame.size(), std::size_t(row * 48));
            for (long r = 1; r < 20 && source.find("jpeg") == std::string::npos; ++r)
                ASSERT_TRUE(
                    std::equal(frame.begin(), frame.begin() + row, frame.begin() + r * row));
            EXPECT_FALSE(std::equal(frame.begin(), frame.begin() + 4, frame.begin() + row - 4));
            camera.stop();
            EXPECT_FALSE(frameWithin(camera, frame, 150ms));
        }
    }
}

TEST(GstCamera, ASourceThatCannotOpenGivesNothing) {
    for (const std::string& source : std::vector<std::string>{
             "v4l2src device=/dev/plandis-none", "plandis-none", "fakesink", bars("YUY2", 0)}) {
        GstCamera camera = cameraOn(source);
        EXPECT_FALSE(camera.connect(0)) << source;
        EXPECT_NE(camera.openFailure().cause, OpenFailure::Cause::none);
        VideoFormat format{1, 2, 3};
        Frame frame;
        camera.start();
        EXPECT_FALSE(camera.format(format) || format.width != 1 || camera.takeFrame(frame));
    }
    EXPECT_FALSE(cameraOn(bars("BGR", 8)).connect(1));
}

// A source that breaks or ends: frames stop without a hang; a new connect brings them back.
TEST(GstCamera, ASourceThatFailsStopsAndConnectsAgain) {
    for (const std::string& source : std::vector<std::string>{
             bars("YUY2", 64) + " ! identity error-after=10", "videotestsrc num-buffers=10"}) {
        GstCamera camera = cameraOn(source);
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(camera.connect(0));
            camera.start();
            Frame frame;
            ASSERT_TRUE(frameWithin(camera, frame));
            for (const auto end = std::chrono::steady_clock::now() + 5s;
                 !camera.failed() && std::chrono::steady_clock::now() < end;)
                camera.takeFrame(frame);
            EXPECT_TRUE(camera.failed() && !frameWithin(camera, frame, 100ms)) << source;
        }
    }
}

TEST(GstCamera, ChoosesYuy2NearestSizeAndRateAndKeepsOnlyTheNewestFrame) {
    GstCamera camera = cameraOn(
        "videotestsrc ! capsfilter caps=video/x-raw,format={I420,YUY2},width=[16,4000],"
        "height=[16,4000],framerate={15/1,25/1,60/1}");
    camera.setFramePeriod(33333);
    ASSERT_TRUE(camera.connect(0));
    VideoFormat format;
    ASSERT_TRUE(camera.format(format));
    EXPECT_EQ(std::tuple(format.width, format.height, format.bitCount, camera.framePeriod()),
              std::tuple(640, 480, 16, 40000u));
    camera.start();
    Frame frame;
    ASSERT_TRUE(frameWithin(camera, frame));
    std::this_thread::sleep_for(300ms);  // some frames come and go meanwhile
    EXPECT_TRUE(camera.takeFrame(frame));
    EXPECT_FALSE(camera.takeFrame(frame));
    GstCamera chart([] { return std::vector<CameraSource>{virtualCameraSource()}; });
    ASSERT_TRUE(chart.connect(0) && chart.format(format));
    EXPECT_EQ(std::tuple(format.width, format.height, format.bitCount, chart.framePeriod()),
              std::tuple(640, 480, 16, 33333u));
}

// What --source names becomes the description GStreamer parses.
TEST(SourceSpec, EachKindOfSpecGetsItsSource) {
    const std::string tail = "\" ! videoconvert ! videoscale ! videorate";
    for (const auto& [name, description] : std::vector<std::pair<std::string, std::string>>{
             {"/dev/video2", "v4l2src device=\"/dev/video2\""},
             {"virtual", virtualCameraSource().description},
             {"rtsp://c/1", "uridecodebin uri=\"rtsp://c/1" + tail},
             {"http://c/v", "uridecodebin uri=\"http://c/v" + tail},
             {"file:///v.mp4", "uridecodebin uri=\"file:///v.mp4" + tail},
             {"videotestsrc ! video/x-raw", "videotestsrc ! video/x-raw ! identity"}})
        EXPECT_EQ(sourceNamed(name).description, description) << name;
    EXPECT_TRUE(sourceNamed("virtual").prepare);
}

// The size and rate asked for, out of a source that offers any, whatever the window's period.
TEST(SourceSpec, APipelineSourceRunsAtTheModeAsked) {
    const auto driver = makeCaptureDriver(
        "videotestsrc ! video/x-raw,width=[16,4000],height=[16,4000]", {1920, 1080, 25});
    auto& camera = static_cast<GstCamera&>(*driver);
    camera.setFramePeriod(33333);
    VideoFormat format;
    Frame frame;
    ASSERT_TRUE(camera.connect(0) && camera.format(format));
    EXPECT_EQ(std::tuple(format.width, format.height, camera.framePeriod()),
              std::tuple(1920, 1080, 40000u));
    camera.start();
    EXPECT_TRUE(frameWithin(camera, frame) && frame.size() == 1920u * 1080 * 2);
}

// The chart: a white card whose corners sway by at most 3 pixels, on a darker table.
TEST(TestChart, CardCornersSwayAroundRestWhiteOnDark) {
    Frame yuy2(std::size_t{chartFrameWidth} * chartFrameHeight * 2);
    const auto luma = [&](double x, double y) {
        return yuy2[std::size_t(std::lround(y) * chartFrameWidth + std::lround(x)) * 2];
    };
    double largest = 0.0;
    for (const double t : {0.0, 0.7, 1.9, 3.3, 100.25}) {
        const auto c = chartCornersAt(t), rest = chartCornersAtRest();
        drawChartFrame(t, yuy2.data(), chartFrameWidth, chartFrameHeight);
        const double in[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
        for (std::size_t i = 0; i < 4; ++i) {
            largest = std::max(largest, std::hypot(c[i].x - rest[i].x, c[i].y - rest[i].y));
            EXPECT_GT(luma(c[i].x + 4 * in[i][0], c[i].y + 4 * in[i][1]), 200) << t;
            EXPECT_LT(luma(c[i].x - 6 * in[i][0], c[i].y - 6 * in[i][1]), 130) << t;
        }
    }
    EXPECT_TRUE(largest > 1.0 && largest <= 3.0) << largest;
}

// The preview shows the colour frame the callback made: the pixel under each preview pixel's
// centre, or unscaled the top-left corner, black beyond.
TEST(CaptureWindow, PreviewSamplesTheConvertedFrame) {
    for (const auto& [scaled, w, h] : {std::tuple{true, 163, 121}, {false, 50, 40}}) {
        auto log = useFakeDriver(1, {w, h, 24});
        CaptureWindow window({0, 0, 80, 60}, captureDriverFactory());
        window.setScale(scaled);
        window.setCallbackFrame([](CaptureWindow*, VideoHeader* header) {
            makeFrameBuffer(rgbFrame, rgbFrameBytes, header->bytesUsed);
            return std::copy_n(header->data, header->bytesUsed, rgbFrame), 1;
        });
        resetFrameState();
        frameWidth = w, frameHeight = h;
        Frame bgr(std::size_t(w * h * 3));
        std::iota(bgr.begin(), bgr.end(), static_cast<unsigned char>(1));
        log->frames = {bgr};
        EXPECT_FALSE(window.driverConnect(0) && window.previewTick());  // not previewing yet
        window.setPreview(true);
        ASSERT_TRUE(window.previewTick());
        for (int p = 0; p < 80 * 60 * 3; ++p) {
            const int x = scaled ? (2 * (p / 3 % 80) + 1) * w / 160 : p / 3 % 80;
            const int y = scaled ? (2 * (p / 240) + 1) * h / 120 : p / 240;
            ASSERT_EQ(window.previewPicture()[std::size_t(p)],
                      x < w && y < h ? bgr[std::size_t((y * w + x) * 3 + p % 3)] : 0)
                << p;
        }
    }
    resetFrameState();
}

}  // namespace
