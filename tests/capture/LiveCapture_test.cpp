// The whole road of a frame with the virtual camera, on the real dialog: Start Capture,
// the chart in the input view, four corners clicked in each view, Calibration, the
// rectified chart in the output view, Stop Capture and Start again.
#include <QCheckBox>
#include <QListWidget>
#include <QtTest>

#include <array>
#include <vector>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/resource.h"
#include "app/sharedState.h"
#include "calib/pointPicking.h"
#include "calib/rectify.h"
#include "capture/CaptureDriver.h"
#include "capture/TestChart.h"
#include "tests/capture/captureTestSupport.h"

namespace {

// Frames counted by the repaint each one ends with.
int framesShown = 0;
void (*dialogRepaint)(PlandisDlg*) = nullptr;
void countFrame(PlandisDlg* dialog) {
    ++framesShown;
    dialogRepaint(dialog);
}

// Where the card's corners go in the output frame: a 9 × 7 rectangle like the card.
constexpr int kLeft = 96;
constexpr int kTop = 64;
constexpr int kRight = 96 + 9 * 50;
constexpr int kBottom = 64 + 7 * 50;

// A view position whose frame pixel lies at (or just beside) this one.
QPoint viewPositionOf(const PictureView& view, double x, double y) {
    return {static_cast<int>(x * view.width() / frameWidth + 0.5),
            static_cast<int>(y * view.height() / frameHeight + 0.5)};
}

int grayAt(int x, int y) {
    return grayFrame[y * frameWidth + x];
}
int outputAt(int x, int y) {
    return outputFrame[y * frameWidth + x];
}

}  // namespace

class LiveCaptureTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        resetFrameState();
        captureDriverFactory = makeVirtualCaptureDriver;
        dialog = std::make_unique<PlandisDlg>();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        dialogRepaint = mainDialogRepaint;
        mainDialogRepaint = countFrame;
        framesShown = 0;
    }

    void cleanup() {
        dialog.reset();
        mainDialogRepaint = dialogRepaint;
        captureDriverFactory = makeSystemCaptureDriver;
        resetFrameState();
    }

    void theChartIsCapturedClickedCalibratedAndRectified() {
        click(startCaptureId);
        QCOMPARE(frameWidth, 640);
        QCOMPARE(frameHeight, 480);
        QCOMPARE(frameBitCount, 16);
        QTRY_VERIFY_WITH_TIMEOUT(framesShown >= 3, 10000);

        // The input view shows the grey chart: white card, black squares, grey table.
        const QImage shown = grabbed(*dialog->inputView);
        int white = 0;
        int black = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const int g = qGray(shown.pixel(x, y));
                white += g > 200 ? 1 : 0;
                black += g < 50 ? 1 : 0;
            }
        }
        QVERIFY2(white > shown.width() * shown.height() / 10, qPrintable(QString::number(white)));
        QVERIFY2(black > shown.width() * shown.height() / 20, qPrintable(QString::number(black)));

        // Four card corners in the input view, the rectangle's corners in the output view.
        for (const ChartPoint& corner : chartCornersAtRest()) {
            QTest::mouseClick(dialog->inputView, Qt::LeftButton, {},
                              viewPositionOf(*dialog->inputView, corner.x, corner.y));
        }
        const std::array<QPoint, 4> target = {QPoint(kLeft, kTop), QPoint(kRight, kTop),
                                              QPoint(kRight, kBottom), QPoint(kLeft, kBottom)};
        for (const QPoint& p : target) {
            QTest::mouseClick(dialog->outputView, Qt::LeftButton, {},
                              viewPositionOf(*dialog->outputView, p.x(), p.y()));
        }
        QCOMPARE(dialog->inputPointList->count(), 4);
        QCOMPARE(dialog->outputPointList->count(), 4);

        auto* box = qobject_cast<QCheckBox*>(dialog->dialogItem(calibrationId));
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(calibrationOn, 1);
        QCOMPARE(dialog->homographyList->count(), 3);

        // From the next frame on, the output frame is the warp of that frame's grey frame.
        const int calibratedAt = framesShown;
        QTRY_VERIFY_WITH_TIMEOUT(framesShown >= calibratedAt + 2, 10000);
        const std::size_t pixels = framePixels();
        std::vector<unsigned char> expected(pixels);
        unsigned char* into = expected.data();
        rectifyFrame(grayFrame, into);
        QVERIFY(std::equal(expected.begin(), expected.end(), outputFrame));

        // And it is the chart straightened: squares alternate across the rectangle.
        const double unit = (kRight - kLeft) / 9.0;
        for (int row = 0; row < chartSquaresDown; ++row) {
            for (int col = 0; col < chartSquaresAcross; ++col) {
                const int x = static_cast<int>(kLeft + (col + 1) * unit);
                const int y = static_cast<int>(kTop + (row + 1) * unit);
                const bool disc = (row == 0 && (col == 0 || col == chartSquaresAcross - 1)) ||
                                  (row == chartSquaresDown - 1 && col == 0);
                if (disc) {
                    continue;
                }
                if ((row + col) % 2 == 0) {
                    QVERIFY2(outputAt(x, y) < 60,
                             qPrintable(QString("dark %1,%2").arg(col).arg(row)));
                } else {
                    QVERIFY2(outputAt(x, y) > 180,
                             qPrintable(QString("light %1,%2").arg(col).arg(row)));
                }
            }
        }

        // Stop: no more frames, and the pictures keep their last values.
        click(stopCaptureId);
        const int stoppedAt = framesShown;
        const std::vector<unsigned char> lastGray(grayFrame, grayFrame + pixels);
        QTest::qWait(300);
        QCOMPARE(framesShown, stoppedAt);
        QVERIFY(std::equal(lastGray.begin(), lastGray.end(), grayFrame));

        // Start again: frames resume, still rectified.
        click(startCaptureId);
        QTRY_VERIFY_WITH_TIMEOUT(framesShown >= stoppedAt + 3, 10000);
        rectifyFrame(grayFrame, into);
        QVERIFY(std::equal(expected.begin(), expected.end(), outputFrame));
    }

    void startingTwiceKeepsOneCameraRunning() {
        click(startCaptureId);
        click(startCaptureId);
        QTRY_VERIFY_WITH_TIMEOUT(framesShown >= 3, 10000);
        QVERIFY(grayAt(10, 10) < 140);  // the table in the top-left corner
    }

  private:
    void click(int id) { QTest::mouseClick(dialog->dialogItem(id), Qt::LeftButton); }

    std::unique_ptr<PlandisDlg> dialog;
};

QTEST_MAIN(LiveCaptureTest)
#include "LiveCapture_test.moc"
