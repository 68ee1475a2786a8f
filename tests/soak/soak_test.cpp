// A long run beside a production line, compressed: the virtual camera's chart through the
// capture window and the whole pipeline for 20,000 frames with calibration on, with Load
// BMP of pictures of other sizes and bit depths, Save BMP, Clear Data and Calibration
// clicks and Start/Stop cycles in between. Every frame is processed, every buffer keeps
// the size of the frame, and the resident memory after the warm-up does not grow. A
// second run does Start/Stop cycles on the real virtual camera, through GStreamer.
//
// Frames are pumped through CaptureWindow::previewTick, the call the dialog's 15 ms
// preview timer makes, from a driver that always has the next chart frame ready, so the
// run takes seconds rather than the 11 minutes 20,000 frames take at 30 per second.
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/resource.h"
#include "app/sharedState.h"
#include "capture/CaptureDriver.h"
#include "capture/CaptureWindow.h"
#include "capture/TestChart.h"
#include "tests/app/dialogTestSupport.h"

namespace {

// Under AddressSanitizer a frame costs many times more and freed memory is held in
// quarantine, so that run is shorter and resident memory says nothing about leaks there
// (the leak check at exit does).
#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
constexpr int soakFrames = 2'000;
constexpr int cameraCycles = 8;
#else
constexpr bool sanitized = false;
constexpr int soakFrames = 20'000;
constexpr int cameraCycles = 40;
#endif
constexpr int actionEvery = 100;  // frames between two user actions
constexpr int warmUpFrames = soakFrames / 5;

constexpr double mib = 1024.0 * 1024.0;

// Resident memory of this process, from /proc/self/statm.
double residentMib() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / mib;
}

// The virtual camera's chart, drawn once for a few moments of its sway, handed out anew on
// every take: a camera that always has the next frame ready.
class ChartDriver final : public CaptureDriver {
  public:
    static inline long framesHandedOut = 0;

    bool connect(int index) override {
        open = index == 0;
        return open;
    }
    void disconnect() override { open = running = false; }
    void setFramePeriod(std::uint32_t /*microseconds*/) override {}
    bool format(VideoFormat& format) const override {
        if (!open) {
            return false;
        }
        format = {chartFrameWidth, chartFrameHeight, 16};
        return true;
    }
    void start() override { running = open; }
    void stop() override { running = false; }
    bool takeFrame(std::vector<unsigned char>& frame) override {
        if (!running) {
            return false;
        }
        const auto& all = frames();
        frame = all[static_cast<std::size_t>(framesHandedOut) % all.size()];
        ++framesHandedOut;
        return true;
    }

  private:
    static const std::vector<std::vector<unsigned char>>& frames() {
        static const std::vector<std::vector<unsigned char>> drawn = [] {
            std::vector<std::vector<unsigned char>> moments;
            for (int i = 0; i < 6; ++i) {
                std::vector<unsigned char> yuy2(std::size_t{chartFrameWidth} * chartFrameHeight *
                                                2);
                drawChartFrame(i / 6.0, yuy2.data(), chartFrameWidth, chartFrameHeight);
                moments.push_back(std::move(yuy2));
            }
            return moments;
        }();
        return drawn;
    }

    bool open = false;
    bool running = false;
};

// Frames counted by the repaint each one ends with.
long framesShown = 0;
void (*dialogRepaint)(PlandisDlg*) = nullptr;
void countFrame(PlandisDlg* dialog) {
    ++framesShown;
    dialogRepaint(dialog);
}

bool buffersFitTheFrame() {
    const std::size_t pixels = framePixels();
    return (rgbFrame == nullptr || rgbFrameBytes == pixels * 3) &&
           (grayFrame == nullptr || grayFrameBytes == pixels) &&
           (outputFrame == nullptr || outputFrameBytes == pixels);
}

std::vector<unsigned char> pattern(std::size_t bytes, int seed) {
    std::vector<unsigned char> out(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        out[i] = static_cast<unsigned char>((i * 7 + static_cast<std::size_t>(seed) * 31) % 251);
    }
    return out;
}

}  // namespace

class Soak : public QObject {
    Q_OBJECT

    std::unique_ptr<PlandisDlg> dialog;
    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<QTemporaryDir> folder;
    QStringList pictures;  // files Load BMP cycles through

    void click(int id) { QTest::mouseClick(dialog->dialogItem(id), Qt::LeftButton); }

    QCheckBox& calibrationBox() {
        return *qobject_cast<QCheckBox*>(dialog->dialogItem(calibrationId));
    }

    void load(const QString& file) {
        FileDialogAnswer answer(file);
        click(loadBmpId);
    }

    void save(const QString& file) {
        FileDialogAnswer answer(file);
        click(saveBmpId);
    }

    // Four corners of a quadrilateral in each view, then Calibration until it is on.
    void clickPointsAndCalibrate() {
        const auto clickIn = [](PictureView* view, double fx, double fy) {
            QTest::mouseClick(view, Qt::LeftButton, {},
                              QPoint(int(fx * view->width()), int(fy * view->height())));
        };
        clickIn(dialog->inputView, 0.15, 0.12);
        clickIn(dialog->inputView, 0.85, 0.20);
        clickIn(dialog->inputView, 0.80, 0.88);
        clickIn(dialog->inputView, 0.10, 0.80);
        clickIn(dialog->outputView, 0.10, 0.10);
        clickIn(dialog->outputView, 0.90, 0.10);
        clickIn(dialog->outputView, 0.90, 0.90);
        clickIn(dialog->outputView, 0.10, 0.90);
        click(calibrationId);
        if (!calibrationBox().isChecked()) {
            click(calibrationId);
        }
    }

    // One user action; which one depends on the count of actions so far.
    void act(int action) {
        const QString saved = folder->filePath(QString("saved-%1.bmp").arg(action % 3));
        switch (action % 4) {
            case 0:
                load(pictures[(action / 4) % pictures.size()]);
                click(startCaptureId);  // Load BMP stopped the camera
                break;
            case 1:
                save(saved);
                QVERIFY(QFile::exists(saved));
                break;
            case 2:
                click(stopCaptureId);
                click(startCaptureId);
                break;
            default:
                click(clearInputId);
                click(clearOutputId);
                QCOMPARE(dialog->inputPointList->count(), 0);
                // Calibration off and on again, from points clicked anew.
                click(calibrationId);
                QCOMPARE(calibrationOn, 0);
                clickPointsAndCalibrate();
                QCOMPARE(calibrationOn, 1);
                break;
        }
    }

    void writePictures() {
        const struct {
            int width, height, bitCount;
        } sizes[] = {{321, 241, 8}, {160, 120, 24}, {800, 600, 24}, {640, 480, 8}, {97, 3, 24}};
        int seed = 0;
        for (const auto& s : sizes) {
            const QString name = folder->filePath(
                QString("p%1x%2x%3.bmp").arg(s.width).arg(s.height).arg(s.bitCount));
            const std::size_t bytes =
                std::size_t(s.width) * std::size_t(s.height) * std::size_t(s.bitCount / 8);
            writeFile(name, bmpBytes(s.width, s.height, s.bitCount, pattern(bytes, ++seed)));
            pictures << name;
        }
        // A 4-bit picture (loads, changes the frame size, replaces no buffer) and a file
        // that is no picture at all.
        std::string fourBit = bmpBytes(8, 2, 8, pattern(16, 9));
        fourBit[28] = 4;
        pictures << folder->filePath("fourbit.bmp");
        writeFile(pictures.back(), fourBit);
        pictures << folder->filePath("notapicture.bmp");
        writeFile(pictures.back(), "GIF89a, not a BMP");
    }

  private slots:
    void init() {
        resetSharedState();
        folder = std::make_unique<QTemporaryDir>();
        messages = std::make_unique<MessageRecorder>();
        writePictures();
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
        messages.reset();
        folder.reset();
        resetSharedState();
    }

    void twentyThousandFramesWithCommandsInBetween() {
        captureDriverFactory = [] { return std::make_unique<ChartDriver>(); };
        click(startCaptureId);
        QCOMPARE(frameWidth, chartFrameWidth);
        clickPointsAndCalibrate();
        QCOMPARE(calibrationOn, 1);
        ChartDriver::framesHandedOut = 0;
        framesShown = 0;

        double warm = 0.0;
        double peak = 0.0;
        int actions = 0;
        for (int frame = 1; frame <= soakFrames; ++frame) {
            CaptureWindow* window = dialog->captureWindow.get();
            QVERIFY(window != nullptr && window->previewing());
            QVERIFY(window->previewTick());
            QVERIFY(buffersFitTheFrame());
            if (frame % 16 == 0) {
                QCoreApplication::processEvents();  // the preview view, timers, deletions
            }
            if (frame % actionEvery == 0) {
                act(actions++);
                if (QTest::currentTestFailed()) {
                    return;
                }
                QVERIFY2(buffersFitTheFrame(),
                         qPrintable(QString("after action %1: frame %2 x %3, buffers %4 %5 %6")
                                        .arg(actions - 1)
                                        .arg(frameWidth)
                                        .arg(frameHeight)
                                        .arg(rgbFrameBytes)
                                        .arg(grayFrameBytes)
                                        .arg(outputFrameBytes)));
            }
            if (frame == warmUpFrames) {
                warm = residentMib();
            }
            if (frame > warmUpFrames) {
                peak = std::max(peak, residentMib());
            }
        }
        QCoreApplication::processEvents();
        const double end = residentMib();

        // Every frame the camera gave was processed to the end: converted, warped, shown.
        QVERIFY(ChartDriver::framesHandedOut >= soakFrames);
        QCOMPARE(framesShown, ChartDriver::framesHandedOut);
        QCOMPARE(calibrationOn, 1);
        QVERIFY(dialog->isVisible());
        qInfo(
            "soak: %ld frames (%d pumped, the rest by the preview timer), %d actions; "
            "resident %.1f MiB after %d frames of warm-up, %.1f MiB at most after, %.1f "
            "MiB at the end",
            framesShown, soakFrames, actions, warm, warmUpFrames, peak, end);
        if (!sanitized) {
            QVERIFY2(end <= warm + 32.0,
                     qPrintable(QString("grew from %1 to %2 MiB").arg(warm).arg(end)));
        }
    }

    void startStopCyclesOnTheVirtualCamera() {
        captureDriverFactory = makeVirtualCaptureDriver;
        click(startCaptureId);
        clickPointsAndCalibrate();
        click(stopCaptureId);
        double warm = 0.0;
        const int warmUpCycles = cameraCycles / 5;
        for (int cycle = 1; cycle <= cameraCycles; ++cycle) {
            const long before = framesShown;
            click(startCaptureId);
            QTRY_VERIFY_WITH_TIMEOUT(framesShown >= before + 2, 10000);
            QVERIFY(buffersFitTheFrame());
            click(stopCaptureId);
            if (cycle == warmUpCycles) {
                warm = residentMib();
            }
        }
        QCoreApplication::processEvents();
        const double end = residentMib();
        QCOMPARE(calibrationOn, 1);
        qInfo(
            "virtual camera: %d Start/Stop cycles, %ld frames; resident %.1f MiB after %d "
            "cycles, %.1f MiB at the end",
            cameraCycles, framesShown, warm, warmUpCycles, end);
        if (!sanitized) {
            QVERIFY2(end <= warm + 32.0,
                     qPrintable(QString("grew from %1 to %2 MiB").arg(warm).arg(end)));
        }
    }
};

QTEST_MAIN(Soak)
#include "soak_test.moc"
