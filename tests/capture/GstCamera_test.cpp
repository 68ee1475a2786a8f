#include "capture/GstCamera.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "capture/VirtualCamera.h"

namespace {

using namespace std::chrono_literals;

// A driver whose only source is this description.
GstCamera cameraOn(const std::string& description) {
    return GstCamera([description] { return std::vector<CameraSource>{{description, {}}}; });
}

// Waits at most five seconds for a frame.
bool waitForFrame(GstCamera& camera, std::vector<unsigned char>& frame) {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < end) {
        if (camera.takeFrame(frame)) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

// True if no frame comes within this time.
bool quietFor(GstCamera& camera, std::chrono::milliseconds time) {
    std::vector<unsigned char> frame;
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        if (camera.takeFrame(frame)) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

struct LayoutCase {
    const char* name;
    const char* sourceFormat;
    int width;
    int bitCount;  // of the delivered frames
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

class DeliveredLayout : public ::testing::TestWithParam<LayoutCase> {};

// The top two thirds of SMPTE bars are the same in every row, so rows copied at the wrong
// stride (or not packed) show up as rows that differ from the first.
TEST_P(DeliveredLayout, RowsArrivePackedInTheNegotiatedLayout) {
    const LayoutCase& c = GetParam();
    const int height = 48;
    GstCamera camera = cameraOn(
        std::string("videotestsrc pattern=smpte ! capsfilter caps=video/x-raw,format=") +
        c.sourceFormat + ",width=" + std::to_string(c.width) + ",height=" + std::to_string(height));
    ASSERT_TRUE(camera.connect(0));
    VideoFormat format;
    ASSERT_TRUE(camera.format(format));
    EXPECT_EQ(format.width, c.width);
    EXPECT_EQ(format.height, height);
    ASSERT_EQ(format.bitCount, c.bitCount);

    camera.start();
    std::vector<unsigned char> frame;
    ASSERT_TRUE(waitForFrame(camera, frame));
    const std::size_t rowBytes = static_cast<std::size_t>(c.width * c.bitCount / 8);
    ASSERT_EQ(frame.size(), rowBytes * height);
    const std::vector<unsigned char> firstRow(frame.begin(),
                                              frame.begin() + static_cast<long>(rowBytes));
    for (int r = 1; r < height * 3 / 5; ++r) {
        const auto row = frame.begin() + static_cast<long>(rowBytes) * r;
        ASSERT_TRUE(std::equal(firstRow.begin(), firstRow.end(), row)) << "row " << r;
    }
    if (std::string(c.sourceFormat) == "GRAY8") {
        // Grey bars: every pixel grey, white on the left, darker blue on the right.
        for (std::size_t i = 0; i < rowBytes; i += 3) {
            ASSERT_EQ(firstRow[i], firstRow[i + 1]);
            ASSERT_EQ(firstRow[i], firstRow[i + 2]);
        }
        EXPECT_GT(firstRow[0], firstRow[rowBytes - 1]);
    } else if (c.bitCount == 24) {
        // The bars run from 75 % white on the left to blue on the right.
        EXPECT_GT(firstRow[0], 150);
        EXPECT_GT(firstRow[1], 150);
        EXPECT_GT(firstRow[2], 150);
        EXPECT_GT(firstRow[rowBytes - 3], 150);
        EXPECT_LT(firstRow[rowBytes - 2], 60);
        EXPECT_LT(firstRow[rowBytes - 1], 60);
    } else {
        EXPECT_GT(firstRow[0], 150);                     // white: bright luma
        EXPECT_GT(firstRow[rowBytes - 3], firstRow[3]);  // blue: U above the white's
    }
    camera.stop();
}

INSTANTIATE_TEST_SUITE_P(Sources, DeliveredLayout,
                         ::testing::Values(LayoutCase{"Yuy2Width640", "YUY2", 640, 16},
                                           LayoutCase{"Yuy2Width642", "YUY2", 642, 16},
                                           LayoutCase{"BgrWidth642Stride1928", "BGR", 642, 24},
                                           LayoutCase{"BgrWidth641Stride1924", "BGR", 641, 24},
                                           LayoutCase{"BgrWidth7Stride24", "BGR", 7, 24},
                                           LayoutCase{"OddYuy2Width641BecomesBgr", "YUY2", 641, 24},
                                           LayoutCase{"I420BecomesBgr", "I420", 642, 24},
                                           LayoutCase{"RgbBecomesBgr", "RGB", 642, 24},
                                           LayoutCase{"GrayBecomesBgr", "GRAY8", 322, 24}),
                         [](const ::testing::TestParamInfo<LayoutCase>& p) {
                             return p.param.name;
                         });

// A camera that sends JPEG (most webcams do at larger sizes): decoded, then packed blue,
// green, red; and decoded again after a stop, when the decoder offers its output anew.
TEST(GstCamera, JpegFromTheSourceIsDecodedToPackedBgr) {
    GstCamera camera = cameraOn(
        "videotestsrc pattern=smpte ! jpegenc ! capsfilter "
        "caps=image/jpeg,width=642,height=48,framerate=30/1");
    ASSERT_TRUE(camera.connect(0));
    VideoFormat format;
    ASSERT_TRUE(camera.format(format));
    EXPECT_EQ(format.width, 642);
    EXPECT_EQ(format.height, 48);
    EXPECT_EQ(format.bitCount, 24);
    for (int round = 0; round < 2; ++round) {
        camera.start();
        std::vector<unsigned char> frame;
        ASSERT_TRUE(waitForFrame(camera, frame)) << "round " << round;
        ASSERT_EQ(frame.size(), 642u * 48 * 3);
        // Left: light grey; right: blue. JPEG blurs the edges, not the middles of bars.
        const std::size_t right = (20 * 642 + 630) * 3;
        EXPECT_GT(frame[20 * 642 * 3 + 30], 150);
        EXPECT_GT(frame[right], 150);
        EXPECT_LT(frame[right + 2], 80);
        camera.stop();
    }
}

TEST(GstCamera, PrefersTheSourcesOwnYuy2AndASizeNearest640By480) {
    GstCamera camera = cameraOn(
        "videotestsrc ! capsfilter caps=\"video/x-raw,format=BGR,width=640,height=480;"
        "video/x-raw,format=YUY2,width=(int){320,800,1280},height=(int){240,600,720}\"");
    ASSERT_TRUE(camera.connect(0));
    VideoFormat format;
    ASSERT_TRUE(camera.format(format));
    EXPECT_EQ(format.bitCount, 16);
    EXPECT_EQ(format.width, 800);
    EXPECT_EQ(format.height, 600);
}

TEST(GstCamera, AnOpenSizeRangeGives640By480) {
    GstCamera camera = cameraOn("videotestsrc");
    ASSERT_TRUE(camera.connect(0));
    VideoFormat format;
    ASSERT_TRUE(camera.format(format));
    EXPECT_EQ(format.width, 640);
    EXPECT_EQ(format.height, 480);
    EXPECT_EQ(format.bitCount, 16);
    EXPECT_EQ(camera.framePeriod(), 33333u);
}

TEST(GstCamera, TakesTheOfferedRateNearestTheRequestedPeriod) {
    GstCamera camera = cameraOn(
        "videotestsrc ! capsfilter caps=video/x-raw,format=YUY2,width=64,height=48,"
        "framerate=(fraction){15/1,25/1,60/1}");
    ASSERT_TRUE(camera.connect(0));
    EXPECT_EQ(camera.framePeriod(), 40000u);  // 25 of 15, 25, 60 lies nearest 30
    camera.setFramePeriod(66667);
    EXPECT_EQ(camera.framePeriod(), 66667u);
    camera.setFramePeriod(16000);
    EXPECT_EQ(camera.framePeriod(), 16667u);
}

TEST(GstCamera, APeriodSetBeforeConnectingApplies) {
    GstCamera camera = cameraOn(
        "videotestsrc ! capsfilter caps=video/x-raw,format=YUY2,width=64,height=48,"
        "framerate=(fraction){15/1,25/1,60/1}");
    camera.setFramePeriod(66667);
    ASSERT_TRUE(camera.connect(0));
    EXPECT_EQ(camera.framePeriod(), 66667u);
}

TEST(GstCamera, ChangingThePeriodWhileRunningKeepsFramesComing) {
    GstCamera camera = cameraOn(
        "videotestsrc ! capsfilter caps=video/x-raw,format=YUY2,width=64,height=48,"
        "framerate=(fraction){15/1,25/1,60/1}");
    ASSERT_TRUE(camera.connect(0));
    camera.start();
    std::vector<unsigned char> frame;
    ASSERT_TRUE(waitForFrame(camera, frame));
    camera.setFramePeriod(16667);
    EXPECT_EQ(camera.framePeriod(), 16667u);
    EXPECT_TRUE(waitForFrame(camera, frame));
}

// A source description with a readable test name.
struct NamedSource {
    const char* name;
    const char* description;
};

void PrintTo(const NamedSource& c, std::ostream* os) {
    *os << c.name;
}

std::string sourceName(const ::testing::TestParamInfo<NamedSource>& p) {
    return p.param.name;
}

class UnopenableSource : public ::testing::TestWithParam<NamedSource> {};

TEST_P(UnopenableSource, DoesNotConnectAndGivesNothing) {
    GstCamera camera = cameraOn(GetParam().description);
    EXPECT_FALSE(camera.connect(0));
    VideoFormat format{1, 2, 3};
    EXPECT_FALSE(camera.format(format));
    EXPECT_EQ(format.width, 1);
    camera.start();
    std::vector<unsigned char> frame;
    EXPECT_FALSE(camera.takeFrame(frame));
}

INSTANTIATE_TEST_SUITE_P(
    Sources, UnopenableSource,
    ::testing::Values(NamedSource{"NoSuchDevice", "v4l2src device=/dev/plandis-no-such-camera"},
                      NamedSource{"NoSuchElement", "plandis-no-such-element"},
                      NamedSource{"NoOutput", "fakesink"},
                      NamedSource{
                          "NothingOffered",
                          "videotestsrc ! capsfilter caps=video/x-raw,format=YUY2,width=0"}),
    sourceName);

TEST(GstCamera, AnIndexBeyondTheSourcesDoesNotConnect) {
    GstCamera camera = cameraOn("videotestsrc");
    EXPECT_FALSE(camera.connect(1));
    EXPECT_FALSE(camera.connect(-1));
    EXPECT_TRUE(camera.connect(0));
}

// The sink keeps only the newest frame: however long the dialog is busy, one take gets
// the latest and the next finds nothing waiting.
TEST(GstCamera, KeepsOnlyTheNewestFrame) {
    GstCamera camera = cameraOn(
        "videotestsrc ! capsfilter "
        "caps=video/x-raw,format=YUY2,width=64,height=48,framerate=30/1");
    ASSERT_TRUE(camera.connect(0));
    camera.start();
    std::vector<unsigned char> frame;
    ASSERT_TRUE(waitForFrame(camera, frame));
    std::this_thread::sleep_for(300ms);  // some 9 frames come and go meanwhile
    EXPECT_TRUE(camera.takeFrame(frame));
    EXPECT_FALSE(camera.takeFrame(frame));
}

TEST(GstCamera, StopHaltsFramesAndStartResumesThem) {
    GstCamera camera = cameraOn(
        "videotestsrc ! capsfilter caps=video/x-raw,format=BGR,width=64,height=48,framerate=100/1");
    ASSERT_TRUE(camera.connect(0));
    camera.start();
    std::vector<unsigned char> frame;
    ASSERT_TRUE(waitForFrame(camera, frame));
    camera.stop();
    EXPECT_TRUE(quietFor(camera, 200ms));
    camera.start();
    EXPECT_TRUE(waitForFrame(camera, frame));
    camera.disconnect();
    EXPECT_TRUE(quietFor(camera, 100ms));
}

class SourceThatFailsMidRun : public ::testing::TestWithParam<NamedSource> {};

// A camera that breaks or is unplugged: frames stop without a hang, and a new connect
// brings them back.
TEST_P(SourceThatFailsMidRun, StopsItsFramesAndConnectsAgain) {
    GstCamera camera = cameraOn(GetParam().description);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(camera.connect(0)) << "round " << round;
        camera.start();
        std::vector<unsigned char> frame;
        ASSERT_TRUE(waitForFrame(camera, frame)) << "round " << round;
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (!camera.failed() && std::chrono::steady_clock::now() < end) {
            camera.takeFrame(frame);
            std::this_thread::sleep_for(5ms);
        }
        EXPECT_TRUE(camera.failed()) << "round " << round;
        EXPECT_TRUE(quietFor(camera, 100ms));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SourceThatFailsMidRun,
    ::testing::Values(
        NamedSource{"Error",
                    "videotestsrc ! capsfilter "
                    "caps=video/x-raw,format=YUY2,width=64,height=48,framerate=100/1 ! "
                    "identity error-after=10"},
        NamedSource{
            "EndOfStream",
            "videotestsrc num-buffers=10 ! capsfilter caps=video/x-raw,format=YUY2,width=64,"
            "height=48,framerate=100/1"}),
    sourceName);

TEST(VirtualCamera, Delivers640By480Yuy2At30FramesPerSecond) {
    GstCamera camera([] { return std::vector<CameraSource>{virtualCameraSource()}; });
    ASSERT_TRUE(camera.connect(0));
    VideoFormat format;
    ASSERT_TRUE(camera.format(format));
    EXPECT_EQ(format.width, 640);
    EXPECT_EQ(format.height, 480);
    EXPECT_EQ(format.bitCount, 16);
    EXPECT_EQ(camera.framePeriod(), 33333u);
    camera.start();
    std::vector<unsigned char> frame;
    ASSERT_TRUE(waitForFrame(camera, frame));
    ASSERT_EQ(frame.size(), 640u * 480 * 2);
    EXPECT_LT(frame[(10 * 640 + 10) * 2], 140);      // the table around the card
    EXPECT_GT(frame[(240 * 640 + 320) * 2 + 0], 0);  // something drawn in the middle
    camera.stop();
    EXPECT_TRUE(quietFor(camera, 150ms));
    camera.start();  // restarts on time, not a stop's length late
    EXPECT_TRUE(waitForFrame(camera, frame));
}

}  // namespace

namespace {

// On a machine without a camera, driver 0 of the system is the virtual camera, so that the
// program shows something out of the box.
TEST(SystemCameras, WithoutACameraDriverZeroIsTheVirtualCamera) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
        if (entry.path().filename().string().rfind("video", 0) == 0) {
            GTEST_SKIP() << "this machine has " << entry.path() << "; driver 0 is a camera here";
        }
    }
    std::unique_ptr<CaptureDriver> driver = makeSystemCaptureDriver();
    ASSERT_TRUE(driver->connect(0));
    EXPECT_FALSE(driver->connect(1));
    ASSERT_TRUE(driver->connect(0));
    VideoFormat format;
    ASSERT_TRUE(driver->format(format));
    EXPECT_EQ(format.width, 640);
    EXPECT_EQ(format.height, 480);
    EXPECT_EQ(format.bitCount, 16);
}

}  // namespace
