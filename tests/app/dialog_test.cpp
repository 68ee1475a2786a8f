// The dialog through its real widgets: its own decisions, not the arithmetic beneath them.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <bit>
#include <clocale>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>

#include "app/AboutDlg.h"
#include "app/CaptureView.h"
#include "app/Loupe.h"
#include "app/PictureView.h"
#include "app/Plandis.h"
#include "app/PlandisDlg.h"
#include "app/dialogBuilder.h"
#include "app/resource.h"
#include "app/windowServices.h"
#include "calib/lastPoints.h"
#include "capture/CaptureWindow.h"
#include "cli/batchRectify.h"
#include "image/Image.h"
#include "tests/capture/FakeCaptureDriver.h"
#include "tests/support/bmpFiles.h"
#include "tests/support/frameStateReset.h"
#include "tests/support/lensScene.h"
#include "tests/support/naiveReference.h"
#include "tests/support/renderChart.h"

namespace {

using Bytes = std::vector<unsigned char>;
const QStringList exampleInput = {"30,40", "250,20", "260,230", "20,200"};
const QStringList exampleOutput = {"10,10", "200,15", "190,220", "5,180"};
const QStringList exampleRows = {"1.064644 -0.037490 19.471393", "-0.132800 0.824368 32.741555",
                                 "-0.000323 -0.000534 1.000000"};
const QRgb red = qRgb(255, 0, 0);
const QRgb cyan = qRgb(0, 255, 255);  // the points'

// A frame of this size whose grey frame holds `level` everywhere.
void setGreyFrame(int width, int height, unsigned char level) {
    frameWidth = width, frameHeight = height;
    freeFrameBuffer(grayFrame, grayFrameBytes);
    makeFrameBuffer(grayFrame, grayFrameBytes, framePixels());
    std::memset(grayFrame, level, grayFrameBytes);
}

bool writeBmp(const QString& path, const Bytes& pixels, int width, int bitCount) {
    return Image().writeBmp(QFile::encodeName(path).constData(), pixels.data(), width,
                            static_cast<int>(pixels.size()) * 8 / bitCount / width, bitCount);
}

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PlandisDlg> dialog;
    QStringList messages;
    QStringList filters;  // of the last file dialog, with how it started: "save? name.suffix"
    QString startName;
    std::shared_ptr<FakeDriverLog> log;
    QTemporaryDir folder;

    void open() {
        close();
        messageBoxStandIn = [this](QWidget*, const QString& text) { messages << text; };
        dialog = std::make_unique<PlandisDlg>();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()) && mainDialog == dialog.get());
    }
    void close() {
        dialog.reset();
        messages.clear();
        resetFrameState();
        captureDriverFactory = makeVirtualCaptureDriver;  // never this machine's cameras
        cameraDevices = [] { return std::vector<CameraDevice>{}; };
        captureChoice = {};
    }
    // The Camera menu as it opens ("*" after a checked item, "-" for a separator); then the
    // item `choose` is triggered.
    QStringList cameraMenu(const QString& choose = {}) {
        QMenu* menu = dialog->systemMenu().actions()[2]->menu();
        emit menu->aboutToShow();
        QStringList items;
        QAction* chosen = nullptr;
        for (QAction* a : menu->actions()) {
            items << (a->isSeparator() ? "-" : a->text() + (a->isChecked() ? "*" : ""));
            chosen = a->text() == choose ? a : chosen;
        }
        if (chosen != nullptr)
            chosen->trigger();
        return items;
    }
    void click(int id) { QTest::mouseClick(dialog->dialogItem(id), Qt::LeftButton); }
    // The right-click menu's command or the push button of this text; a file dialog it opens
    // is answered with `path`.
    void act(const QString& command, const QString& path = {}) {
        fileDialogStandIn = [this, path](QFileDialog& d) {
            filters = d.nameFilters();
            startName =
                QString("%1 %2.%3")
                    .arg(d.acceptMode() == QFileDialog::AcceptSave)
                    .arg(d.findChild<QLineEdit*>("fileNameEdit")->text(), d.defaultSuffix());
            return std::optional<QString>(path);
        };
        for (QAction* a : dialog->systemMenu().actions())
            if (a->text() == command)
                a->trigger();
        for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
            if (b->text() == command)
                QTest::mouseClick(b, Qt::LeftButton);
    }
    void addPoints(const QStringList& input, const QStringList& output) {
        dialog->inputPointList->addItems(input);
        dialog->outputPointList->addItems(output);
    }
    static QStringList rows(const QListWidget& list) {
        QStringList texts;
        for (int i = 0; i < list.count(); ++i)
            texts << list.item(i)->text();
        return texts;
    }
    QStringList points() const {
        return rows(*dialog->inputPointList) + rows(*dialog->outputPointList);
    }
    bool boxChecked() const {
        return qobject_cast<QCheckBox*>(dialog->dialogItem(calibrationId))->isChecked();
    }
    static QImage grabbed(QWidget& widget) { return widget.grab().toImage(); }

    // Dialog units to pixels by base units measured here, rounded half away from zero.
    static QRect pixels(const QWidget& widget, QRect u) {
        const QFontMetrics m(widget.font());
        const QString letters =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        const int ux = (m.horizontalAdvance(letters) / 26 + 1) / 2;
        const auto px = [](int v, int unit, int d) { return (2 * v * unit + d) / (2 * d); };
        return {px(u.x(), ux, 4), px(u.y(), m.height(), 8), px(u.width(), ux, 4),
                px(u.height(), m.height(), 8)};
    }
    QString file(const QString& name) const { return folder.filePath(name); }

    // Save rectified picture writes byte for byte what plandis rectify makes of the picture
    // with the calibration file: the one check across the two paths. Without a picture, one of
    // random bytes the frame's size is loaded first.
    void savedAsRectifyMakes(const QString& calibration, QString picture = {}) {
        if (picture.isEmpty()) {
            std::mt19937 random(frameWidth);
            picture = file("noise.bmp");
            QVERIFY(writeBmp(picture, randomBytes(framePixels(), random), frameWidth, 8));
            act("Load BMP", picture);
        }
        act("Save rectified picture…", file("dialog.bmp"));
        BatchJob job{{}, {picture.toStdString()}, file("out").toStdString(), 1};
        QCOMPARE(loadCalibration(calibration.toUtf8().constData(), job.calibration), "");
        std::ostringstream errors;
        QCOMPARE(rectifyFiles(job, errors, nullptr), 0);
        QCOMPARE(readFile(file("out/" + QFileInfo(picture).fileName()).toStdString()),
                 readFile(file("dialog.bmp").toStdString()));
    }

    // What the window shows of both views (its backing store) is what a fresh paint gives.
    bool shownAsPainted() {
        const QImage window = dialog->screen()->grabWindow(dialog->winId()).toImage();
        const auto same = [&](QWidget* view) {
            return window.copy(view->geometry()).convertToFormat(QImage::Format_RGB32) ==
                   grabbed(*view).convertToFormat(QImage::Format_RGB32);
        };
        return same(dialog->inputView) && same(dialog->outputView);
    }

  private slots:
    // Numbers in the lists and files keep their point whatever the user's locale says.
    void initTestCase() {
        qputenv("XDG_STATE_HOME", QFile::encodeName(file("state")));
        QVERIFY2(std::setlocale(LC_ALL, "de_DE.UTF-8"), "no de_DE.UTF-8: run scripts/install-deps");
    }
    void init() { open(); }
    void cleanup() { close(); }

    void everyControlHasItsCaptionAndPlace_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("units");
        const std::tuple<int, const char*, QRect> controls[] = {
            {startCaptureId, "Start Capture", {297, 7, 55, 14}},
            {stopCaptureId, "Stop Capture", {297, 28, 55, 14}},
            {loadBmpId, "Load BMP", {297, 49, 55, 14}},
            {saveBmpId, "Save BMP", {297, 70, 55, 14}},
            {calibrationId, "Calibration", {300, 92, 52, 10}},
            {clearInputId, "Clear Data", {16, 190, 43, 14}},
            {clearOutputId, "Clear Data", {116, 190, 43, 14}},
            {inputViewId, "", {7, 7, 139, 160}},
            {outputViewId, "", {151, 7, 139, 160}},
            {inputPointListId, "", {63, 171, 43, 33}},
            {outputPointListId, "", {163, 171, 43, 33}},
            {homographyListId, "", {256, 171, 96, 33}},
            {noControlId, "Input Image", {7, 171, 43, 8}},
            {noControlId, "Output Image", {114, 170, 43, 8}},
            {noControlId, "Homography", {211, 171, 43, 8}},
            {noControlId,
             "1. Press Start Capture      2. Get 4 points in Input and Output Image    3. Check "
             "Calibration button.",
             {7, 209, 345, 8}},
            {okButtonId, "확인", {178, 7, 50, 14}},  // the About box
            {noControlId, "Veltro 버전 1.0", {40, 10, 119, 8}},
        };
        for (const auto& [id, text, units] : controls)
            QTest::addRow("%d %s", id, text) << id << QString::fromUtf8(text) << units;
    }
    void everyControlHasItsCaptionAndPlace() {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(QRect, units);
        AboutDlg about;
        QWidget* control = dialog->dialogItem(id);
        for (QWidget* c : dialog->findChildren<QWidget*>() + about.findChildren<QWidget*>()) {
            const bool same = controlId(*c) == id && c->property("text").toString() == text;
            control = !text.isEmpty() && same ? c : control;
        }
        QCOMPARE(control->property("text").toString(), text);
        QCOMPARE(control->geometry(), pixels(*control->window(), units));
        if (qobject_cast<QLabel*>(control) != nullptr) {  // else cut at the label's edge
            QVERIFY(control->fontMetrics().horizontalAdvance(text) <= control->width());
        }
    }

    void dialogsHaveTheirSizeCaptionTabOrderAndIcon() {
        QCOMPARE(dialog->size(), pixels(*dialog, {0, 0, 359, 224}).size());
        QCOMPARE(dialog->font().pixelSize(), 12);  // 9 points at 96 dpi
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Tessaro  2016.5.17"));
        QList<int> order;
        for (QWidget* c = dialog->dialogItem(startCaptureId); order.size() < 10;
             c = c->nextInFocusChain()) {
            if (c->focusPolicy() != Qt::NoFocus && controlId(*c) > 0)
                order << controlId(*c);
        }
        QCOMPARE(order, QList<int>({1000, 1004, 1005, 1006, 1003, 1007, 1008, 1009, 1010, 1011}));
        AboutDlg about;
        QCOMPARE(about.windowTitle(), QString::fromUtf8("Veltro 정보"));
        QCOMPARE(about.size(), pixels(about, {0, 0, 235, 55}).size());
        QCOMPARE(dialog->windowIcon().pixmap(16, 16).toImage(),
                 loadIcon(mainIcon).pixmap(16, 16).toImage());
        QCOMPARE(minimizedIconOrigin(20, 61, 32, 32), QPoint(-5, 15));
    }

    // A picture loaded, calibrated, the calibration copied, saved and loaded again, the
    // rectified picture saved; a bad file and another frame size refused, changing nothing.
    void pictureLoadedCalibratedKeptSaved() {
        Bytes grey(280 * 240);
        for (std::size_t i = 0; i < grey.size(); ++i)
            grey[i] = i % 280 < 120 ? 40 : 200;
        QVERIFY(writeBmp(file("grey.bmp"), grey, 280, 8));
        act("Load BMP", file("grey.bmp"));
        QCOMPARE(startName, "0 test.bmp");
        QCOMPARE(filters, QStringList({"Image (*.BMP) (*.BMP *.bmp *.GIF *.gif *.JPG *.jpg)",
                                       "Pictures (*.bmp *.png *.jpg *.jpeg *.gif) (*.bmp *.BMP "
                                       "*.png *.PNG *.jpg *.JPG *.jpeg *.JPEG *.gif *.GIF)",
                                       "All Files(*.*) (*)"}));
        const QImage shown = grabbed(*dialog->inputView);
        QCOMPARE(shown.pixel(20, 140), qRgb(40, 40, 40));
        QCOMPARE(shown.pixel(220, 140), qRgb(200, 200, 200));
        QTest::mouseClick(dialog->inputView, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(dialog->inputPointList->count(), 0);  // only the left button picks
        act("Copy homography");
        QCOMPARE(messages.last(), "There is no homography yet: turn Calibration on.");

        // Each Clear Data empties its own list; then the worked example.
        addPoints(exampleInput, exampleOutput);
        click(clearInputId);
        QCOMPARE(points(), exampleOutput);
        click(clearOutputId);
        QCOMPARE(points(), QStringList());
        addPoints(exampleInput, exampleOutput);
        click(calibrationId);
        act("Save calibration…", file("cal.json"));
        savedAsRectifyMakes(file("cal.json"), file("grey.bmp"));

        // Copied as three lines of three tab-separated numbers, each giving back H's very bits.
        act("Copy homography");
        const QStringList lines = QGuiApplication::clipboard()->text().split('\n');
        QCOMPARE(lines.size(), 4);  // the last line ended too
        for (int i = 0; i < 9; ++i) {
            const QStringList numbers = lines[i / 3].split('\t');
            QCOMPARE(numbers.size(), 3);
            QCOMPARE(std::bit_cast<quint64>(numbers[i % 3].toDouble()),
                     std::bit_cast<quint64>(homographyTable[i / 3][i % 3]));
        }
        click(clearInputId), click(clearOutputId), click(calibrationId);
        act("Load calibration…", file("cal.json"));
        QCOMPARE(points(), exampleInput + exampleOutput);
        QCOMPARE(rows(*dialog->homographyList), exampleRows);
        QVERIFY(boxChecked());

        savedAsRectifyMakes(file("cal.json"));            // loaded while calibrating
        act("Save rectified picture…", file("out.png"));  // read as PNG only: written as PNG
        QCOMPARE(QImage(file("out.png"), "png").convertToFormat(QImage::Format_Grayscale8),
                 QImage(outputFrame, 280, 240, 280, QImage::Format_Grayscale8));
        click(calibrationId);  // off: the warp stops, the rows stay
        QCOMPARE(calibrationOn, 0);
        QCOMPARE(rows(*dialog->homographyList), exampleRows);

        startName.clear();
        act("Save BMP", file("saved.bmp"));  // the grey frame, as it was loaded
        QCOMPARE(startName, "1 test.bmp");
        QCOMPARE(readFile(file("saved.bmp").toStdString()),
                 readFile(file("noise.bmp").toStdString()));

        // A colour picture of the same size replaces the grey frame on screen.
        QVERIFY(writeBmp(file("colour.bmp"), Bytes(grey.size() * 3, 90), 280, 24));
        act("Load BMP", file("colour.bmp"));
        QCOMPARE(grabbed(*dialog->inputView).pixel(20, 140), qRgb(90, 90, 90));

        std::ofstream(file("bad.json").toStdString()) << "{\"version\": 1";
        act("Load calibration…", file("bad.json"));
        setGreyFrame(280, 24, 0);  // one side differing is enough
        act("Load calibration…", file("cal.json"));
        QCOMPARE(messages.size(), 6);  // three of them Load BMP's
        QVERIFY(messages[4].startsWith("The calibration cannot be loaded: it is not valid JSON") &&
                messages[4].endsWith("."));
        QCOMPARE(messages[5],
                 "The calibration is for a 280 x 240 frame, but the current frame is 280 x 24.");
        QCOMPARE(rows(*dialog->inputPointList), exampleInput);
        messageBoxStandIn = nullptr;  // the real box: its text shown as given, never as markup
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            messages << (box->textFormat() == Qt::PlainText ? box->text() : "markup");
            box->close();
        });
        act("Load calibration…", file("cal.json"));
        QCOMPARE(messages[6], messages[5]);
    }

    void liveCaptureCalibratedStoppedStartedAgain() {
        click(startCaptureId);
        QSignalSpy frames(dialog->findChild<CaptureView*>(), &CaptureView::frameArrived);
        QVERIFY(QTest::qWaitFor([&] { return frames.count() > 2; }, 10000));
        QCOMPARE(QList<int>({frameWidth, frameHeight, frameBitCount}), QList<int>({640, 480, 16}));
        QVERIFY(grabbed(*dialog->findChild<CaptureView*>()).pixel(40, 30) != qRgb(0, 0, 0));
        for (const QPoint at :
             {QPoint(40, 40), QPoint(200, 40), QPoint(200, 240), QPoint(40, 240)}) {
            QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, at);  // picked while live
            QTest::mouseClick(dialog->outputView, Qt::LeftButton, {}, at);
        }
        const QImage before = grabbed(*dialog->outputView);
        click(calibrationId);
        QCOMPARE(calibrationOn, 1);
        for (int round = 0; round < 3; ++round) {  // a short soak of the real camera
            const qsizetype seen = frames.count();
            QVERIFY(QTest::qWaitFor([&] { return frames.count() > seen + 2; }, 5000));
            QVERIFY(grabbed(*dialog->outputView) != before);  // the warped frames
            QVERIFY(shownAsPainted());                        // each frame repaints the views
            click(stopCaptureId);  // stopping is the fake driver's tests'
            click(startCaptureId);
        }
        click(stopCaptureId);
        QCOMPARE(messages, QStringList());
    }

    void eachRefusalSaysWhyAndChangesNothing_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QStringList>("output");
        QTest::addColumn<int>("cause");  // of a camera that would not open
        QTest::addColumn<QString>("message");
        const char* count = "입력 영상과 출력 영상에 점을 4개씩 찍어야 합니다.";
        const char* degenerate = "두 점이 겹치거나 세 점이 한 직선 위에 있어 보정할 수 없습니다.";
        const QString camera = "카메라를 열 수 없습니다: /dev/video7\n";
        const QStringList square = {"0,0", "100,0", "100,100", "0,100"};
        using C = CaptureFailure::Cause;
        const auto row = [](const char* name, const char* command, QStringList in, QStringList out,
                            QString message, C cause = {}) {
            QTest::newRow(name) << QString::fromUtf8(command) << in << out << int(cause) << message;
        };
        row("no points", "Calibration", {}, {}, count);
        row("three input points", "Calibration", square.mid(0, 3), square, count);
        row("four and five points", "Calibration", square, square + QStringList{"1,1"},
            "입력 영상과 출력 영상의 점 개수가 같아야 합니다. (입력 4개, 출력 5개)");
        row("equal points", "Calibration", {"0,0", "100,0", "0,0", "0,100"}, square, degenerate);
        row("three on a line", "Calibration", square, {"30,30", "0,50", "10,10", "20,20"},
            degenerate);
        row("beyond the estimation", "Calibration",
            {"30,40", "0,2", "260,0", "214748333,-48364743"}, {"10,100", "2,0", "250,0", "25,180"},
            "이 점들로는 호모그래피를 계산할 수 없습니다.");
        row("unreadable file", "Load BMP", square, {}, "파일을 읽을 수 없습니다.");
        row("unwritable place", "Save BMP", square, {}, "파일을 저장할 수 없습니다.");
        row("no frame size to save", "Save BMP", {}, {}, "Can not create image!");
        row("measuring uncalibrated", "Measure distance", square, {},
            "Measuring needs a calibration: turn Calibration on.");
        const QStringList inFrame = {"1,1", "6,1", "6,2", "2,3"};  // of 8 x 4
        const QString outside =
            "The calibration cannot be saved: a point lies outside the "
            "frame, or no frame size is known yet.";
        for (const char* beyond : {"8,0", "7,4", "-1,0", "0,-1"})
            row(beyond, "Save calibration…", inFrame.mid(0, 3) << beyond, inFrame, outside);
        row("an output point beyond", "Save calibration…", inFrame, {"1,1", "6,1", "6,2", "2,4"},
            outside);
        row("too few points to save", "Save calibration…", {}, {}, count);
        row("an unwritable calibration", "Save calibration…", inFrame, inFrame,
            "파일을 저장할 수 없습니다.");
        row("no rectified picture", "Save rectified picture…", square, {},
            "There is no rectified picture yet: turn Calibration on.");
        row("camera not permitted", "Start Capture", {}, {},
            camera + "권한이 없습니다. video 그룹에 가입한 뒤 다시 로그인하십시오.",
            C::permissionDenied);
        row("camera busy", "Start Capture", {}, {},
            camera + "다른 프로그램이 사용 중입니다. 그 프로그램을 닫으십시오.", C::busy);
        row("no such camera", "Start Capture", {}, {},
            camera + "장치가 없습니다.\n연결된 카메라: Cam A (/dev/video0)", C::noDevice);
        row("no camera at all", "Start Capture", {}, {}, {}, C::other);
        const QString corners =
            "The inner corners are given as cols x rows, each from 2 to 100, not \"%1\".";
        row("a chart 1 corner across", "Find chart…", {}, {}, corners.arg("1 x 100"));
        row("a chart 101 corners down", "Find chart…", {}, {}, corners.arg("2 x 101"));
    }
    void eachRefusalSaysWhyAndChangesNothing() {
        QFETCH(QString, command);
        QFETCH(QStringList, input);
        QFETCH(QStringList, output);
        QFETCH(int, cause);
        QFETCH(QString, message);
        const bool noFrame = QTest::currentDataTag() == QByteArray("no frame size to save");
        setGreyFrame(noFrame ? 0 : 8, 4, 77);
        if (command.startsWith("Save rectified"))  // left from a former calibration
            makeFrameBuffer(outputFrame, outputFrameBytes, framePixels());
        using C = CaptureFailure::Cause;
        const auto why = static_cast<C>(cause);
        cameraDevices = [] { return std::vector<CameraDevice>{{"Cam A", "/dev/video0", {}}}; };
        log = useFakeDriver(0, {}, {why, why == C::other ? "" : "/dev/video7", "No such file."});
        addPoints(input, output);
        dialog->homographyList->addItems(exampleRows);
        // A folder is no picture; nothing can be saved under a folder that is not there.
        textInputStandIn = [message](auto&, auto&) { return message.section('"', 1, 1); };
        act(command, command == "Load BMP" ? folder.path() : file("no/x.bmp"));
        QCOMPARE(messages, message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(log->calls.find("connect 0;connect") == std::string::npos);  // said why: no retry
        QCOMPARE(points(), input + output);
        QCOMPARE(rows(*dialog->homographyList), exampleRows);
        QCOMPARE(calibrationOn, 0);
        QVERIFY(!boxChecked());
        QCOMPARE(frameWidth, noFrame ? 0 : 8);
        QCOMPARE(grayFrameBytes, std::size_t(noFrame ? 0 : 32));
        QVERIFY(noFrame || grayFrame[31] == 77);
    }

    // Red segments join entries 0-1 and 2-3 only, where view · pixel / frame puts them.
    void markersJoinPairsOfEntriesInRed() {
        setGreyFrame(320, 240, 0);
        dialog->outputPointList->addItems({"40,40", "280,40", "280,200", "40,200", "160,120"});
        const QSize v = dialog->outputView->size();
        const auto view = [v](int x, int y) {
            return QPoint(v.width() * x / 320, v.height() * y / 240);
        };
        QVERIFY(grabbed(*dialog->outputView).pixel(view(160, 40)) != red);  // calibration off
        calibrationOn = 1;
        const QImage shown = grabbed(*dialog->outputView);
        QList<bool> painted;
        const QPoint up(0, 1);  // 2 pixels wide: the row above the point and its own
        for (const QPoint p : {view(40, 40), view(160, 40), view(160, 40) - up, view(280, 40),
                               view(160, 200), view(160, 40) + up, view(160, 40) - 2 * up,
                               view(280, 120), view(160, 120), view(100, 160)}) {
            painted << (shown.pixel(p) == red);
        }
        QCOMPARE(painted, QList<bool>({1, 1, 1, 1, 1, 0, 0, 0, 0, 0}));
        QVERIFY(grabbed(*dialog->inputView).pixel(view(160, 40)) != red);  // its own list
        const QRect label(view(40, 40) + QPoint(5, -16), QSize(14, 12));   // above its right arm
        QImage one = shown.copy(label);  // the first point numbered 1
        one.fill(one.pixel(0, 0));
        QPainter number(&one);
        number.setFont(dialog->font());
        number.setPen(QColor(cyan));
        number.drawText(0, 12, "1");
        QCOMPARE(shown.copy(label), one);
    }

    // Input: the grey frame, else the colour one, never one of another size. Output: its own.
    void eachViewShowsItsBuffer() {
        setGreyFrame(4, 2, 0);
        makeFrameBuffer(rgbFrame, rgbFrameBytes, 24);
        std::memset(rgbFrame, 150, 24);
        rgbFrame[15] = 20;  // the blue of pixel (1, 1)
        makeFrameBuffer(outputFrame, outputFrameBytes, 8);
        std::memset(outputFrame, 99, 8);
        QCOMPARE(grabbed(*dialog->inputView).pixel(121, 140), qRgb(0, 0, 0));
        QCOMPARE(grabbed(*dialog->outputView).pixel(121, 140), qRgb(99, 99, 99));
        grayFrameBytes = 7;
        QCOMPARE(grabbed(*dialog->inputView).pixel(121, 140), qRgb(150, 150, 20));
        QVERIFY(dialog->inputView->loupe().framePixel({1, 1}) == qRgb(150, 150, 20));
    }

    // Listed anew at each opening: devices, the virtual camera, the chosen device's modes.
    // Start Capture opens the choice; a running capture changes over at once.
    void cameraMenuChoosesWhatStartCaptureOpens() {
        std::vector<CameraDevice> devices = {
            {"Cam A", "/dev/video0", {{1920, 1080, 30}, {640, 480, 30}}},
            {"Cam B", "/dev/video2", {{1280, 720, 60}}}};
        cameraDevices = [&devices] { return devices; };
        QStringList opened;
        log = std::make_shared<FakeDriverLog>(FakeDriverLog{1, {4, 2, 24}, {}, 0, {}, {}});
        captureDriverFactory = [&opened, this] {
            opened << QString::fromStdString(captureChoice.source) +
                          (dialog->captureWindow ? " while the old window holds it" : "");
            return std::make_unique<FakeCaptureDriver>(log);
        };
        QCOMPARE(cameraMenu("Cam B (/dev/video2)"),
                 QStringList({"Cam A (/dev/video0)*", "Cam B (/dev/video2)", "Virtual camera", "-",
                              "1920 × 1080, 30 fps", "640 × 480, 30 fps*"}));
        QCOMPARE(cameraMenu("1280 × 720, 60 fps"),
                 QStringList({"Cam A (/dev/video0)", "Cam B (/dev/video2)*", "Virtual camera", "-",
                              "1280 × 720, 60 fps"}));
        QVERIFY(captureChoice.mode == (CaptureMode{1280, 720, 60}));
        click(startCaptureId);
        devices.erase(devices.begin());  // A unplugged, C plugged in
        devices.push_back({"Cam C", "/dev/video4", {}});
        QCOMPARE(cameraMenu("Virtual camera"),
                 QStringList({"Cam B (/dev/video2)*", "Cam C (/dev/video4)", "Virtual camera", "-",
                              "1280 × 720, 60 fps*"}));
        QCOMPARE(opened, QStringList({"/dev/video2", "virtual"}));
        QVERIFY(log->calls.ends_with("start;stop;disconnect;connect 0;period 33333;start;"));
        const std::string named = "rtspsrc location=rtsp://cam/live?w=1280&h=720 ! decodebin";
        const QString shown = "rtspsrc location=rts…0&&h=720 ! decodebin";
        captureChoice.source = named;  // as --source names it, with --size
        captureChoice.sizeGiven = true;
        const QStringList listed = {"Cam B (/dev/video2)", "Cam C (/dev/video4)", "Virtual camera"};
        QCOMPARE(cameraMenu("Cam C (/dev/video4)"), listed + QStringList{shown + "*"});
        QCOMPARE(cameraMenu(shown), QStringList({listed[0], listed[1] + "*", listed[2], shown}));
        QCOMPARE(captureChoice.source, named);
        QVERIFY(captureChoice.sizeGiven);  // a calibration loaded now keeps the size named
        QCOMPARE(dialog->systemMenu().actions()[2]->menu()->actions().last()->toolTip(),
                 QString::fromStdString(named));
    }

    // Said once, by source and cause; the device is let go and Start Capture tries again.
    void aFailingSourceIsReportedOnceAndStartTriesAgain() {
        using C = CaptureFailure::Cause;
        for (const auto& [cause, reason] : std::vector<std::pair<C, QString>>{
                 {C::unreachable, "연결할 수 없습니다. 주소와 네트워크를 확인하십시오."},
                 {C::ended, "영상이 끝났습니다."},
                 {C::unplugged, "카메라가 분리되었습니다."},
                 {C::noSignal, "5초 동안 신호가 없습니다."},
                 {C::other, "Data stream error."}}) {
            messages.clear();
            log = useFakeDriver(1, {4, 2, 24}, {cause, "rtsp://cam/1", "Data stream error."});
            click(startCaptureId);
            log->frames.emplace_back(24, 9);
            QTRY_VERIFY(!messages.isEmpty());  // the frame, then the failure
            QTest::qWait(120);                 // ticks of a stopped capture say nothing more
            QCOMPARE(messages, QStringList{"캡처가 멈췄습니다: rtsp://cam/1\n" + reason +
                                           "\nStart Capture를 누르면 다시 시도합니다."});
            QCOMPARE(grayFrame[0], 9);
            click(startCaptureId);
            QCOMPARE(
                QString::fromStdString(log->calls),
                QString("connect 0;period 33333;start;stop;disconnect;").repeated(2).chopped(16));
        }
    }

    void startTriesOneHundredConnectsThenSetsUp_data() {
        QTest::addColumn<int>("opensOn");
        QTest::addColumn<int>("frameSize");  // the picture shown before
        QTest::addColumn<QString>("expected");
        const QString tries = QStringLiteral("connect 0;").repeated(100);
        QTest::newRow("never") << 0 << 64 << tries + "period 33333;";
        QTest::newRow("at once") << 1 << 32 << "connect 0;period 33333;start;";
        QTest::newRow("on the last attempt") << 100 << 64 << tries + "period 33333;start;";
    }
    void startTriesOneHundredConnectsThenSetsUp() {
        QFETCH(int, opensOn);
        QFETCH(int, frameSize);
        QFETCH(QString, expected);
        setGreyFrame(frameSize, 2, 9);
        log = useFakeDriver(opensOn, {64, 2, 16});
        click(startCaptureId);
        QCOMPARE(QString::fromStdString(log->calls), expected);
        QCOMPARE(frameBitCount, opensOn > 0 ? 16 : 8);
        QCOMPARE(grayFrame != nullptr, frameSize == 64);  // a picture of another size is dropped
        QCOMPARE(dialog->findChild<CaptureView*>()->geometry(), QRect(530, 180, 80, 60));
        QCOMPARE(dialog->captureWindow->previewRate(), 15);
        QVERIFY(dialog->captureWindow->scaling());
    }

    // Each frame goes through the pipeline and repaints the views before the next.
    void framesFlowBetweenStartAndStop() {
        log = useFakeDriver(1, {4, 2, 24});
        click(stopCaptureId);  // before any Start: nothing to stop
        click(startCaptureId);
        QTest::qWait(50);  // the repaints Start Capture asked for are done
        int paints = 0;
        const auto paint = dialog->inputView->paintContent;
        dialog->inputView->paintContent = [&](QPainter& p) { ++paints, paint(p); };
        for (const int level : {10, 200}) {
            log->frames.emplace_back(24, static_cast<unsigned char>(level));
            QTRY_VERIFY(log->frames.empty());  // taken by the preview timer
            QCOMPARE(paints, level == 10 ? 1 : 2);
            QCOMPARE(grayFrame[7], level);
        }
        click(stopCaptureId);
        click(stopCaptureId);
        QCOMPARE(QString::fromStdString(log->calls),
                 "connect 0;period 33333;start;stop;disconnect;");
        log->frames.emplace_back(24, 70);
        QTest::qWait(100);
        QCOMPARE(log->frames.size(), std::size_t{1});
    }

    void menuClosesAndOpensTheAboutBox() {
        QStringList seen;  // the open menu's items, then the modal window's class
        QTimer::singleShot(0, [&seen] {
            for (QAction* item : QApplication::activePopupWidget()->actions())
                seen << (item->isSeparator() ? QStringLiteral("-") : item->text());
            QApplication::activePopupWidget()->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, {9, 9},
                                dialog->mapToGlobal(QPoint(9, 9)));
        QApplication::sendEvent(dialog.get(), &event);
        QTimer::singleShot(0, [&seen] {  // Enter presses OK
            auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QTest::keyClick(about, Qt::Key_Return);
            seen << about->metaObject()->className() + QString::number(about->result());
            about->close();
        });
        dialog->systemMenu().actions().last()->trigger();
        QTimer::singleShot(0, [&seen] {  // F1, the help key, opens it too
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->close())
                seen << modal->metaObject()->className();
        });
        QTest::keyClick(dialog.get(), Qt::Key_F1);
        // clang-format off
        QCOMPARE(seen, QStringList({"닫기(&C)", "-", "Camera", "-", "Save calibration…",
            "Load calibration…", "Copy homography", "Save rectified picture…", "-",
            "Snap clicks to corners", "Find chart…", "-", "Correct lens distortion",
            "Add straight line", "Clear straight lines", "-", "Plane coordinates…",
            "Measure distance", "Measure angle", "Measure area", "Measurements…", "-",
            "Restore last points", "-", "Veltro 정보(&A)...", "AboutDlg1", "AboutDlg"}));
        // clang-format on
        QVERIFY(dialog->isVisible());                             // F1 closes nothing
        QTest::keyClick(dialog->inputPointList, Qt::Key_Return);  // no push button takes it
        QVERIFY(!dialog->isVisible());  // the menu's close: closingKeepsThePointsForRestore
    }

    // With no camera running nothing repaints for a frame: after each change, what the
    // window shows (its backing store) must become what a fresh paint gives. Load BMP stops
    // the camera; Start Capture brings it back in its own format.
    void withoutFramesEachChangeRepaintsTheViews() {
        click(startCaptureId);
        QVERIFY(writeBmp(file("p.bmp"), Bytes(320 * 240, 30), 320, 8));
        const std::function<void()> changes[] = {
            [&] { act("Load BMP", file("p.bmp")); },
            [&] {
                addPoints(exampleInput, exampleOutput);
                click(calibrationId);
            },
            [&] { QTest::mouseMove(dialog->outputView, QPoint(60, 60)); },  // the pointer's place
            [&] { click(clearInputId); },
            [&] { QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, QPoint(10, 10)); },
            [&] { QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, QPoint(100, 200)); },
            [&] { click(clearOutputId); },
            [&] { click(calibrationId); }};
        for (const auto& change : changes) {
            change();
            QTRY_VERIFY_WITH_TIMEOUT(shownAsPainted(), 2000);
        }
        QVERIFY(!dialog->captureWindow->previewing() && !dialog->captureWindow->connected());
        click(startCaptureId);
        QVERIFY(dialog->captureWindow->previewing());
        QCOMPARE(QSize(frameWidth, frameHeight), QSize(640, 480));
        click(stopCaptureId);
    }

    // Frames of changing sizes, some short, commands in between: the sanitizers watch memory,
    // the test the buffer sizes. (The live journey cycles the real virtual camera.)
    void shortSoak() {
        QVERIFY(writeBmp(file("p.bmp"), Bytes(30 * 20 * 3, 60), 30, 24));
        const VideoFormat formats[] = {{64, 48, 16}, {30, 20, 24}, {62, 40, 24}};
        const std::function<void()> commands[] = {
            [&] { dialog->inputPointList->addItems(exampleInput + exampleOutput); },
            [&] { click(calibrationId); },
            [&] { act("Load BMP", file("p.bmp")); },
            [&] { act("Save BMP", file("s.bmp")); },
            [&] { click(clearInputId), click(clearOutputId); },
            [&] { click(stopCaptureId); }};
        for (int i = 0; i < 300; ++i) {
            const VideoFormat f = formats[(i / 50) % 3];
            if (i % 50 == 0) {
                log = useFakeDriver(1, f);
                click(startCaptureId);
            }
            log->frames.emplace_back(
                std::size_t(f.width * f.height * f.bitCount / 8 - (i % 7 == 0)),
                static_cast<unsigned char>(i));
            if (dialog->captureWindow->previewTick())
                dialog->OnPaint();  // as the capture view asks after each frame
            if (i % 4 == 0)
                commands[(i / 4) % std::size(commands)]();
            QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, QPoint(i % 243, 9));
            QVERIFY((!rgbFrame || rgbFrameBytes == framePixels() * 3) &&
                    (!grayFrame || grayFrameBytes == framePixels()) &&
                    (!outputFrame || outputFrameBytes == framePixels()));
        }
    }

    // While calibrating, every change of the lists re-estimates H as the checkbox would;
    // lists of different lengths keep H and show their lengths where the fit was. Every row
    // can be read: the fit's whole within the list, a longer row by scrolling sideways.
    void whileCalibratingEachChangeOfTheListsFollows() {
        setGreyFrame(640, 480, 0);
        QListWidget& list = *dialog->homographyList;
        const auto estimated = [&] {  // by the checkbox, off and on
            click(calibrationId), click(calibrationId);
            return rows(list);
        };
        addPoints(exampleInput, exampleOutput);
        click(calibrationId);
        QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, QPoint(200, 250));
        QCOMPARE(rows(list), exampleRows + QStringList{"입력 5, 출력 4"});
        QTest::mouseClick(dialog->outputView, Qt::LeftButton, {}, QPoint(20, 250));  // mis-set
        const QStringList added = rows(list);
        QCOMPARE(added.size(), 5);
        QVERIFY(added[3].contains(QRegularExpression("^RMS \\d+\\.\\d{3} px$")));
        QVERIFY(added[4].contains(QRegularExpression("^max \\d+\\.\\d{3} px \\(pair 3\\)$")));
        QVERIFY(added[4].section(' ', 1, 1).toDouble() > added[3].section(' ', 1, 1).toDouble());
        QCOMPARE(estimated(), added);
        QTest::keyClick(dialog->outputView, Qt::Key_Right);  // moved as a drag moves it
        const QStringList moved = rows(list);
        QVERIFY(moved != added);
        QCOMPARE(estimated(), moved);
        QTest::keyClick(dialog->outputView, Qt::Key_Delete);
        QCOMPARE(rows(list), moved.mid(0, 3) + QStringList{"입력 5, 출력 4"});
        click(clearOutputId), click(clearInputId), click(calibrationId);  // H stays, no lengths
        QCOMPARE(rows(list), moved.mid(0, 3));
        const QFontMetrics metrics(list.font());
        const int margins = 2 * (list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        QTRY_VERIFY(list.horizontalScrollBar()->isVisible());
        for (int i = 0; i < 5; ++i) {  // the fit's rows whole in view, H's rows by scrolling
            const int room =
                list.viewport()->width() + (i < 3 ? list.horizontalScrollBar()->maximum() : 0);
            QVERIFY(metrics.horizontalAdvance(moved[i]) + margins <= room);
        }
    }

    // A calibration belongs to its frame size: the camera is asked for a loaded one's unless
    // --size named one; frames of another size turn Calibration off with one message, the lists
    // kept and no point drawn beyond its view; frames of the first size bring them back.
    void aCalibrationBelongsToItsFrameSize() {
        const auto start = [this](int width, int height) {
            log = useFakeDriver(1, {width, height, 24});
            click(startCaptureId);
            log->frames.emplace_back(std::size_t(width * height * 3), 90);
            QVERIFY(dialog->captureWindow->previewTick());
        };
        const QStringList input = {"640,100", "700,50", "600,400", "100,480"};
        start(800, 600);
        addPoints(input, {"0,0", "799,0", "799,599", "0,599"});
        click(calibrationId);
        fileDialogStandIn = [this](QFileDialog&) { return std::optional(file("c.json")); };
        dialog->OnSaveCalibration();
        open();  // as plandis --calibration c.json, without --size, then with it
        for (const bool given : {false, true}) {
            captureChoice = {"", {640, 480, 0}, given};
            dialog->OnLoadCalibration();
            QCOMPARE(QSize(captureChoice.mode.width, captureChoice.mode.height),
                     given ? QSize(640, 480) : QSize(800, 600));
        }
        start(640, 480);  // a camera without that size
        const QString other =
            "점을 찍은 영상의 크기(800 x 600)와 지금 영상의 크기(640 x 480)가 "
            "달라 보정할 수 없습니다.";
        QCOMPARE(messages, QStringList{other});
        QCOMPARE(calibrationOn, 0);
        QVERIFY(!boxChecked());
        QCOMPARE(rows(*dialog->inputPointList), input);
        const QImage shown = grabbed(*dialog->inputView);  // 640,100 and 100,480 lie just beyond
        for (int i = 1; i <= 6; ++i) {
            QVERIFY(shown.pixel(shown.width() - i, shown.height() * 100 / 480) != cyan);
            QVERIFY(shown.pixel(33 + i, shown.height() - 2) != cyan);
        }
        click(calibrationId);  // refused
        start(800, 600);
        click(calibrationId);
        QCOMPARE(calibrationOn, 1);
        QCOMPARE(messages, QStringList({other, other}));
        QVERIFY(writeBmp(file("p.bmp"), Bytes(64 * 48, 9), 64, 8));
        act("Load BMP", file("p.bmp"));  // a picture of another size likewise
        QCOMPARE(calibrationOn, 0);
        QCOMPARE(messages.size(), 4);
        QVERIFY(messages[2].contains("(64 x 48)"));
        dialog->OnSaveCalibration();  // the points' frame, not the picture's
        QCOMPARE(messages.size(), 4);
        Calibration saved;
        QCOMPARE(loadCalibration(file("c.json").toUtf8().constData(), saved), "");
        QCOMPARE(saved.frameWidth, 800);
    }

    // One journey per frame size: a point landed on a chosen pixel with the loupe's help,
    // nudged, dragged, undone and redone, deleted, H following a drag; Esc then still closes
    // the dialog.
    void pointsPickedWithTheLoupeNudgedDraggedUndone_data() {
        QTest::addColumn<QSize>("frame");
        QTest::newRow("640 x 480") << QSize(640, 480);
        QTest::newRow("3840 x 2160") << QSize(3840, 2160);
    }
    void pointsPickedWithTheLoupeNudgedDraggedUndone() {
        QFETCH(QSize, frame);
        setGreyFrame(frame.width(), frame.height(), 0);
        std::mt19937 random(5);
        std::generate_n(grayFrame, grayFrameBytes, [&] { return uchar(random()); });
        PictureView& view = *dialog->inputView;
        const Loupe& loupe = *view.findChild<Loupe*>();
        const QSize v = view.size();
        const auto text = [](QPoint p) { return QStringLiteral("%1,%2").arg(p.x()).arg(p.y()); };
        // A click records position / view size · frame size, divided first, truncated.
        const auto under = [&](QPoint at) {
            return text({int(double(at.x()) / v.width() * frame.width()),
                         int(double(at.y()) / v.height() * frame.height())});
        };
        const auto onView = [&](QPoint p) {  // where a frame pixel is drawn: product first
            return QPoint(int(double(v.width()) * p.x() / frame.width()),
                          int(double(v.height()) * p.y() / frame.height()));
        };
        const auto key = [&](int k, Qt::KeyboardModifiers m = {}) {
            QTest::keyClick(dialog->focusWidget(), Qt::Key(k), m);
        };
        const auto input = [&] { return rows(*dialog->inputPointList); };

        // Resting: the loupe prints and marks the pixel a click records, beside the pointer,
        // each frame byte around it magnified 8 times or more.
        const QPoint at(v.width() / 3, v.height() / 4);
        QTest::mouseMove(&view, {}), QTest::mouseMove(&view, at);  // in from the centre
        QVERIFY(loupe.isVisible() && loupe.x() > at.x() && loupe.y() > at.y());  // facing it
        QCOMPARE(loupe.text(), under(at));
        const QImage lens = grabbed(const_cast<Loupe&>(loupe));
        QRect mark;
        for (int y = 0; y < lens.height(); ++y)
            for (int x = 0; x < lens.width(); ++x)
                mark |= lens.pixel(x, y) == qRgb(255, 0, 255) ? QRect(x, y, 1, 1) : QRect();
        const QRect cell = mark.adjusted(1, 1, -1, -1);
        QVERIFY(cell.width() >= 8 && cell.width() == cell.height());
        const QPoint shown(loupe.text().split(',')[0].toInt(), loupe.text().split(',')[1].toInt());
        for (int j = -5; j <= 5; ++j)
            for (int i = -5; i <= 5; ++i) {
                const unsigned char b = grayFrame[(shown.y() + j) * frame.width() + shown.x() + i];
                QCOMPARE(lens.pixel(cell.center() + QPoint(i, j) * cell.width()), qRgb(b, b, b));
            }
        QTest::mouseMove(dialog->outputView, at);
        QVERIFY(!loupe.isVisible());                                    // gone with the pointer
        QTest::mouseClick(dialog->outputView, Qt::LeftButton, {}, at);  // the other list's
        QTest::mouseClick(&view, Qt::LeftButton, {}, at);
        QTest::mouseDClick(&view, Qt::LeftButton, {}, at);  // the second press adds nothing
        QTest::mouseRelease(&view, Qt::LeftButton, {}, at);
        QCOMPARE(input(), QStringList{loupe.text()});
        QCOMPARE(grabbed(view).pixel(onView(shown)), cyan);
        QCOMPARE(grabbed(view).pixel(onView(shown) - QPoint(6, 0)), cyan);  // framed

        // Nudged onto the chosen pixel, one frame pixel a key.
        const QPoint chosen = shown + QPoint(2, -1);
        key(Qt::Key_Right), key(Qt::Key_Up), key(Qt::Key_Right);
        QCOMPARE(input(), QStringList{text(chosen)});

        // Dragged from beside its marker: the entry, as the loupe shows during the drag, is
        // what a click there records.
        const QPoint to(v.width() * 3 / 5, 7 * (v.height() / 14));
        QTest::mousePress(&view, Qt::LeftButton, {}, onView(chosen) + QPoint(3, 2));
        QTest::mouseMove(&view, to);
        QCOMPARE(loupe.text(), under(to));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, to);
        QCOMPARE(input(), QStringList{under(to)});

        // Undo steps back one change at a time, redo forward; a new change drops the redo.
        const auto undo = [&] { key(Qt::Key_Z, Qt::ControlModifier); };
        const auto redo = [&] { key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); };
        undo();
        QCOMPARE(input(), QStringList{text(chosen)});
        undo();
        QCOMPARE(input(), QStringList{text(chosen - QPoint(1, 0))});
        redo();
        QCOMPARE(input(), QStringList{text(chosen)});
        key(Qt::Key_Left);
        redo();
        QCOMPARE(input(), QStringList{text(chosen - QPoint(1, 0))});
        key(Qt::Key_Backspace);
        QCOMPARE(points(), QStringList{under(at)});  // the output list's, from the first click
        click(clearOutputId), click(clearOutputId);  // the second changes nothing: no step
        undo();  // Clear Data is a step too, undone from its button
        QCOMPARE(points(), QStringList{under(at)});
        key(Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
    }

    // A press beside a point adds a point unless it moves dragStart pixels, which drags the
    // point instead (the later of two as near); the point added or dragged is the one the keys
    // move, never off the frame, and Delete removes, once; Enter closes nothing.
    void aClickAlwaysAddsAndOnlyAMoveDrags_data() {
        QTest::addColumn<QLine>("pressToRelease");
        QTest::addColumn<QString>("nudged");  // the list after the Right key, then the Left
        QTest::newRow("beside a point") << QLine(12, 11, 12, 11) << "10,10 14,10 2,2 12,11";
        QTest::newRow("a tremble") << QLine(12, 11, 14, 11) << "10,10 14,10 2,2 12,11";
        QTest::newRow("a drag") << QLine(12, 11, 12, 14) << "10,10 12,14 2,2";
        QTest::newRow("past the edge") << QLine(50, 50, 300, 50) << "10,10 14,10 2,2 241,50";
        QTest::newRow("at the other edge") << QLine(0, 50, 0, 50) << "10,10 14,10 2,2 0,50";
    }
    void aClickAlwaysAddsAndOnlyAMoveDrags() {
        QFETCH(QLine, pressToRelease);
        QFETCH(QString, nudged);
        const QPoint press = pressToRelease.p1(), release = pressToRelease.p2();
        PictureView& view = *dialog->inputView;
        setGreyFrame(view.width(), view.height(), 0);  // a frame pixel for each screen pixel
        const QStringList fixed = {"10,10", "14,10", "2,2"};
        dialog->inputPointList->addItems(fixed);
        QTest::mousePress(&view, Qt::LeftButton, {}, press);
        QTest::mouseMove(&view, release);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, release);
        QTest::keyClick(&view, Qt::Key_Right);
        QTest::keyClick(&view, Qt::Key_Left);
        QStringList list = nudged.split(' ');
        QCOMPARE(rows(*dialog->inputPointList), list);
        QTest::keyClick(&view, Qt::Key_Delete);
        QTest::keyClick(&view, Qt::Key_Delete);  // nothing is picked any more
        list.removeIf([&](const QString& p) { return !fixed.contains(p); });
        QCOMPARE(rows(*dialog->inputPointList), list);
        QTest::keyClick(&view, Qt::Key_Return);
        QVERIFY(dialog->isVisible());
    }

    // Shift snaps a click to the corner near it, the remembered toggle every click, S the
    // picked point (undoably), the loupe showing where first; Find chart fills both lists as
    // one step; the decimals survive a saved calibration.
    void aChartSnappedFoundSavedAndLoadedBack() {
        chart::Scene scene;  // 20-pixel squares, corner (0, 0) at (60.3, 50.6)
        scene.planeToFrame = {{{20, 0, 60.3}, {0, 20, 50.6}, {0, 0, 1}}};
        scene.width = 320, scene.height = 240;
        const chart::Frame board = chart::render(scene);
        const auto show = [&board](int height = 240) {  // 200: the board's top, a smaller frame
            setGreyFrame(320, height, 0), std::copy_n(board.grey.begin(), 320 * height, grayFrame);
        };
        const auto near = [&](int row, int k) {  // "x.xx,y.yy" within 0.1 px of corner k
            const QString t = dialog->inputPointList->item(row)->text();
            return t.contains(QRegularExpression("^\\d+\\.\\d\\d,\\d+\\.\\d\\d$")) &&
                   std::hypot(t.section(',', 0, 0).toDouble() - board.corners[k].x,
                              t.section(',', 1).toDouble() - board.corners[k].y) < 0.1;
        };
        const auto hover = [this](QPoint to, Qt::KeyboardModifiers keys,
                                  Qt::MouseButtons held = {}) {  // no stale Shift
            QMouseEvent move(QEvent::MouseMove, to, to, {}, held, keys);
            return QApplication::sendEvent(dialog->inputView, &move),
                   dialog->inputView->findChild<Loupe*>();
        };
        QVERIFY(!hover({5, 5}, {})->isVisible());  // no picture: nothing to magnify
        show();
        const QPoint at(75, 76);  // the pixel (98, 70) in the 243 × 260 view: corner 11 is near
        QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, at);
        const QString clicked = dialog->inputPointList->item(0)->text();
        QTest::keyClick(dialog->inputView, Qt::Key_S);
        QVERIFY(!clicked.contains('.') && near(0, 11));
        QTest::keyClick(dialog->inputView, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(dialog->inputView, Qt::Key_S, Qt::ControlModifier);  // only S alone snaps
        QCOMPARE(rows(*dialog->inputPointList), QStringList{clicked});
        QTest::mouseClick(dialog->inputView, Qt::LeftButton, Qt::ShiftModifier, at);
        QVERIFY(near(1, 11) && dialog->isVisible() && !hover(at, {})->text().contains('.'));
        Loupe& loupe = *hover(at, Qt::ShiftModifier);
        QCOMPARE(loupe.text(), dialog->inputPointList->item(1)->text());
        int cross = 0;  // at 1 + (100.3 - 98 + 5.5) · 8, 1 + (70.6 - 70 + 5.5) · 8 in the lens
        for (int i = 0; i < 9; ++i)
            cross += grabbed(loupe).pixel(QPoint(62 + i % 3, 49 + i / 3)) == Loupe::snapColour;
        QVERIFY(cross >= 3);
        act("Snap clicks to corners");
        open(), show();  // remembered
        QVERIFY(hover({5, 5}, {})->text().endsWith(" (no corner)"));
        QCOMPARE(grabbed(*hover({242, 259}, {})).pixel(61, 37), qRgb(32, 32, 64));  // (320, 238)
        QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, {5, 5});
        QTest::keyClick(dialog->inputView, Qt::Key_S);
        QCOMPARE(messages, QStringList{"There is no chessboard corner near point 1."});
        QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, at);
        QTest::mouseClick(dialog->outputView, Qt::LeftButton, Qt::ShiftModifier, at);  // input only
        QVERIFY(near(1, 11));
        QTest::mousePress(dialog->inputView, Qt::LeftButton, {}, at);  // dragged: never snapped
        QCOMPARE(hover(at + QPoint(15, 0), {}, Qt::LeftButton)->text(), "118,70");
        QTest::mouseRelease(dialog->inputView, Qt::LeftButton, {}, at);
        act("Snap clicks to corners");  // off again for the other tests
        show(200);                      // the points' frame becomes the chart's
        textInputStandIn = [](const QString&, const QString& initial) { return initial; };
        act("Find chart…");
        QTRY_COMPARE(dialog->outputPointList->count(), 54);
        for (int k = 0; k < 54; ++k)  // margin 20; step min(279 / 8, 159 / 5) = 31, centred
            QVERIFY(near(k, k) &&
                    dialog->outputPointList->item(k)->text() ==
                        QString("%1,%2").arg(35 + 31 * (k % 9)).arg(22 + 31 * (k / 9)));
        QStringList filled;  // corner 13 of the 9 × 6 found: 4 squares across, 1 down
        QTimer::singleShot(0, [&filled] {
            auto* d = QApplication::activeModalWidget();
            d->findChild<QLineEdit*>("square")->setText("10");
            for (auto* b : d->findChildren<QAbstractButton*>())
                if (b->text() == "Fill from chart")
                    b->click();
            auto* table = d->findChild<QTableWidget*>();
            filled = {table->item(13, 1)->text(), table->item(13, 2)->text()};
            d->findChild<QLineEdit*>("unit")->clear();  // no plane before or after: rows kept
            qobject_cast<QDialog*>(d)->accept();
        });
        act("Plane coordinates…");
        QCOMPARE(filled, QStringList({"40", "10"}));
        const QStringList found = points();
        act("Save calibration…", file("chart.json"));
        QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier);  // one step
        QCOMPARE(rows(*dialog->outputPointList), QStringList{"98,70"});
        open(), show(200);
        act("Load calibration…", file("chart.json"));
        QCOMPARE(points(), found);
        QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier);  // one step too
        QCOMPARE(points(), QStringList());
        show();
        act("Find chart…");
        setGreyFrame(320, 200, 128);  // before the search ends: its corners are not taken
        QTRY_VERIFY(!messages.isEmpty());
        textInputStandIn = [](const QString&, const QString&) { return QString("2 x 100"); };
        act("Find chart…");
        QTRY_COMPARE(messages.size(), 2);
        textInputStandIn = [this](auto&, auto& s) { return messages << s, std::nullopt; };
        act("Find chart…");  // the size last taken offered again
        QCOMPARE(messages, QStringList({"The chart was found, but the frame size changed "
                                        "meanwhile: search again.",
                                        "chart not found", "2 x 100"}));
    }

    // The lens from 80 pairs, then from 4 pairs and a straight line clicked in the input view
    // (key L, Esc ends it without closing), saved and loaded back with the toggle on.
    void lensCorrectedFromPairsAndALine() {
        lens::Truth truth;
        truth.a1 = -0.0263;  // a corner moves by 21 px
        const lens::Pairs scene = lens::render(truth, 10, 8, 0, 0.05, 1);
        for (std::size_t i = 0; i < scene.input.size(); ++i)
            addPoints({QString::asprintf("%.2f,%.2f", scene.input[i].x, scene.input[i].y)},
                      {QString::asprintf("%.2f,%.2f", scene.output[i].x, scene.output[i].y)});
        setGreyFrame(1280, 720, 90);
        click(calibrationId);
        const auto rmsRow = [this] { return dialog->homographyList->item(3)->text(); };
        QVERIFY(rmsRow().startsWith("RMS 1."));
        QCOMPARE(dialog->homographyList->count(), 5);
        QVERIFY(lensTable.empty());
        act("Correct lens distortion");
        QVERIFY(rmsRow().startsWith("RMS 0.0"));
        QVERIFY(!lensTable.empty());
        QCOMPARE(dialog->homographyList->count(), 6);  // no lines: no lines' row
        QVERIFY(dialog->homographyList->item(5)->text().contains(
            QRegularExpression("^k -0\\.02\\d, corner shift 2\\d\\.\\d px$")));
        QTest::keyClick(dialog.get(), Qt::Key_D);  // output pixels (210, 110) and (1053, 609)
        for (QPoint at : {QPoint(40, 40), QPoint(200, 220)})
            QTest::mouseClick(dialog->outputView, Qt::LeftButton, {}, at);
        act("Measurements…");
        act("Copy");  // px without a plane, through the lens and back, to full precision
        const QStringList cells = QGuiApplication::clipboard()->text().split('\n')[1].split('\t');
        QCOMPARE(cells[3], "px");
        QVERIFY(std::fabs(cells[1].toDouble() - std::hypot(843, 499)) < 1e-6);
        QVERIFY(cells[2].toDouble() > 0.01 && cells[2].toDouble() < 0.3);  // noise, no lens left
        act("Correct lens distortion");
        QCOMPARE(dialog->homographyList->count(), 5);

        open();
        addPoints(exampleInput, exampleOutput);
        setGreyFrame(320, 240, 90);
        act("Correct lens distortion");
        click(calibrationId);
        QCOMPARE(rows(*dialog->homographyList).mid(3),
                 QStringList{"lens: 8 pairs or a straight line of 3 points needed"});
        QTest::keyClick(dialog.get(), Qt::Key_L);
        QVERIFY(dialog->inputView->testAttribute(Qt::WA_SetCursor));
        for (int x : {40, 120, 200})  // an edge bent by a pixel or so in the frame
            QTest::mouseClick(dialog->inputView, Qt::LeftButton, {},
                              QPoint(x, x == 120 ? 134 : 130));
        QTest::keyClick(dialog->inputView, Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->inputPointList->count(), 4);
        QVERIFY(!dialog->inputView->testAttribute(Qt::WA_SetCursor));
        QVERIFY(dialog->homographyList->item(3)->text().startsWith("k "));
        QVERIFY(dialog->homographyList->item(4)->text().contains(
            QRegularExpression("^lines RMS \\d\\.\\d{3} px$")));
        const QImage drawn = grabbed(*dialog->inputView);
        int cyan = 0;
        for (int i = 0; i < drawn.width() * drawn.height(); ++i)
            cyan += drawn.pixel(i % drawn.width(), i / drawn.width()) == qRgb(0, 200, 255);
        QVERIFY(cyan > 100);
        QTest::keyClick(dialog->inputView, Qt::Key_L, Qt::ControlModifier);  // no line
        QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, QPoint(60, 90));
        QCOMPARE(dialog->inputPointList->count(), 5);  // the line is done
        QTest::keyClick(dialog->inputView, Qt::Key_Delete);
        const QStringList shown = rows(*dialog->homographyList);
        act("Save calibration…", file("lens.json"));
        open();
        setGreyFrame(320, 240, 90);
        act("Load calibration…", file("lens.json"));
        QCOMPARE(rows(*dialog->homographyList), shown);  // the line's lens: the line came back
        savedAsRectifyMakes(file("lens.json"));          // warped through H, then the loaded lens
        act("Clear straight lines");
        QCOMPARE(rows(*dialog->homographyList).last(),
                 "lens: 8 pairs or a straight line of 3 points needed");
        act("Correct lens distortion");  // off again for the other tests
    }

    // A plane typed in millimetres lays the output frame out; a hostile scale is refused, the
    // plane kept; a distance, an angle and an area measured are drawn, listed, copied and
    // cleared; the plane is saved and loaded back.
    void planeInMillimetresMeasuredSavedLoaded() {
        QStringList opened;  // what the dialog opens with: the plane taken last
        const auto typePlane = [this, &opened](const QString& scale) {
            QTimer::singleShot(0, [scale, &opened] {
                auto* d = QApplication::activeModalWidget();
                const QStringList xy = {"0", "0", "600", "0", "600", "400", "0", "400"};
                auto* table = d->findChild<QTableWidget*>();
                auto* rectangle = d->findChild<QLineEdit*>("rectangle");
                opened = {table->item(2, 1)->text() + ',' + table->item(2, 2)->text(),
                          d->findChild<QComboBox*>()->currentText(), rectangle->text()};
                rectangle->setText("-20.1234567,-20,640,440");  // kept, though points are shown
                for (int i = 0; i < 8; ++i)
                    table->item(i / 2, 1 + i % 2)->setText(xy[i]);
                d->findChild<QLineEdit*>("scale")->setText(scale);
                d->findChild<QLineEdit*>("margin")->setText("20");
                d->findChild<QComboBox*>()->setCurrentText("points");
                QTimer::singleShot(0, [] {  // a refusal's message box comes and goes
                    if (auto* again = QApplication::activeModalWidget())
                        again->close();
                });
                qobject_cast<QDialog*>(d)->accept();
            });
            act("Plane coordinates…");
            QCoreApplication::processEvents();  // no close left over for the next dialog
        };
        addPoints(exampleInput, {});
        setGreyFrame(320, 240, 90);
        typePlane("2");
        click(calibrationId);
        QCOMPARE(QSize(outputWidth, outputHeight), QSize(321, 221));  // 640 / 2 + 1, 440 / 2 + 1
        QCOMPARE(rows(*dialog->outputPointList),
                 QStringList({"10.00,10.00", "310.00,10.00", "310.00,210.00", "10.00,210.00"}));
        act("Correct lens distortion");  // the plane's fit takes the lens too
        QCOMPARE(rows(*dialog->homographyList).last(),
                 "lens: 8 pairs or a straight line of 3 points needed");
        act("Correct lens distortion");
        typePlane("1e-9");  // refused: the plane measured on stays the one taken before
        typePlane("x");
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages[0].contains(
            QRegularExpression("^The plane cannot be shown: .*too large.*\\.$")));
        QCOMPARE(messages[1], "The scale, the margin and the rectangle must be numbers.");
        QCOMPARE(opened, QStringList({"600,400", "points", "-20.1234567,-20,640,440"}));
        act("Measurements…");  // open while measuring: each row comes as it is measured
        QTest::keyClick(dialog.get(), Qt::Key_R);  // a tool changed drops its clicks
        QTest::mouseClick(dialog->outputView, Qt::LeftButton, {}, QPoint(234, 140));
        QTest::keyClick(dialog.get(), Qt::Key_D);
        // Output pixels 10 and 310 of 321 in the 243-wide view; Enter ends only an area.
        QTest::mouseClick(dialog->outputView, Qt::LeftButton, {}, QPoint(8, 12));
        QTest::keyClick(dialog->outputView, Qt::Key_Return);
        QTest::mouseClick(dialog->outputView, Qt::LeftButton, {}, QPoint(234, 12));
        // The angle's corner at output (310, 10); the area closed by Enter.
        for (const Qt::Key measure : {Qt::Key_A, Qt::Key_R}) {
            QTest::keyClick(dialog->outputView, measure);
            for (QPoint at : {QPoint(8, 12), QPoint(234, 12), QPoint(234, 140)})
                QTest::mouseClick(dialog->outputView, Qt::LeftButton, {}, at);
        }
        QTest::keyClick(dialog->outputView, Qt::Key_Return);
        QTest::keyClick(dialog->outputView, Qt::Key_Escape);
        QVERIFY(dialog->isVisible() && !dialog->outputView->testAttribute(Qt::WA_SetCursor));
        const QImage drawn = grabbed(*dialog->outputView);
        int yellow = 0;  // the angle's and the area's right side, the area's closing side
        for (int x = 0; x < drawn.width(); ++x)
            yellow += drawn.pixel(x, 80) == qRgb(255, 220, 0);
        QVERIFY(yellow >= 2);
        act("Copy");
        QStringList copied = QGuiApplication::clipboard()->text().split('\n');
        QCOMPARE(copied.size(), 5);  // a header, three measurements, the last newline
        QCOMPARE(copied[0], "measure\tvalue\tplusMinus\tunit");
        // Each row: what was measured, its value within a tolerance, its unit.
        const std::tuple<QString, double, double, QString> expected[] = {
            {"distance", 600, 4, "mm"}, {"angle", 90, 1, "°"}, {"area", 65400, 1000, "mm²"}};
        QStringList cells[3];
        for (int i = 0; i < 3; ++i) {
            const auto& [what, value, within, unit] = expected[i];
            cells[i] = copied[i + 1].split('\t');
            QCOMPARE(cells[i][0], what);
            QVERIFY(std::fabs(cells[i][1].toDouble() - value) < within);  // area 600 · 218 / 2
            QCOMPARE(cells[i][3], unit);
        }
        QVERIFY(cells[0][2].toDouble() > 0);
        act("Export CSV…", file("m.csv"));
        QFile csv(file("m.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(csv.readAll()), copied.join('\n').replace('\t', ','));
        auto* table = dialog->findChild<QTableWidget*>();  // to three decimals, then cleared
        QCOMPARE(table->item(0, 2)->text(), QString::number(cells[0][2].toDouble(), 'f', 3));
        act("Clear");
        QCOMPARE(table->rowCount(), 0);
        const QStringList shown = points() + rows(*dialog->homographyList);
        act("Save calibration…", file("plane.json"));
        open();
        setGreyFrame(320, 240, 90);
        act("Load calibration…", file("plane.json"));
        QCOMPARE(points() + rows(*dialog->homographyList), shown);
        savedAsRectifyMakes(file("plane.json"));
        QTimer::singleShot(0, [] {  // no unit: pixels again, without the plane's output rows
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            d->findChild<QLineEdit*>("unit")->clear();
            d->accept();
        });
        act("Plane coordinates…");
        QVERIFY(dialog->outputPointList->count() == 0 && outputWidth == 0);
    }

    // Closing with points keeps them in the state folder ($XDG_STATE_HOME, else
    // ~/.local/state); Restore brings them back as one step, or says why not.
    void closingKeepsThePointsForRestore() {
        const QString kept = file("state/plandis/lastPoints.json");
        QFile::remove(kept);
        act("Restore last points");
        QCOMPARE(messages, QStringList{"No points have been kept yet: they are kept when the "
                                       "dialog closes with points in a list."});
        addPoints({"1,2", "5,6"}, {"3,4"});
        setGreyFrame(64, 48, 0);
        captureChoice.source = "virtual";
        QTest::keyClick(dialog.get(), Qt::Key_Enter);  // the keypad's
        QFile keptFile(kept);                          // with the source they were picked on
        QVERIFY(keptFile.open(QIODevice::ReadOnly) &&
                keptFile.readAll().contains("\"source\": \"virtual\""));
        open();
        QCOMPARE(dialog->inputPointList->count(), 0);  // the program starts empty
        act("Restore last points");                    // no frame known: taken as they are
        QCOMPARE(points(), QStringList({"1,2", "5,6", "3,4"}));
        setGreyFrame(64, 24, 0);  // one side differing is enough
        click(calibrationId);     // refused: the points keep their 64 x 48 frame
        QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(points(), QStringList());
        act("Restore last points");
        std::ofstream(kept.toStdString()) << "{\"version\": 1, \"inputPoints\": [7]}";
        setGreyFrame(64, 48, 0);
        act("Restore last points");
        QCOMPARE(dialog->inputPointList->count(), 0);
        QCOMPARE(messages.size(), 3);
        QVERIFY(messages[0].contains("(64 x 48)"));
        QCOMPARE(messages[1],
                 "The last points are for a 64 x 48 frame, but the current frame "
                 "is 64 x 24.");
        QVERIFY(messages[2].startsWith("The last points cannot be restored: " + kept));
        std::ofstream(kept.toStdString()) << "{\"version\": 2}";
        act("Restore last points");
        QCOMPARE(messages.last(), "The last points cannot be restored: " + kept +
                                      " has a format version other than 1.");
        const QByteArray home = qgetenv("HOME");
        qunsetenv("XDG_STATE_HOME"), qputenv("HOME", QFile::encodeName(file("home")));
        dialog->inputPointList->addItem("1,1");
        dialog->systemMenu().actions().first()->trigger();
        qputenv("XDG_STATE_HOME", "state");  // not absolute: the home folder's as well
        QCOMPARE(QString::fromStdString(lastPointsPath()),
                 file("home/.local/state/plandis/lastPoints.json"));
        qputenv("HOME", "");
        QVERIFY(lastPointsPath().empty());
        qputenv("HOME", home), initTestCase();
        QVERIFY(QFile::exists(file("home/.local/state/plandis/lastPoints.json")));
    }
};

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
