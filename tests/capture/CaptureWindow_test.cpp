#include "capture/CaptureWindow.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/capture/FakeCaptureDriver.h"

namespace {

constexpr CaptureRect kRect{530, 180, 80, 60};

// What the recording callback saw.
struct Delivery {
    CaptureWindow* window = nullptr;
    std::vector<unsigned char> data;
    std::uint32_t bytesUsed = 0;
    int calls = 0;
};
Delivery delivered;

int recordFrame(CaptureWindow* window, VideoHeader* header) {
    delivered.window = window;
    delivered.data.assign(header->data, header->data + header->bytesUsed);
    delivered.bytesUsed = header->bytesUsed;
    ++delivered.calls;
    return 1;
}

// A BGR frame whose pixel (x, y) is (x, y, 7): every preview pixel names its source.
std::vector<unsigned char> coordinateFrame(int width, int height) {
    std::vector<unsigned char> frame;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            frame.push_back(static_cast<unsigned char>(x));
            frame.push_back(static_cast<unsigned char>(y));
            frame.push_back(7);
        }
    }
    return frame;
}

class CaptureWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { delivered = {}; }

    // A window over a fake driver of this format that connects at once.
    void make(VideoFormat format, int connectOn = 1) {
        auto fake = std::make_unique<FakeCaptureDriver>(log, connectOn, format);
        driver = fake.get();
        window = std::make_unique<CaptureWindow>(kRect, std::move(fake));
    }

    void startPreview() {
        ASSERT_TRUE(window->driverConnect(0));
        window->setPreview(true);
        window->setCallbackFrame(recordFrame);
    }

    std::shared_ptr<FakeDriverLog> log = std::make_shared<FakeDriverLog>();
    FakeCaptureDriver* driver = nullptr;
    std::unique_ptr<CaptureWindow> window;
};

TEST_F(CaptureWindowTest, StartsDisconnectedWithBlackPreviewOfItsOwnSize) {
    make({640, 480, 24});
    EXPECT_FALSE(window->connected());
    EXPECT_FALSE(window->previewing());
    EXPECT_EQ(window->callbackFrame(), nullptr);
    EXPECT_EQ(window->rect().x, 530);
    EXPECT_EQ(window->rect().height, 60);
    EXPECT_EQ(window->previewPicture(), std::vector<unsigned char>(80 * 60 * 3, 0));
}

TEST_F(CaptureWindowTest, ConnectReportsTheDriversAnswerAndPassesTheIndex) {
    make({640, 480, 24}, 3);
    EXPECT_FALSE(window->driverConnect(0));
    EXPECT_FALSE(window->driverConnect(0));
    EXPECT_TRUE(window->driverConnect(0));
    EXPECT_TRUE(window->connected());
    EXPECT_EQ(log->connectIndices, (std::vector<int>{0, 0, 0}));
}

TEST_F(CaptureWindowTest, FormatIsReadOnlyFromAConnectedDriver) {
    make({642, 480, 24}, FakeCaptureDriver::kNever);
    VideoFormat format{1, 2, 3};
    window->driverConnect(0);
    EXPECT_FALSE(window->videoFormat(format));
    EXPECT_EQ(format.width, 1);  // untouched
    make({642, 480, 24});
    ASSERT_TRUE(window->driverConnect(0));
    ASSERT_TRUE(window->videoFormat(format));
    EXPECT_EQ(format.width, 642);
    EXPECT_EQ(format.height, 480);
    EXPECT_EQ(format.bitCount, 24);
}

TEST_F(CaptureWindowTest, SequenceSetUpKeepsThePeriodAndHandsItToTheDriver) {
    make({640, 480, 16});
    EXPECT_EQ(window->sequenceSetup().microSecPerFrame, 0u);
    window->setSequenceSetup({33333});
    EXPECT_EQ(window->sequenceSetup().microSecPerFrame, 33333u);
    EXPECT_EQ(log->periods, (std::vector<std::uint32_t>{33333}));
}

TEST_F(CaptureWindowTest, SettingsAreKeptAsGiven) {
    make({640, 480, 16});
    window->setPreviewRate(15);
    window->setScale(true);
    window->setOverlay(false);
    EXPECT_EQ(window->previewRate(), 15);
    EXPECT_TRUE(window->scaling());
    EXPECT_FALSE(window->overlay());
}

TEST_F(CaptureWindowTest, PreviewWithoutADriverStaysOffAndStartsNothing) {
    make({640, 480, 16}, FakeCaptureDriver::kNever);
    window->driverConnect(0);
    window->setPreview(true);
    EXPECT_FALSE(window->previewing());
    EXPECT_EQ(std::count(log->calls.begin(), log->calls.end(), "start"), 0);
}

TEST_F(CaptureWindowTest, EachTickHandsOneFrameToTheCallbackUnchanged) {
    make({4, 2, 24});
    startPreview();
    const std::vector<unsigned char> first = coordinateFrame(4, 2);
    std::vector<unsigned char> second(first.size(), 200);
    driver->frames = {first, second};

    EXPECT_TRUE(window->previewTick());
    EXPECT_EQ(delivered.calls, 1);
    EXPECT_EQ(delivered.window, window.get());
    EXPECT_EQ(delivered.data, first);
    EXPECT_EQ(delivered.bytesUsed, 4u * 2 * 3);

    EXPECT_TRUE(window->previewTick());
    EXPECT_EQ(delivered.calls, 2);
    EXPECT_EQ(delivered.data, second);

    EXPECT_FALSE(window->previewTick());  // nothing new: no call
    EXPECT_EQ(delivered.calls, 2);
}

TEST_F(CaptureWindowTest, NoFramesAreTakenWhilePreviewIsOff) {
    make({4, 2, 24});
    ASSERT_TRUE(window->driverConnect(0));
    window->setCallbackFrame(recordFrame);
    driver->frames = {coordinateFrame(4, 2)};
    EXPECT_FALSE(window->previewTick());
    EXPECT_EQ(log->framesTaken, 0);
    EXPECT_EQ(delivered.calls, 0);
}

TEST_F(CaptureWindowTest, RemovingTheCallbackStillShowsThePreview) {
    make({160, 120, 24});
    startPreview();
    window->setCallbackFrame(nullptr);
    driver->frames = {coordinateFrame(160, 120)};
    EXPECT_TRUE(window->previewTick());
    EXPECT_EQ(delivered.calls, 0);
    EXPECT_EQ(window->previewPicture()[2], 7);
}

TEST_F(CaptureWindowTest, DisconnectStopsPreviewAndFrames) {
    make({4, 2, 24});
    startPreview();
    window->driverDisconnect();
    EXPECT_FALSE(window->connected());
    EXPECT_FALSE(window->previewing());
    driver->frames = {coordinateFrame(4, 2)};
    EXPECT_FALSE(window->previewTick());
    EXPECT_EQ(delivered.calls, 0);
    EXPECT_EQ(log->calls.back(), "disconnect");
}

TEST_F(CaptureWindowTest, DestroyingTheWindowReleasesAConnectedDriver) {
    make({4, 2, 24});
    startPreview();
    window.reset();
    EXPECT_EQ(log->calls, (std::vector<std::string>{"connect", "start", "stop", "disconnect"}));
}

// The scaled preview samples the frame pixel under the centre of each preview pixel.
TEST_F(CaptureWindowTest, ScaledPreviewSamplesTheWholeFrame) {
    make({160, 120, 24});
    startPreview();
    window->setScale(true);
    driver->frames = {coordinateFrame(160, 120)};
    ASSERT_TRUE(window->previewTick());
    const std::vector<unsigned char>& p = window->previewPicture();
    for (int py = 0; py < 60; ++py) {
        for (int px = 0; px < 80; ++px) {
            const std::size_t i = static_cast<std::size_t>(py * 80 + px) * 3;
            ASSERT_EQ(p[i], 2 * px + 1) << px << "," << py;
            ASSERT_EQ(p[i + 1], 2 * py + 1) << px << "," << py;
        }
    }
}

TEST_F(CaptureWindowTest, UnscaledPreviewShowsTheTopLeftCornerAndBlackBeyondTheFrame) {
    make({40, 30, 24});
    startPreview();
    window->setScale(false);
    driver->frames = {coordinateFrame(40, 30)};
    ASSERT_TRUE(window->previewTick());
    const std::vector<unsigned char>& p = window->previewPicture();
    const auto at = [&](int x, int y) { return p.data() + (y * 80 + x) * 3; };
    EXPECT_EQ(at(39, 29)[0], 39);
    EXPECT_EQ(at(39, 29)[1], 29);
    EXPECT_EQ(at(40, 0)[2], 0);
    EXPECT_EQ(at(0, 30)[2], 0);
    EXPECT_EQ(at(79, 59)[2], 0);
}

TEST_F(CaptureWindowTest, Yuy2PreviewConvertsEachPixelAsThePipelineDoes) {
    make({160, 120, 16});
    startPreview();
    window->setScale(true);
    std::vector<unsigned char> frame(160 * 120 * 2);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<unsigned char>(i * 37 % 251);
    }
    std::vector<unsigned char> bgr(160 * 120 * 3);
    yuy2ToBgr(frame.data(), 160, 120, bgr.data());
    driver->frames = {frame};
    ASSERT_TRUE(window->previewTick());
    const std::vector<unsigned char>& p = window->previewPicture();
    for (int py = 0; py < 60; ++py) {
        for (int px = 0; px < 80; ++px) {
            const std::size_t in = static_cast<std::size_t>((2 * py + 1) * 160 + 2 * px + 1) * 3;
            const std::size_t out = static_cast<std::size_t>(py * 80 + px) * 3;
            ASSERT_EQ(std::vector<unsigned char>(p.begin() + out, p.begin() + out + 3),
                      std::vector<unsigned char>(bgr.begin() + in, bgr.begin() + in + 3))
                << px << "," << py;
        }
    }
}

TEST_F(CaptureWindowTest, AShortFrameLeavesThePreviewAsItWas) {
    make({160, 120, 24});
    startPreview();
    driver->frames = {std::vector<unsigned char>(100, 255)};
    ASSERT_TRUE(window->previewTick());
    EXPECT_EQ(window->previewPicture(), std::vector<unsigned char>(80 * 60 * 3, 0));
    EXPECT_EQ(delivered.bytesUsed, 100u);  // the pipeline judges the byte count itself
}

}  // namespace
