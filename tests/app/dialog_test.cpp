// The dialog as the user meets it, through its real widgets: layout, the two journeys
// (a loaded picture; live capture), every refusal, painting, capture control, the menu and
// a short soak. Each checks the dialog's own decisions, not the arithmetic beneath them.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstring>

#include "app/AboutDlg.h"
#include "app/CaptureView.h"
#include "app/PictureView.h"
#include "app/dialogBuilder.h"
#include "capture/CaptureWindow.h"
#include "capture/TestChart.h"
#include "capture/framePipeline.h"
#include "dialogTestSupport.h"
#include "image/Image.h"
#include "tests/capture/FakeCaptureDriver.h"

namespace {

using Bytes = std::vector<unsigned char>;
const QStringList exampleInput = {"30,40", "250,20", "260,230", "20,200"};
const QStringList exampleOutput = {"10,10", "200,15", "190,220", "5,180"};
const QStringList exampleRows = {"1.064644 -0.037490 19.471393", "-0.132800 0.824368 32.741555",
                                 "-0.000323 -0.000534 1.000000"};
const QRgb red = qRgb(255, 0, 0);

// Installs a frame of this size whose grey frame holds `grey` everywhere.
void setGreyFrame(int width, int height, unsigned char grey) {
    frameWidth = width, frameHeight = height;
    freeFrameBuffer(grayFrame, grayFrameBytes);
    makeFrameBuffer(grayFrame, grayFrameBytes, framePixels());
    std::memset(grayFrame, grey, grayFrameBytes);
}

bool writeBmp(const QString& path, const Bytes& pixels, int width, int height, int bitCount) {
    return Image().writeBmp(QFile::encodeName(path).constData(), pixels.data(), width, height,
                            bitCount);
}

// Frames through the pipeline so far: the pipeline asks for one repaint per frame.
int framesSeen = 0;
void countFrames() {
    mainDialogRepaint = [](PlandisDlg* dialog) { ++framesSeen, dialog->OnPaint(); };
}

}  // namespace

class Layout : public DialogTest {
    Q_OBJECT

    // Dialog units to pixels from base units measured here, rounded half away from zero.
    static QRect pixels(const QFont& font, int x, int y, int w, int h) {
        const QFontMetrics m(font);
        const int ux = (m.horizontalAdvance(QStringLiteral(
                            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                            26 +
                        1) /
                       2;
        const int uy = m.ascent() + m.descent();
        const auto px = [](int v, int u, int d) { return (2 * v * u + d) / (2 * d); };
        return {px(x, ux, 4), px(y, uy, 8), px(w, ux, 4), px(h, uy, 8)};
    }
    static QString caption(const QWidget* c) {
        if (const auto* b = qobject_cast<const QAbstractButton*>(c)) {
            return b->text();
        }
        const auto* l = qobject_cast<const QLabel*>(c);
        return l != nullptr ? l->text() : QString();
    }
    static QWidget* withCaption(QWidget& parent, const QString& text) {
        for (QLabel* label : parent.findChildren<QLabel*>()) {
            if (label->text() == text) {
                return label;
            }
        }
        return nullptr;
    }

  private slots:
    void init() { open(); }
    void cleanup() { close(); }

    void everyControlHasItsCaptionAndPlace_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("units");
        const auto row = [](int id, const char* text, QRect units) {
            QTest::newRow(text) << id << QString::fromUtf8(text) << units;
        };
        row(startCaptureId, "Start Capture", {297, 7, 55, 14});
        row(stopCaptureId, "Stop Capture", {297, 28, 55, 14});
        row(loadBmpId, "Load BMP", {297, 49, 55, 14});
        row(saveBmpId, "Save BMP", {297, 70, 55, 14});
        row(calibrationId, "Calibration", {300, 92, 52, 10});
        row(clearInputId, "Clear Data", {16, 190, 43, 14});
        row(clearOutputId, "", {116, 190, 43, 14});
        row(inputViewId, "", {7, 7, 139, 160});
        row(outputViewId, "", {151, 7, 139, 160});
        row(inputPointListId, "", {63, 171, 43, 33});
        row(outputPointListId, "", {163, 171, 43, 33});
        row(homographyListId, "", {256, 171, 96, 33});
        row(noControlId, "Input Image", {7, 171, 43, 8});
        row(noControlId, "Output Image", {114, 170, 43, 8});
        row(noControlId, "Homography", {211, 171, 43, 8});
        row(noControlId,
            "1. Press Start Capture      2. Get 4 points in Input and Output Image    3. Check "
            "Calibration button.",
            {7, 209, 345, 8});
    }
    void everyControlHasItsCaptionAndPlace() {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(QRect, units);
        QWidget* c = id == noControlId ? withCaption(*dialog, text) : dialog->dialogItem(id);
        QVERIFY(c != nullptr);
        if (id == clearOutputId) {
            text = QStringLiteral("Clear Data");
        }
        QCOMPARE(caption(c), text);
        QCOMPARE(c->geometry(),
                 pixels(dialog->font(), units.x(), units.y(), units.width(), units.height()));
    }

    void dialogsHaveTheirSizeCaptionAndTabOrder() {
        QCOMPARE(dialog->size(), pixels(dialog->font(), 0, 0, 359, 224).size());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Tessaro  2016.5.17"));
        QList<int> order;
        for (QWidget* c = dialog->dialogItem(startCaptureId); order.size() < 10;
             c = c->nextInFocusChain()) {
            if (c->focusPolicy() != Qt::NoFocus && controlId(*c) > 0 &&
                !order.contains(controlId(*c))) {
                order << controlId(*c);
            }
        }
        QCOMPARE(order, QList<int>({1000, 1004, 1005, 1006, 1003, 1007, 1008, 1009, 1010, 1011}));
        AboutDlg about;
        QCOMPARE(about.windowTitle(), QString::fromUtf8("Veltro 정보"));
        QCOMPARE(about.size(), pixels(about.font(), 0, 0, 235, 55).size());
        QWidget* ok = about.findChild<QPushButton*>();
        QCOMPARE(caption(ok), QString::fromUtf8("확인"));
        QCOMPARE(ok->geometry(), pixels(about.font(), 178, 7, 50, 14));
        QWidget* version = withCaption(about, QString::fromUtf8("Veltro 버전 1.0"));
        QVERIFY(version != nullptr);
        QCOMPARE(version->geometry(), pixels(about.font(), 40, 10, 119, 8));
        QCOMPARE(dialog->windowIcon().pixmap(32, 32).toImage(),
                 loadIcon(mainIcon).pixmap(32, 32).toImage());
        QVERIFY(loadIcon(mainIcon).availableSizes().contains(QSize(16, 16)));
        QCOMPARE(minimizedIconOrigin(100, 61, 32, 32), QPoint(34, 15));
        QCOMPARE(minimizedIconOrigin(20, 20, 32, 32), QPoint(-5, -5));
    }
};

class Journeys : public DialogTest {
    Q_OBJECT

    QTemporaryDir folder;
    QString file(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }

  private slots:
    void init() { open(); }
    void cleanup() { close(); }

    void pictureLoadedPickedCalibratedSaved() {
        // 243 × 140: at these sizes dividing before multiplying gives other pixels.
        Bytes grey(243 * 140);
        for (std::size_t i = 0; i < grey.size(); ++i) {
            grey[i] = i % 243 < 120 ? 40 : 200;
        }
        QVERIFY(writeBmp(file("grey.bmp"), grey, 243, 140, 8));
        fileCommand(loadBmpId, file("grey.bmp"));
        QCOMPARE(messages.size(), 1);  // the file's header
        QVERIFY(grayFrame != nullptr && Bytes(grayFrame, grayFrame + grayFrameBytes) == grey);
        QImage shown = grabbed(*dialog->inputView);
        QCOMPARE(shown.pixel(20, 140), qRgb(40, 40, 40));
        QCOMPARE(shown.pixel(220, 140), qRgb(200, 200, 200));

        // A click becomes the frame pixel under it: position / view size · frame size.
        const QList<QPoint> clicks = {{127, 94}, {200, 30}, {230, 250}, {10, 200}};
        QStringList expected;
        for (const QPoint at : clicks) {
            QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, at);
            QTest::mouseClick(dialog->outputView, Qt::LeftButton, {}, at / 2);
            expected << QStringLiteral("%1,%2")
                            .arg(int(at.x() / 243.0 * 243))
                            .arg(int(at.y() / 280.0 * 140));
        }
        QCOMPARE(rows(*dialog->inputPointList), expected);
        QCOMPARE(rows(*dialog->inputPointList).first(), QStringLiteral("126,46"));
        QCOMPARE(dialog->outputPointList->count(), 4);
        QTest::mouseClick(dialog->inputView, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(dialog->inputPointList->count(), 4);

        // Each Clear Data empties its own list only; then the worked example.
        click(clearInputId);
        QCOMPARE(dialog->inputPointList->count(), 0);
        QCOMPARE(dialog->outputPointList->count(), 4);
        click(clearOutputId);
        QCOMPARE(dialog->outputPointList->count(), 0);
        dialog->inputPointList->addItems(exampleInput);
        dialog->outputPointList->addItems(exampleOutput);
        click(calibrationId);
        QCOMPARE(rows(*dialog->homographyList), exampleRows);
        QCOMPARE(calibrationOn, 1);
        QCOMPARE(QString::asprintf("%f", homographyTable[0][2]), QStringLiteral("19.471393"));
        QCOMPARE(QString::asprintf("%f", homographyTable[2][1]), QStringLiteral("-0.000534"));
        click(calibrationId);  // off: the warp stops, the rows stay
        QCOMPARE(calibrationOn, 0);
        QCOMPARE(rows(*dialog->homographyList), exampleRows);

        // Save writes the grey frame.
        messages.clear();
        fileCommand(saveBmpId, file("saved.bmp"));
        QCOMPARE(messages, QStringList());
        Image saved;
        QVERIFY(saved.readBmp(QFile::encodeName(file("saved.bmp")).constData()));
        unsigned char* back = nullptr;
        saved.getData(back);
        QVERIFY(Bytes(back, back + grey.size()) == grey);
        delete[] back;

        // A colour picture of the same size replaces the grey frame on screen.
        QVERIFY(writeBmp(file("colour.bmp"), Bytes(243 * 140 * 3, 0), 243, 140, 24));
        Bytes colour(243 * 140 * 3);
        for (std::size_t i = 0; i < colour.size(); i += 3) {
            colour[i] = 30, colour[i + 1] = 160, colour[i + 2] = 90;
        }
        QVERIFY(writeBmp(file("colour.bmp"), colour, 243, 140, 24));
        fileCommand(loadBmpId, file("colour.bmp"));
        QCOMPARE(grabbed(*dialog->inputView).pixel(121, 140), qRgb(90, 160, 30));
    }

    void liveCaptureCalibratedStoppedStartedAgain() {
        countFrames();
        click(startCaptureId);
        QVERIFY(QTest::qWaitFor([] { return framesSeen > 2; }, 10000));
        QCOMPARE(frameWidth, 640);
        QCOMPARE(frameBitCount, 16);
        const QImage preview = grabbed(*dialog->findChild<CaptureView*>());
        QVERIFY(preview.pixel(40, 30) != qRgb(0, 0, 0));
        const auto corners = chartCornersAtRest();
        const QList<QPoint> rectified = {{96, 64}, {546, 64}, {546, 414}, {96, 414}};
        for (int i = 0; i < 4; ++i) {
            const auto at = [](double x, double y) {
                return QPoint(int(std::ceil(x * 243 / 640)), int(std::ceil(y * 280 / 480)));
            };
            QTest::mouseClick(dialog->inputView, Qt::LeftButton, {},
                              at(corners[i].x, corners[i].y));
            QTest::mouseClick(dialog->outputView, Qt::LeftButton, {},
                              at(rectified[i].x(), rectified[i].y()));
        }
        const QImage before = grabbed(*dialog->outputView);
        click(calibrationId);
        QCOMPARE(calibrationOn, 1);
        QCOMPARE(dialog->homographyList->count(), 3);
        for (int round = 0; round < 2; ++round) {
            const int seen = framesSeen;
            QVERIFY(QTest::qWaitFor([seen] { return framesSeen > seen + 2; }, 5000));
            QVERIFY(outputFrame != nullptr);
            QVERIFY(grabbed(*dialog->outputView) != before);  // the rectified chart
            click(stopCaptureId);
            const int stopped = framesSeen;
            QTest::qWait(200);
            QCOMPARE(framesSeen, stopped);
            click(startCaptureId);
        }
        click(stopCaptureId);
        QCOMPARE(messages, QStringList());
    }
};

class Refusals : public DialogTest {
    Q_OBJECT

  private slots:
    void init() { open(); }
    void cleanup() { close(); }

    void eachRefusalSaysWhyAndChangesNothing_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QStringList>("output");
        QTest::addColumn<int>("cause");  // of a camera that would not open
        QTest::addColumn<QString>("message");
        const QString count =
            QString::fromUtf8("입력 영상과 출력 영상에 점을 4개씩 찍어야 합니다.");
        const QString degenerate =
            QString::fromUtf8("두 점이 겹치거나 세 점이 한 직선 위에 있어 보정할 수 없습니다.");
        const QStringList square = {"0,0", "100,0", "100,100", "0,100"};
        const auto row = [](const char* name, int command, QStringList in, QStringList out,
                            const QString& message, OpenFailure::Cause cause = {}) {
            QTest::newRow(name) << command << in << out << int(cause) << message;
        };
        row("no points", calibrationId, {}, {}, count);
        row("three input points", calibrationId, square.mid(0, 3), square, count);
        row("five output points", calibrationId, square, square + QStringList{"1,1"}, count);
        row("two equal input points", calibrationId, {"0,0", "100,0", "0,0", "0,100"}, square,
            degenerate);
        row("three output points on a line", calibrationId, square,
            {"30,30", "0,50", "10,10", "20,20"}, degenerate);
        row("beyond the estimation", calibrationId,
            {"30,40", "0,2", "260,0", "214748333,-48364743"}, {"10,100", "2,0", "250,0", "25,180"},
            QString::fromUtf8("이 점들로는 호모그래피를 계산할 수 없습니다."));
        row("unreadable file", loadBmpId, square, {},
            QString::fromUtf8("파일을 읽을 수 없습니다."));
        row("unwritable place", saveBmpId, square, {},
            QString::fromUtf8("파일을 저장할 수 없습니다."));
        row("no frame size to save", saveBmpId, {}, {}, QStringLiteral("Can not create image!"));
        row("camera not permitted", startCaptureId, {}, {},
            QString::fromUtf8("카메라를 열 수 없습니다: /dev/video7\n권한이 없습니다. video 그룹에 "
                              "가입한 뒤 다시 로그인하십시오."),
            OpenFailure::Cause::permissionDenied);
        row("camera busy", startCaptureId, {}, {},
            QString::fromUtf8("카메라를 열 수 없습니다: /dev/video7\n다른 프로그램이 사용 "
                              "중입니다. 그 프로그램을 닫으십시오."),
            OpenFailure::Cause::busy);
        row("no camera at all", startCaptureId, {}, {}, {}, OpenFailure::Cause::other);
    }

    void eachRefusalSaysWhyAndChangesNothing() {
        QFETCH(int, command);
        QFETCH(QStringList, input);
        QFETCH(QStringList, output);
        QFETCH(int, cause);
        QFETCH(QString, message);
        QTemporaryDir folder;
        const QString junk = folder.filePath(QStringLiteral("junk.bmp"));
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("BM not a picture") > 0);
        f.close();
        if (QString(QTest::currentDataTag()) != QStringLiteral("no frame size to save")) {
            setGreyFrame(8, 4, 77);
        }
        const unsigned char* grey = grayFrame;
        const auto why = static_cast<OpenFailure::Cause>(cause);
        useFakeDriver(0, {}, {why, why == OpenFailure::Cause::other ? "" : "/dev/video7"});
        dialog->inputPointList->addItems(input);
        dialog->outputPointList->addItems(output);
        dialog->homographyList->addItems(exampleRows);
        fileCommand(command,
                    command == loadBmpId ? junk : folder.filePath(QStringLiteral("no/x.bmp")));
        QCOMPARE(messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(rows(*dialog->inputPointList), input);
        QCOMPARE(rows(*dialog->outputPointList), output);
        QCOMPARE(rows(*dialog->homographyList), exampleRows);
        QCOMPARE(calibrationOn, 0);
        QVERIFY(!qobject_cast<QCheckBox*>(dialog->dialogItem(calibrationId))->isChecked());
        QCOMPARE(grayFrame, grey);
        QVERIFY(grey == nullptr || (frameWidth == 8 && grayFrame[31] == 77));
    }
};

class Painting : public DialogTest {
    Q_OBJECT

  private slots:
    void init() { open(); }
    void cleanup() { close(); }

    // Segments join entries 0-1 and 2-3 only, 2 pixels wide, where view · pixel / frame puts
    // them; an unpaired last entry draws nothing.
    void markersJoinPairsOfEntriesInRed() {
        setGreyFrame(320, 240, 0);
        const QList<QPoint> points = {{40, 40}, {280, 40}, {280, 200}, {40, 200}, {160, 120}};
        for (const QPoint p : points) {
            dialog->outputPointList->addItem(QStringLiteral("%1,%2").arg(p.x()).arg(p.y()));
        }
        const auto view = [](QPoint p) { return QPoint(243 * p.x() / 320, 280 * p.y() / 240); };
        QVERIFY(grabbed(*dialog->outputView).pixel(view({160, 40})) != red);  // calibration off
        calibrationOn = 1;
        const QImage shown = grabbed(*dialog->outputView);
        for (const QPoint on :
             {QPoint(40, 40), QPoint(160, 40), QPoint(280, 40), QPoint(160, 200)}) {
            QCOMPARE(shown.pixel(view(on)), red);
        }
        int width = 0;
        for (int dy = -4; dy <= 4; ++dy) {
            width += shown.pixel(view({160, 40}) + QPoint(0, dy)) == red ? 1 : 0;
        }
        QCOMPARE(width, 2);
        for (const QPoint off :
             {QPoint(280, 120), QPoint(160, 120), QPoint(100, 160), QPoint(160, 44)}) {
            QVERIFY(shown.pixel(view(off)) != red);
        }
        QVERIFY(grabbed(*dialog->inputView).pixel(view({160, 40})) != red);  // its own list
    }

    // The input view shows the grey frame, else the colour one; a buffer of another size
    // is not shown; the output view shows the rectified frame.
    void eachViewShowsItsBuffer() {
        setGreyFrame(4, 2, 0);
        makeFrameBuffer(rgbFrame, rgbFrameBytes, 24);
        std::memset(rgbFrame, 150, 24);
        makeFrameBuffer(outputFrame, outputFrameBytes, 8);
        std::memset(outputFrame, 99, 8);
        QCOMPARE(grabbed(*dialog->inputView).pixel(121, 140), qRgb(0, 0, 0));
        QCOMPARE(grabbed(*dialog->outputView).pixel(121, 140), qRgb(99, 99, 99));
        freeFrameBuffer(grayFrame, grayFrameBytes);
        QCOMPARE(grabbed(*dialog->inputView).pixel(121, 140), qRgb(150, 150, 150));
        makeFrameBuffer(grayFrame, grayFrameBytes, 7);
        std::memset(grayFrame, 0, 7);
        QCOMPARE(grabbed(*dialog->inputView).pixel(121, 140), qRgb(150, 150, 150));
    }
};

class CaptureControl : public DialogTest {
    Q_OBJECT

    std::shared_ptr<FakeDriverLog> log;
    QStringList calls() const {
        QStringList all;
        for (const auto& c : log->calls) {
            all << QString::fromStdString(c);
        }
        return all;
    }
    static QStringList repeated(int n, const char* call) {
        QStringList list;
        while (n-- > 0) {
            list << QString::fromLatin1(call);
        }
        return list;
    }

  private slots:
    void init() { open(); }
    void cleanup() { close(); }

    void startTriesOneHundredConnectsThenSetsUp_data() {
        QTest::addColumn<int>("opensOn");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("never") << 0 << repeated(100, "connect 0") + QStringList{"period 33333"};
        QTest::newRow("at once") << 1 << QStringList{"connect 0", "period 33333", "start"};
        QTest::newRow("on the last attempt")
            << 100 << repeated(100, "connect 0") + QStringList{"period 33333", "start"};
    }
    void startTriesOneHundredConnectsThenSetsUp() {
        QFETCH(int, opensOn);
        QFETCH(QStringList, expected);
        setGreyFrame(4, 2, 9);
        log = useFakeDriver(opensOn, {64, 2, 24});
        click(startCaptureId);
        QCOMPARE(calls(), expected);
        QCOMPARE(frameWidth, opensOn > 0 ? 64 : 4);  // the new size drops the old frame
        QCOMPARE(grayFrame == nullptr, opensOn > 0);
        QCOMPARE(dialog->findChild<CaptureView*>()->geometry(), QRect(530, 180, 80, 60));
        QCOMPARE(dialog->captureWindow->previewRate(), 15);
        QVERIFY(dialog->captureWindow->scaling());
    }

    void aFormatOfTheSameSizeKeepsTheLoadedPicture() {
        setGreyFrame(64, 2, 9);
        log = useFakeDriver(1, {64, 2, 16});
        click(startCaptureId);
        QVERIFY(grayFrame != nullptr);
        QCOMPARE(frameBitCount, 16);
    }

    // Every frame goes through the pipeline and repaints the views before the next.
    void framesFlowBetweenStartAndStop() {
        log = useFakeDriver(1, {4, 2, 24});
        click(stopCaptureId);  // before any Start: nothing to stop
        click(startCaptureId);
        int paints = 0;
        const auto paint = dialog->inputView->paintContent;
        dialog->inputView->paintContent = [&](QPainter& p) { ++paints, paint(p); };
        for (const unsigned char level : {Bytes::value_type{10}, Bytes::value_type{200}}) {
            log->frames.emplace_back(24, level);
            QVERIFY(dialog->captureWindow->previewTick());
            QCOMPARE(paints, level == 10 ? 1 : 2);
            QCOMPARE(grayFrame[7], level);
        }
        log->frames.push_back(Bytes(24, 50));
        QVERIFY(QTest::qWaitFor([this] { return log->frames.empty(); }, 2000));  // on the timer
        QCOMPARE(grayFrame[0], 50);
        click(stopCaptureId);
        click(stopCaptureId);
        QCOMPARE(calls().mid(3), QStringList({"stop", "disconnect"}));
        log->frames.push_back(Bytes(24, 70));
        QTest::qWait(100);
        QCOMPARE(log->frames.size(), std::size_t{1});
        click(startCaptureId);  // a new window, whose frames arrive
        QVERIFY(QTest::qWaitFor([this] { return log->frames.empty(); }, 2000));
        QCOMPARE(grayFrame[0], 70);
    }
};

class MenuAndSoak : public DialogTest {
    Q_OBJECT

  private slots:
    void init() { open(); }
    void cleanup() { close(); }

    void menuClosesAndOpensTheAboutBox() {
        const QList<QAction*> items = dialog->systemMenu().actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->text(), QString::fromUtf8("닫기(&C)"));
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2]->text(), QString::fromUtf8("Veltro 정보(&A)..."));
        QString opened;
        QTimer::singleShot(0, [&opened] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                opened = menu->actions().last()->text();
                menu->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, {400, 300},
                                dialog->mapToGlobal(QPoint(400, 300)));
        QApplication::sendEvent(dialog.get(), &event);
        QCOMPARE(opened, items[2]->text());
        QTimer::singleShot(0, [&opened] {
            QWidget* modal = QApplication::activeModalWidget();
            opened = modal != nullptr ? QString::fromLatin1(modal->metaObject()->className())
                                      : QString();
            if (modal != nullptr) {
                QTest::keyClick(modal, Qt::Key_Escape);
            }
        });
        items[2]->trigger();
        QCOMPARE(opened, QStringLiteral("AboutDlg"));
        QVERIFY(dialog->isVisible());
        items[0]->trigger();
        QVERIFY(!dialog->isVisible());
    }

    // Some hundred frames of changing sizes with the commands in between, then Start and
    // Stop on the real virtual camera: the sanitizers watch memory, the test the buffers.
    void shortSoak() {
        QTemporaryDir folder;
        const QString picture = folder.filePath(QStringLiteral("p.bmp"));
        QVERIFY(writeBmp(picture, Bytes(30 * 20 * 3, 60), 30, 20, 24));
        const QList<VideoFormat> formats = {{64, 48, 16}, {30, 20, 24}, {62, 40, 24}};
        std::shared_ptr<FakeDriverLog> log;
        for (int i = 0; i < 300; ++i) {
            const VideoFormat f = formats[(i / 50) % 3];
            if (i % 50 == 0) {
                log = useFakeDriver(1, f);
                click(startCaptureId);
            }
            log->frames.push_back(
                Bytes(std::size_t(f.width * f.height * f.bitCount / 8) - (i % 7 == 0),
                      static_cast<unsigned char>(i)));
            dialog->captureWindow->previewTick();
            switch (i % 25) {
                case 3:
                    dialog->inputPointList->addItems(exampleInput),
                        dialog->outputPointList->addItems(exampleOutput);
                    break;
                case 5:
                    click(calibrationId);
                    break;
                case 11:
                    fileCommand(loadBmpId, picture);
                    break;
                case 13:
                    fileCommand(saveBmpId, folder.filePath(QStringLiteral("s.bmp")));
                    break;
                case 17:
                    click(clearInputId), click(clearOutputId);
                    break;
                case 19:
                    QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, QPoint(i % 243, 9));
                    break;
                case 23:
                    click(stopCaptureId);
                    break;
            }
            for (auto [buffer, bytes, size] : {std::tuple{rgbFrame, rgbFrameBytes, 3u},
                                               {grayFrame, grayFrameBytes, 1u},
                                               {outputFrame, outputFrameBytes, 1u}}) {
                QVERIFY(buffer == nullptr || bytes == framePixels() * size);
            }
        }
        captureDriverFactory = makeVirtualCaptureDriver;
        countFrames();
        for (int cycle = 0; cycle < 3; ++cycle) {
            const int seen = framesSeen;
            click(startCaptureId);
            QVERIFY(QTest::qWaitFor([seen] { return framesSeen > seen + 1; }, 5000));
            click(stopCaptureId);
        }
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    Layout layout;
    Journeys journeys;
    Refusals refusals;
    Painting painting;
    CaptureControl control;
    MenuAndSoak menu;
    for (QObject* test : std::initializer_list<QObject*>{&layout, &journeys, &refusals, &painting,
                                                         &control, &menu}) {
        failed += QTest::qExec(test, argc, argv);
    }
    return failed;
}

#include "dialog_test.moc"
