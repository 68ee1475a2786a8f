// The documentation's screenshots (scripts/screenshot, on Xvfb): the test chart, still or
// filmed live by the virtual camera, its card corners clicked, calibrated and rectified; or,
// with --picking, the still chart's corners clicked and numbered, the loupe over one; or, with
// --chart, a rendered chessboard found by Find chart and rectified; or, with --lens, that
// board seen through a barrel lens, rectified by H alone (before.png) and with the lens.
//   plandis_screenshot [--live | --picking | --chart] out.png
//   plandis_screenshot --lens before.png after.png
// With --measure, that board's corners typed as millimetres (25 mm squares), shown at
// 0.5 mm a pixel, a distance and an angle measured on it.
//   plandis_screenshot --measure out.png
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/resource.h"
#include "app/windowServices.h"
#include "calib/lensDistortion.h"
#include "calib/pointPicking.h"
#include "capture/CaptureDriver.h"
#include "capture/TestChart.h"
#include "capture/framePipeline.h"
#include "frame/frameState.h"
#include "tests/support/renderChart.h"

int main(int argc, char** argv) {
    QApplication toolkit(argc, argv);
    const bool live = argc == 3 && std::strcmp(argv[1], "--live") == 0;
    const bool picking = argc == 3 && std::strcmp(argv[1], "--picking") == 0;
    const bool lensShot = argc == 4 && std::strcmp(argv[1], "--lens") == 0;
    const bool measure = argc == 3 && std::strcmp(argv[1], "--measure") == 0;
    const bool chart = lensShot || measure || (argc == 3 && std::strcmp(argv[1], "--chart") == 0);
    PlandisDlg dialog;
    dialog.show();
    const auto click = [&dialog](int id) {
        QTest::mouseClick(dialog.dialogItem(id), Qt::LeftButton);
    };
    std::vector<unsigned char> still(chartFrameWidth * chartFrameHeight * 2);
    const auto showStill = [&still] {
        frameWidth = chartFrameWidth, frameHeight = chartFrameHeight, frameBitCount = 16;
        VideoHeader header{still.data(), static_cast<std::uint32_t>(still.size())};
        frameCallback(nullptr, &header);
    };
    captureDriverFactory = makeVirtualCaptureDriver;  // whatever cameras this machine has
    drawChartFrame(0.0, still.data(), chartFrameWidth, chartFrameHeight);
    if (!chart)
        live ? click(startCaptureId) : showStill();
    if (!chart && !QTest::qWaitFor([] { return grayFrame != nullptr; }, 10000)) {
        return 1;
    }
    if (chart) {  // a printed 9 × 6 board seen at 35°, found, calibrated and rectified
        chart::Scene scene;
        scene.width = 640, scene.height = 480;
        scene.planeToFrame = lensShot ? chart::tiltedView(640, 480, 30, 700, 10.5, {4, 2.5}, 4)
                                      : chart::tiltedView(640, 480, 35, 700, 13, {4, 2.5}, 8);
        const chart::Frame board = chart::render(scene);
        freeFrameBuffer(grayFrame, grayFrameBytes);
        frameWidth = 640, frameHeight = 480, frameBitCount = 8;
        makeFrameBuffer(grayFrame, grayFrameBytes, framePixels());
        std::copy(board.grey.begin(), board.grey.end(), grayFrame);
        LensDistortion barrel = centredLens(640, 480);
        barrel.k1 = lensShot ? -0.12 : 0.0;  // each delivered pixel samples its ideal point
        for (int i = 0; lensShot && i < 640 * 480; ++i) {
            const Point u = undistort(barrel, {double(i % 640), double(i / 640)});
            const int x = int(std::floor(u.x)), y = int(std::floor(u.y));
            const double fx = u.x - x, fy = u.y - y;
            const auto at = [&](int cx, int cy) {
                return board.grey[std::clamp(cy, 0, 479) * 640 + std::clamp(cx, 0, 639)];
            };
            grayFrame[i] = static_cast<unsigned char>(
                (1 - fx) * (1 - fy) * at(x, y) + fx * (1 - fy) * at(x + 1, y) +
                fx * fy * at(x + 1, y + 1) + (1 - fx) * fy * at(x, y + 1) + 0.5);
        }
        messageBoxStandIn = [](QWidget*, const QString& text) { qWarning("%s", qPrintable(text)); };
        textInputStandIn = [](const QString&, const QString&) { return QString("9 x 6"); };
        for (QAction* item : dialog.systemMenu().actions())
            if (item->text() == QStringLiteral("Find chart…"))
                item->trigger();
        if (!QTest::qWaitFor([&dialog] { return dialog.inputPointList->count() == 54; }, 10000))
            return 1;
        click(calibrationId);
        QTest::qWait(500);
        const auto command = [&dialog](const char* text) {
            for (QAction* item : dialog.systemMenu().actions())
                if (item->text() == QString::fromUtf8(text))
                    item->trigger();
        };
        if (measure) {  // the corners in millimetres, then two measurements clicked
            QTimer::singleShot(0, [] {
                QWidget* plane = QApplication::activeModalWidget();
                plane->findChild<QLineEdit*>("scale")->setText("0.5");
                plane->findChild<QLineEdit*>("margin")->setText("20");
                plane->findChild<QLineEdit*>("square")->setText("25");
                for (QPushButton* b : plane->findChildren<QPushButton*>())
                    if (b->text() == "Fill from chart")
                        b->click();
                qobject_cast<QDialog*>(plane)->accept();
            });
            command("Plane coordinates…");
            const auto at = [&dialog](double xMm, double yMm) {  // 20 mm margin, 0.5 mm a pixel
                const Point p = framePixelToView(
                    {(xMm + 20) / 0.5, (yMm + 20) / 0.5}, dialog.outputView->width(),
                    dialog.outputView->height(), outputWidth, outputHeight);
                return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
            };
            QTest::keyClick(&dialog, Qt::Key_D);
            QTest::mouseClick(dialog.outputView, Qt::LeftButton, {}, at(0, 0));
            QTest::mouseClick(dialog.outputView, Qt::LeftButton, {}, at(200, 125));
            QTest::keyClick(&dialog, Qt::Key_A);
            for (auto [x, y] : {std::pair{0.0, 125.0}, {200.0, 125.0}, {200.0, 0.0}})
                QTest::mouseClick(dialog.outputView, Qt::LeftButton, {}, at(x, y));
            QTest::keyClick(dialog.outputView, Qt::Key_Escape);
            QTest::mouseMove(dialog.outputView, at(100, 50));
            QTest::qWait(500);
        }
        if (lensShot) {
            if (!dialog.screen()->grabWindow(dialog.winId()).save(argv[2]))
                return 1;
            command("Correct lens distortion");
            QTest::qWait(500);
        }
        return dialog.screen()->grabWindow(dialog.winId()).save(argv[argc - 1]) ? 0 : 1;
    }
    // The card is 9 × 7 units; rectified, a unit is 50 frame pixels.
    const std::array<ChartPoint, 4> rectified = {{{96, 64}, {546, 64}, {546, 414}, {96, 414}}};
    const std::array<ChartPoint, 4> corners = chartCornersAtRest();
    for (std::size_t i = 0; i < 4; ++i) {
        for (auto [view, p] :
             {std::pair{dialog.inputView, corners[i]}, {dialog.outputView, rectified[i]}}) {
            QTest::mouseClick(view, Qt::LeftButton, {},
                              QPoint(int(std::ceil(p.x * view->width() / frameWidth)),
                                     int(std::ceil(p.y * view->height() / frameHeight))));
        }
    }
    if (picking) {  // the pointer beside the second corner, a pixel short of it
        const QPoint second(
            int(std::ceil(corners[1].x * dialog.inputView->width() / frameWidth)),
            int(std::ceil(corners[1].y * dialog.inputView->height() / frameHeight)));
        QTest::mouseMove(dialog.inputView, second + QPoint(-1, 1));
    } else {
        click(calibrationId);
        live ? void() : showStill();  // rectified
    }
    QTest::qWait(500);
    QPixmap shot = dialog.screen()->grabWindow(dialog.winId());
    if (shot.isNull()) {
        shot = dialog.grab();
    }
    click(stopCaptureId);
    return shot.save(QString::fromLocal8Bit(argv[argc - 1])) ? 0 : 1;
}
