// The capture facility without a camera: GStreamer sources, the chart and the preview.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numeric>
#include <thread>

#include "calib/pointSet.h"
#include "capture/CaptureWindow.h"
#include "capture/GstCamera.h"
#include "capture/TestChart.h"
#include "capture/VirtualCamera.h"
#include "capture/cameraMonitor.h"
#include "capture/namedSource.h"
#include "capture/sourceFailure.h"
#include "tests/capture/FakeCaptureDriver.h"
#include "tests/support/frameStateReset.h"

namespace {

using namespace std::chrono_literals;
using Frame = std::vector<unsigned char>;
template <typename T>
using GstRef = std::unique_ptr<T, GstRelease<gst_object_unref>>;

GstCamera cameraOn(const std::string& description, CaptureMode mode = {}) {
    return GstCamera(
        [description] {
            return std::vector<CameraSource>{{description, {}, {}, {}, false}};
        },
        mode);
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
        EXPECT_NE(camera.failure().cause, CaptureFailure::Cause::none);
        VideoFormat format{1, 2, 3};
        Frame frame;
        camera.start();
        EXPECT_FALSE(camera.format(format) || format.width != 1 || camera.takeFrame(frame));
    }
    EXPECT_FALSE(cameraOn(bars("BGR", 8)).connect(1));
    // With no source named, the first camera listed (as the Camera menu ticks it) is opened.
    const auto listed = cameraDevices;
    cameraDevices = [] { return std::vector<CameraDevice>{{"Gone", "/dev/plandis-none", {}}}; };
    const auto first = makeCaptureDriver({});
    EXPECT_FALSE(first->connect(0));
    cameraDevices = listed;
    EXPECT_TRUE(first->failure().device == "/dev/plandis-none" &&
                first->failure().cause == CaptureFailure::Cause::noDevice);
}

// A source that breaks, ends or falls silent: frames stop without a hang, the cause is kept,
// and a new connect brings them back. The broken one runs 0.3 s first, so that a test thread
// slowed by a busy machine still sees a frame before the error.
TEST(GstCamera, ASourceThatFailsStopsWithItsCauseAndConnectsAgain) {
    using C = CaptureFailure::Cause;
    for (const auto& [source, cause] : std::vector<std::pair<std::string, C>>{
             {bars("YUY2", 64) + " ! identity error-after=30", C::other},
             {"videotestsrc num-buffers=10", C::ended},
             {"videotestsrc is-live=true ! valve drop=true", C::noSignal}}) {
        GstCamera camera = cameraOn(source);
        for (int round = 0; round < (cause == C::noSignal ? 1 : 2); ++round) {
            ASSERT_TRUE(camera.connect(0));
            camera.start();
            Frame frame;
            EXPECT_EQ(frameWithin(camera, frame), cause != C::noSignal);
            for (const auto end = std::chrono::steady_clock::now() + 6s;
                 camera.failure().cause == C::none && std::chrono::steady_clock::now() < end;)
                camera.takeFrame(frame);
            EXPECT_TRUE(camera.failure().cause == cause && !frameWithin(camera, frame, 100ms))
                << source;
        }
    }
}

// A recorded video plays at its own size and rate, not the mode asked, and starts over at its end.
TEST(GstCamera, AFileUriPlaysAtItsOwnSizeAndLoopsAndADeadAddressIsUnreachable) {
    const std::string path = testing::TempDir() + "plandis-" + std::to_string(getpid()) + ".avi";
    ASSERT_TRUE(initGStreamer());
    const auto write = [](const std::string& elements, const std::string& file) {
        const GstPipelineRef writer(
            gst_parse_launch((elements + " ! filesink location=" + file).c_str(), nullptr));
        gst_element_set_state(writer.get(), GST_STATE_PLAYING);
        gst_message_unref(
            gst_bus_timed_pop_filtered(GstRef<GstBus>(gst_element_get_bus(writer.get())).get(),
                                       5 * GST_SECOND, GST_MESSAGE_EOS));
    };
    write(
        "videotestsrc num-buffers=6 ! video/x-raw,width=320,height=240,framerate=45/2 ! jpegenc ! "
        "avimux",
        path);
    Frame frame;
    const auto video = makeCaptureDriver({"file://" + path, {640, 480, 0}});
    VideoFormat format;
    ASSERT_TRUE(video->connect(0) && video->format(format));
    EXPECT_EQ(
        std::tuple(format.width, format.height, dynamic_cast<GstCamera&>(*video).framePeriod()),
        std::tuple(320, 240, 43478u));  // 22.5 frames a second rounded to 23
    video->start();
    int frames = 0;
    for (int tick = 0; tick < 300; ++tick, std::this_thread::sleep_for(5ms))
        frames += video->takeFrame(frame);
    EXPECT_GT(frames, 6 * 2);
    video->stop();
    std::remove(path.c_str());
    const std::string sound = path + ".wav";  // a file that answers but holds no video
    write("audiotestsrc num-buffers=2 ! wavenc", sound);
    const auto silent = makeCaptureDriver({"file://" + sound, {}});
    EXPECT_TRUE(!silent->connect(0) && silent->failure().cause == CaptureFailure::Cause::other);
    EXPECT_EQ(silent->failure().detail, "no video this program can decode");
    std::remove(sound.c_str());
    const auto dead = makeCaptureDriver({"http://127.0.0.1:9/none.mjpg", {}});
    EXPECT_TRUE(!dead->connect(0) && dead->failure().cause == CaptureFailure::Cause::unreachable);
    // H.264 cameras and streams need the decoder install-deps brings.
    EXPECT_NE(GstRef<GstElementFactory>(gst_element_factory_find("avdec_h264")), nullptr);
}

// GStreamer's errors in the user's terms; the words stay for the cause without a name.
TEST(SourceFailure, EachErrorGetsItsCause) {
    ASSERT_TRUE(initGStreamer());
    using C = CaptureFailure::Cause;
    const GQuark r = GST_RESOURCE_ERROR;
    const std::tuple<GQuark, int, const char*, bool, C> rows[] = {
        {r, GST_RESOURCE_ERROR_BUSY, "", false, C::busy},
        {r, GST_RESOURCE_ERROR_FAILED, "Device or resource busy", false, C::busy},
        {r, GST_RESOURCE_ERROR_NOT_AUTHORIZED, "", false, C::permissionDenied},
        {r, GST_RESOURCE_ERROR_OPEN_READ, "Permission denied", true, C::permissionDenied},
        {r, GST_RESOURCE_ERROR_OPEN_WRITE, "Operation not permitted", false, C::permissionDenied},
        {r, GST_RESOURCE_ERROR_READ, "poll error 1: No such device (19)", false, C::unplugged},
        {r, GST_RESOURCE_ERROR_OPEN_READ, "Could not connect", true, C::unreachable},
        {r, GST_RESOURCE_ERROR_NOT_FOUND, "", false, C::noDevice},
        {r, GST_RESOURCE_ERROR_NOT_FOUND, "", true, C::unreachable},
        {r, GST_RESOURCE_ERROR_OPEN_READ, "", false, C::other},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, "", true, C::other}};
    for (const auto& [domain, code, debug, stream, cause] : rows) {
        GError* error = g_error_new_literal(domain, code, "words");
        GstMessage* message = gst_message_new_error(nullptr, error, debug);
        const CaptureFailure failure = causeOf(message, stream);
        EXPECT_TRUE(failure.cause == cause && failure.detail == "words") << debug << " " << code;
        gst_message_unref(message);
        g_error_free(error);
    }
}

// What a device offers, as the Camera menu lists it.
TEST(CameraMonitor, ModesAreTheFixedSizesWithEachRateLargestFirst) {
    ASSERT_TRUE(initGStreamer());
    const GstCapsRef caps(gst_caps_from_string(
        "video/x-raw,format=YUY2,width=640,height=480,framerate={15/1,30000/1001};"
        "image/jpeg,width=1080,height=1920,framerate=30/1;"
        "video/x-raw,format=YUY2,width=1920,height=1080,framerate=[1/1,5/1];"
        "video/x-raw,format=NV12,width=640,height=480,framerate=30/1;"
        "video/x-raw,width=1080,height=1920;video/x-raw,width=[16,4096],height=[16,2160]"));
    EXPECT_TRUE(
        modesOffered(caps.get()) ==
        (std::vector<CaptureMode>{
            {1920, 1080, 5}, {1080, 1920, 30}, {1080, 1920, 0}, {640, 480, 30}, {640, 480, 15}}));
}

// The mode nearest the one asked for, YUY2 first, at the period of the window's or the mode's
// rate rounded to nearest, up to 4K; only the newest frame is kept.
TEST(GstCamera, ChoosesYuy2NearestSizeAndRateAndKeepsOnlyTheNewestFrame) {
    for (const auto& [w, h, fps, period] :
         {std::tuple{640, 480, 0, 40000u}, {1920, 1080, 15, 66667u}, {3840, 2160, 15, 66667u}}) {
        GstCamera camera = cameraOn(
            "videotestsrc ! capsfilter caps=\"video/x-raw,format=YUY2,width=16,height=[16,4000];"
            "video/x-raw,format=YUY2,width=[16,4000],height=16;video/x-raw,format={I420,YUY2},"
            "width=[16,4000],height=[16,4000],framerate={15/1,25/1,60/1}\"",
            {w, h, fps});
        camera.setFramePeriod(33333);
        VideoFormat format;
        Frame frame;
        ASSERT_TRUE(camera.connect(0) && camera.format(format));
        EXPECT_EQ(std::tuple(format.width, format.height, format.bitCount, camera.framePeriod()),
                  std::tuple(w, h, 16, period));
        camera.start();
        ASSERT_TRUE(frameWithin(camera, frame) && frame.size() == std::size_t(w) * h * 2);
        if (fps == 0) {
            std::this_thread::sleep_for(300ms);  // some frames come and go meanwhile
            const auto taken = std::chrono::steady_clock::now();
            EXPECT_TRUE(camera.takeFrame(frame));
            // A second frame only if this thread was held up long enough for a new one.
            EXPECT_TRUE(!camera.takeFrame(frame) ||
                        std::chrono::steady_clock::now() - taken > 30ms);
        }
    }
    GstCamera chart([] { return std::vector<CameraSource>{virtualCameraSource()}; });
    VideoFormat format;
    ASSERT_TRUE(chart.connect(0) && chart.format(format));
    EXPECT_EQ(std::tuple(format.width, format.height, format.bitCount, chart.framePeriod()),
              std::tuple(640, 480, 16, 33333u));
    Frame first, second;  // drawn at their own times, so the card has swayed in between
    chart.start();
    ASSERT_TRUE(frameWithin(chart, first) && frameWithin(chart, second));
    EXPECT_NE(first, second);
    // A new period moves the rate only within the layout chosen at connect: 15, not 60.
    GstCamera two = cameraOn(
        "videotestsrc ! capsfilter caps=\"video/x-raw,format=YUY2,width=64,"
        "height=48,framerate=15/1;video/x-raw,format=YUY2,framerate=60/1\"",
        {64, 48, 0});
    ASSERT_TRUE(two.connect(0));
    two.setFramePeriod(16667);
    EXPECT_EQ(two.framePeriod(), 66667u);
}

// What --source names becomes the description GStreamer parses; a device also by its name.
TEST(SourceSpec, EachKindOfSpecGetsItsSource) {
    const std::string tail = "\" ! videoconvert ! videoscale ! videorate";
    const std::vector<CameraDevice> devices = {{"Cam", "/dev/video4", {}}};
    for (const auto& [name, description] : std::vector<std::pair<std::string, std::string>>{
             {"/dev/video2", "v4l2src device=\"/dev/video2\""},
             {"Cam", "v4l2src device=\"/dev/video4\""},
             {"virtual", virtualCameraSource().description},
             {"rtsp://c/1", "uridecodebin uri=\"rtsp://c/1" + tail},
             {"http://c/v", "uridecodebin uri=\"http://c/v" + tail},
             {"https://c/v", "uridecodebin uri=\"https://c/v" + tail},
             {"file:///v.mp4", "uridecodebin uri=\"file:///v.mp4" + tail},
             {"videotestsrc ! video/x-raw", "videotestsrc ! video/x-raw ! identity"}})
        EXPECT_EQ(sourceNamed(name, devices).description, description) << name;
    EXPECT_TRUE(sourceNamed("virtual", {}).prepare);
    EXPECT_TRUE(sourceNamed("file:///v.mp4", {}).loops && !sourceNamed("http://c/v", {}).loops);
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
    // Through the card's corners: square (1, 1) dark, (2, 1) light, the discs red (near its
    // rim), green and blue; split pairs.
    std::vector<Point> seen;
    for (const ChartPoint& p : chartCornersAt(100.25))
        seen.push_back({p.x, p.y});
    const auto H = estimateHomography(seen, std::vector<Point>{{0, 0}, {9, 0}, {9, 7}, {0, 7}}).H;
    const auto at = [&](double x, double y, int byte) {
        const Point p = projectPoint(H, {x, y});
        return int(yuy2[std::size_t(
            (std::lround(p.y) * chartFrameWidth + std::lround(p.x) / 2 * 2) * 2 + byte)]);
    };
    EXPECT_LT(at(2, 2, 0), 50);     // square (1, 1): Y
    EXPECT_GT(at(3, 2, 0), 200);    // square (2, 1): Y
    EXPECT_GT(at(1.2, 1, 0), 85);   // red disc: Y,
    EXPECT_LT(at(1.2, 1, 1), 110);  // U
    EXPECT_GT(at(1.2, 1, 3), 180);  // and V
    EXPECT_LT(at(8, 1, 3), 90);     // green disc: V
    EXPECT_GT(at(1, 6, 1), 170);    // blue disc: U
    int splitPairs = 0;
    for (std::size_t i = 0; i < yuy2.size(); i += 4)
        splitPairs += std::abs(yuy2[i] - yuy2[i + 2]) > 100;
    EXPECT_GT(splitPairs, 20);
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
            return std::copy_n(header->data, header->bytesUsed, rgbFrame), int(frameWidth > 50);
        });
        resetFrameState();
        frameWidth = w, frameHeight = h;
        Frame bgr(std::size_t(w * h * 3));
        std::iota(bgr.begin(), bgr.end(), static_cast<unsigned char>(1));
        log->frames = {bgr};
        window.setPreview(true);  // not before a connect
        EXPECT_FALSE(window.previewing() || (window.driverConnect(0) && window.previewTick()));
        window.setPreview(true);
        ASSERT_EQ(window.previewTick(), scaled);  // unscaled, the callback drops the frame
        for (int p = 0; p < 80 * 60 * 3; ++p) {
            const int x = scaled ? (2 * (p / 3 % 80) + 1) * w / 160 : p / 3 % 80;
            const int y = scaled ? (2 * (p / 240) + 1) * h / 120 : p / 240;
            ASSERT_EQ(window.previewPicture()[std::size_t(p)],
                      x < w && y < h ? bgr[std::size_t((y * w + x) * 3 + p % 3)] : 0)
                << p;
        }
        // A new connect ends the preview; a disconnect while previewing stops the driver first.
        EXPECT_TRUE(window.driverConnect(0) && !window.previewing());
        window.setPreview(true);
        window.driverDisconnect();
        EXPECT_EQ(log->calls, "connect 0;start;connect 0;start;stop;disconnect;");
    }
    resetFrameState();
}

}  // namespace
