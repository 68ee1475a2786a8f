// Start Capture and Stop Capture on the real dialog, over fake drivers: the connection
// rules, the set-up steps, frames through the preview timer, and the repeated starts.
#include <QCheckBox>
#include <QPushButton>
#include <QtTest>

#include <memory>
#include <vector>

#include "app/CaptureView.h"
#include "app/PlandisDlg.h"
#include "app/resource.h"
#include "app/sharedState.h"
#include "capture/CaptureWindow.h"
#include "tests/capture/FakeCaptureDriver.h"
#include "tests/capture/captureTestSupport.h"

namespace {

// The drivers the dialog made, newest last; all write into one log.
struct Drivers {
    std::shared_ptr<FakeDriverLog> log = std::make_shared<FakeDriverLog>();
    std::vector<FakeCaptureDriver*> made;
    int connectOn = 1;
    VideoFormat format{4, 2, 24};
};
Drivers* drivers = nullptr;

std::unique_ptr<CaptureDriver> makeFakeDriver() {
    auto driver =
        std::make_unique<FakeCaptureDriver>(drivers->log, drivers->connectOn, drivers->format);
    drivers->made.push_back(driver.get());
    return driver;
}

std::vector<unsigned char> bgrFrame(unsigned char first) {
    std::vector<unsigned char> frame(4 * 2 * 3);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<unsigned char>(first + i);
    }
    return frame;
}

std::vector<std::string> repeated(const std::string& call, int times) {
    return std::vector<std::string>(static_cast<std::size_t>(times), call);
}

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

class CaptureControlTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        resetFrameState();
        fakes = std::make_unique<Drivers>();
        drivers = fakes.get();
        captureDriverFactory = makeFakeDriver;
        dialog = std::make_unique<PlandisDlg>();
        dialog->show();
    }

    void cleanup() {
        dialog.reset();
        captureDriverFactory = makeSystemCaptureDriver;
        drivers = nullptr;
        resetFrameState();
    }

    void stopBeforeAnyStartDoesNothing() {
        click(stopCaptureId);
        click(stopCaptureId);
        QVERIFY(dialog->captureWindow == nullptr);
        QVERIFY(fakes->made.empty());
    }

    void aDriverThatNeverConnectsGetsExactly100AttemptsThenTheRestOfTheSetUp() {
        fakes->connectOn = FakeCaptureDriver::kNever;
        frameWidth = 320;
        frameHeight = 240;
        frameBitCount = 8;
        click(startCaptureId);

        QCOMPARE(fakes->log->connectAttempts, 100);
        QCOMPARE(fakes->log->connectIndices, std::vector<int>(100, 0));
        QCOMPARE(fakes->log->calls, joined(repeated("connect", 100), {"period"}));
        QCOMPARE(fakes->log->periods, std::vector<std::uint32_t>{33333});
        CaptureWindow& window = *dialog->captureWindow;
        QVERIFY(!window.previewing());  // nothing to preview without a driver
        QCOMPARE(window.previewRate(), 15);
        QVERIFY(window.scaling());
        QVERIFY(!window.overlay());
        QVERIFY(window.callbackFrame() == frameCallback);
        // No format to read: the last one stays.
        QCOMPARE(frameWidth, 320);
        QCOMPARE(frameHeight, 240);
        QCOMPARE(frameBitCount, 8);
    }

    void aDriverThatConnectsAtOnceGetsOneAttempt() {
        fakes->format = {642, 480, 16};
        click(startCaptureId);

        QCOMPARE(fakes->log->connectAttempts, 1);
        QCOMPARE(fakes->log->calls, (std::vector<std::string>{"connect", "period", "start"}));
        QCOMPARE(fakes->log->periods, std::vector<std::uint32_t>{33333});
        CaptureWindow& window = *dialog->captureWindow;
        QVERIFY(window.previewing());
        QCOMPARE(window.previewRate(), 15);
        QVERIFY(window.scaling());
        QVERIFY(!window.overlay());
        QVERIFY(window.callbackFrame() == frameCallback);
        QCOMPARE(frameWidth, 642);
        QCOMPARE(frameHeight, 480);
        QCOMPARE(frameBitCount, 16);
    }

    void aDriverThatConnectsOnTheLastAttemptIsUsed() {
        fakes->connectOn = 100;
        click(startCaptureId);
        QCOMPARE(fakes->log->connectAttempts, 100);
        QVERIFY(dialog->captureWindow->previewing());
        QCOMPARE(frameBitCount, 24);
    }

    void theCaptureWindowIsAVisible80By60ChildAt530And180() {
        click(startCaptureId);
        CaptureView* view = captureView();
        QVERIFY(view != nullptr);
        QVERIFY(view->isVisible());
        QCOMPARE(view->geometry(), QRect(530, 180, 80, 60));
        const CaptureRect place = dialog->captureWindow->rect();
        QCOMPARE(QRect(place.x, place.y, place.width, place.height), QRect(530, 180, 80, 60));
    }

    void framesReachThePipelineAndThePreviewOnTheTimer() {
        click(startCaptureId);
        const std::vector<unsigned char> frame = bgrFrame(10);
        fakes->made.back()->frames = {frame};
        QTRY_VERIFY_WITH_TIMEOUT(
            rgbFrame != nullptr && std::equal(frame.begin(), frame.end(), rgbFrame), 5000);
        QCOMPARE(grayFrame[0], static_cast<unsigned char>((10 + 11 + 12) / 3));
        // The scaled preview shows the frame's pixels: blue 10, green 11, red 12 at the left.
        QTRY_COMPARE_WITH_TIMEOUT(grabbed(*captureView()).pixel(0, 0), qRgb(12, 11, 10), 5000);
    }

    void stopEndsPreviewDisconnectsAndRemovesTheCallback() {
        click(startCaptureId);
        click(stopCaptureId);
        QCOMPARE(fakes->log->calls,
                 (std::vector<std::string>{"connect", "period", "start", "stop", "disconnect"}));
        QVERIFY(dialog->captureWindow != nullptr);  // the window itself stays
        QVERIFY(!dialog->captureWindow->previewing());
        QVERIFY(!dialog->captureWindow->connected());
        QVERIFY(dialog->captureWindow->callbackFrame() == nullptr);

        fakes->made.back()->frames = {bgrFrame(10)};
        QTest::qWait(100);
        QCOMPARE(fakes->log->framesTaken, 0);
        QVERIFY(rgbFrame == nullptr);
    }

    void stopTwiceChangesNothingMore() {
        click(startCaptureId);
        click(stopCaptureId);
        const auto calls = fakes->log->calls;
        click(stopCaptureId);
        QCOMPARE(fakes->log->calls, calls);
        QVERIFY(dialog->captureWindow != nullptr);
    }

    void startStopStartConnectsANewWindowWhoseFramesArrive() {
        click(startCaptureId);
        click(stopCaptureId);
        click(startCaptureId);
        QCOMPARE(int(fakes->made.size()), 2);
        QVERIFY(dialog->captureWindow->previewing());
        const std::vector<unsigned char> frame = bgrFrame(50);
        fakes->made.back()->frames = {frame};
        QTRY_VERIFY_WITH_TIMEOUT(
            rgbFrame != nullptr && std::equal(frame.begin(), frame.end(), rgbFrame), 5000);
    }

    // The device is never held twice: the earlier capture lets go before the next connects.
    void startWhilePreviewingReleasesTheEarlierCaptureFirst() {
        click(startCaptureId);
        click(startCaptureId);
        QCOMPARE(fakes->log->calls,
                 (std::vector<std::string>{"connect", "period", "start", "stop", "disconnect",
                                           "connect", "period", "start"}));
        QCOMPARE(int(dialog->findChildren<CaptureView*>().size()), 1);
    }

  private:
    void click(int id) { QTest::mouseClick(dialog->dialogItem(id), Qt::LeftButton); }

    CaptureView* captureView() { return dialog->findChild<CaptureView*>(); }

    std::unique_ptr<Drivers> fakes;
    std::unique_ptr<PlandisDlg> dialog;
};

QTEST_MAIN(CaptureControlTest)
#include "CaptureControl_test.moc"
