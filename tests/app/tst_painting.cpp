// Painting: the pictures stretched over the views by whole pixels, the red point segments,
// and one repaint of both views for every frame.
#include <QListWidget>
#include <QTest>

#include <random>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "capture/framePipeline.h"
#include "dialogTestSupport.h"

namespace {

const QRgb red = qRgb(255, 0, 0);

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

std::vector<unsigned char> randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(n);
    for (auto& b : bytes) {
        b = static_cast<unsigned char>(random() & 0xFF);
    }
    return bytes;
}

// View pixel (x, y) shows frame pixel (x · frameWidth / W, y · frameHeight / H).
QRgb expectedGray(const std::vector<unsigned char>& gray, int fw, int fh, int W, int H, int x,
                  int y) {
    const unsigned char level = gray[static_cast<std::size_t>(y * fh / H * fw + x * fw / W)];
    return qRgb(level, level, level);
}

// Where a frame pixel is drawn: W · x / frameWidth, truncated.
QPoint viewPoint(int x, int y, int fw, int fh, int W, int H) {
    return {static_cast<int>(static_cast<double>(W) * x / fw),
            static_cast<int>(static_cast<double>(H) * y / fh)};
}

// Red within a pixel of `at`, where a 2-pixel pen covers it.
bool redNear(const QImage& image, QPoint at) {
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint p = at + QPoint(dx, dy);
            if (image.rect().contains(p) && image.pixel(p) == red) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

class Painting : public QObject {
    Q_OBJECT

    std::unique_ptr<PlandisDlg> dialog;

  private slots:
    void init() {
        resetSharedState();
        dialog = std::make_unique<PlandisDlg>();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }

    void cleanup() {
        dialog.reset();
        resetSharedState();
    }

    void everyRepaintRequestRedrawsBothViews() {
        const std::vector<unsigned char> gray(64 * 48, 90);
        setFrame(64, 48, &gray, nullptr, &gray);
        PaintCounter input(dialog->inputView);
        PaintCounter output(dialog->outputView);
        for (int frame = 1; frame <= 25; ++frame) {
            requestRepaint();
            QCOMPARE(input.count, frame);
            QCOMPARE(output.count, frame);
        }
    }

    void everyPipelineFrameRedrawsBothViews() {
        frameWidth = 32;
        frameHeight = 24;
        frameBitCount = 24;
        std::vector<unsigned char> bgr(32 * 24 * 3, 200);
        VideoHeader header{bgr.data(), static_cast<std::uint32_t>(bgr.size())};
        PaintCounter input(dialog->inputView);
        PaintCounter output(dialog->outputView);
        for (int frame = 1; frame <= 10; ++frame) {
            QCOMPARE(frameCallback(nullptr, &header), 1);
            QCOMPARE(input.count, frame);
            QCOMPARE(output.count, frame);
        }
        QCOMPARE(grabbed(*dialog->inputView).pixel(100, 100), qRgb(200, 200, 200));
    }

    void greyFrameIsStretchedByWholePixels_data() {
        QTest::addColumn<QSize>("frame");
        QTest::newRow("enlarged 5 × 3") << QSize(5, 3);
        QTest::newRow("odd 37 × 29") << QSize(37, 29);
        QTest::newRow("reduced 320 × 240") << QSize(320, 240);
        QTest::newRow("reduced 641 × 479") << QSize(641, 479);
    }

    void greyFrameIsStretchedByWholePixels() {
        QFETCH(QSize, frame);
        const int fw = frame.width(), fh = frame.height();
        const auto gray = randomBytes(static_cast<std::size_t>(fw * fh), 7);
        setFrame(fw, fh, &gray, nullptr, &gray);
        for (PictureView* view : {dialog->inputView, dialog->outputView}) {
            const QImage image = grabbed(*view);
            const int W = image.width(), H = image.height();
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x) {
                    if (image.pixel(x, y) != expectedGray(gray, fw, fh, W, H, x, y)) {
                        QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
                    }
                }
            }
        }
    }

    void colourFrameShowsOnlyWhileNoGreyFrameExists() {
        const std::vector<unsigned char> bgr = {255, 0, 0, 0, 0, 255};  // blue, red
        setFrame(2, 1, nullptr, &bgr);
        QImage image = grabbed(*dialog->inputView);
        QCOMPARE(image.pixel(10, 100), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(image.width() - 10, 100), qRgb(255, 0, 0));
        const std::vector<unsigned char> gray = {30, 60};
        setFrame(2, 1, &gray);
        image = grabbed(*dialog->inputView);
        QCOMPARE(image.pixel(10, 100), qRgb(30, 30, 30));
    }

    void withoutPicturesTheViewsShowTheirFrames() {
        const QImage image = grabbed(*dialog->outputView);
        QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0));
        QVERIFY(image.pixel(50, 50) != qRgb(0, 0, 0));
        QCOMPARE(countColour(image, red), 0);
    }

    void bufferOfAnotherSizeIsNotDrawn() {
        const std::vector<unsigned char> gray(10 * 10, 255);
        setFrame(10, 10, &gray);
        frameWidth = 20;  // the frame size changed, the buffer did not
        QCOMPARE(countColour(grabbed(*dialog->inputView), qRgb(255, 255, 255)), 0);
    }

    void markersAreRedSegmentsBetweenPairsOfEntries_data() {
        QTest::addColumn<QStringList>("points");
        QTest::addColumn<int>("segments");
        QTest::newRow("four points: two segments")
            << QStringList{"10,20", "300,20", "160,40", "160,230"} << 2;
        QTest::newRow("odd count: the last only moves")
            << QStringList{"10,20", "300,20", "160,40"} << 1;
        QTest::newRow("single entry draws nothing") << QStringList{"10,20"} << 0;
        QTest::newRow("six points: three segments")
            << QStringList{"10,20", "300,20", "160,40", "160,230", "20,200", "300,100"} << 3;
        QTest::newRow("nine points: four segments")
            << QStringList{"0,0",    "319,0", "0,239",  "319,239", "5,60",
                           "315,60", "40,5",  "40,235", "200,120"}
            << 4;
    }

    void markersAreRedSegmentsBetweenPairsOfEntries() {
        QFETCH(QStringList, points);
        QFETCH(int, segments);
        const std::vector<unsigned char> gray(320 * 240, 128);
        setFrame(320, 240, &gray, nullptr, &gray);
        calibrationOn = 1;
        dialog->inputPointList->addItems(points);
        dialog->outputPointList->addItems(points);
        for (PictureView* view : {dialog->inputView, dialog->outputView}) {
            const QImage image = grabbed(*view);
            const int W = image.width(), H = image.height();
            int drawn = 0;
            for (int i = 0; i + 1 < points.size(); i += 2) {
                const QStringList a = points[i].split(','), b = points[i + 1].split(',');
                const QPoint from = viewPoint(a[0].toInt(), a[1].toInt(), 320, 240, W, H);
                const QPoint to = viewPoint(b[0].toInt(), b[1].toInt(), 320, 240, W, H);
                QVERIFY(redNear(image, from));
                QVERIFY(redNear(image, to));
                QVERIFY(redNear(image, (from + to) / 2));
                ++drawn;
            }
            QCOMPARE(drawn, segments);
            if (segments == 0) {
                QCOMPARE(countColour(image, red), 0);
            }
            if (points.size() % 2 == 1 && points.size() > 1) {
                // The unpaired last entry is not joined to anything: away from the other
                // segments its place stays grey.
                const QStringList last = points.last().split(',');
                const QPoint p = viewPoint(last[0].toInt(), last[1].toInt(), 320, 240, W, H);
                if (points.size() == 3) {
                    QCOMPARE(image.pixel(p + QPoint(0, 60)), qRgb(128, 128, 128));
                }
            }
        }
    }

    void markerSegmentIsTwoPixelsWide() {
        const std::vector<unsigned char> gray(320 * 240, 128);
        setFrame(320, 240, &gray);
        calibrationOn = 1;
        dialog->inputPointList->addItems({"20,120", "300,120"});
        const QImage image = grabbed(*dialog->inputView);
        const QPoint mid = viewPoint(160, 120, 320, 240, image.width(), image.height());
        int redRows = 0;
        for (int y = mid.y() - 4; y <= mid.y() + 4; ++y) {
            redRows += image.pixel(mid.x(), y) == red ? 1 : 0;
        }
        QCOMPARE(redRows, 2);
    }

    void noMarkersWhileCalibrationIsOff() {
        const std::vector<unsigned char> gray(320 * 240, 128);
        setFrame(320, 240, &gray, nullptr, &gray);
        dialog->inputPointList->addItems({"10,20", "300,20", "160,40", "160,230"});
        dialog->outputPointList->addItems({"10,20", "300,20"});
        QCOMPARE(countColour(grabbed(*dialog->inputView), red), 0);
        QCOMPARE(countColour(grabbed(*dialog->outputView), red), 0);
    }

    void markersNeedAFrameSize() {
        calibrationOn = 1;
        dialog->inputPointList->addItems({"0,0", "0,0", "10,20", "300,20"});
        QCOMPARE(countColour(grabbed(*dialog->inputView), red), 0);
    }
};

QTEST_MAIN(Painting)
#include "tst_painting.moc"
