// Takes the documentation's screenshots of the real dialog on an X server (scripts/screenshot
// uses Xvfb): the virtual camera's chart, its card corners clicked in the input view and a
// rectangle of the card's proportions in the output view, Calibration checked, rectified.
//   plandis_screenshot out.png          the chart as a picture loaded with Load BMP
//   plandis_screenshot --live out.png   the chart filmed live by the virtual camera
#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/resource.h"
#include "app/sharedState.h"
#include "app/windowServices.h"
#include "capture/CaptureDriver.h"
#include "capture/TestChart.h"
#include "capture/framePipeline.h"
#include "image/Image.h"

int main(int argc, char** argv) {
    QApplication toolkit(argc, argv);
    const bool live = argc == 3 && std::strcmp(argv[1], "--live") == 0;
    if (argc != (live ? 3 : 2)) {
        std::fprintf(stderr, "usage: plandis_screenshot [--live] out.png\n");
        return 2;
    }
    PlandisDlg dialog;
    dialog.show();
    const auto click = [&dialog](int id) {
        QTest::mouseClick(dialog.dialogItem(id), Qt::LeftButton);
    };
    QTemporaryDir folder;
    const QString picture = folder.filePath(QStringLiteral("chart.bmp"));
    std::vector<unsigned char> grey(chartFrameWidth * chartFrameHeight);
    if (live) {
        captureDriverFactory = makeVirtualCaptureDriver;  // whatever cameras this machine has
        click(startCaptureId);
    } else {
        std::vector<unsigned char> yuy2(grey.size() * 2);
        drawChartFrame(0.0, yuy2.data(), chartFrameWidth, chartFrameHeight);
        for (std::size_t i = 0; i < grey.size(); ++i) {
            grey[i] = yuy2[2 * i];
        }
        Image().writeBmp(QFile::encodeName(picture).constData(), grey.data(), chartFrameWidth,
                         chartFrameHeight, 8);
        fileDialogStandIn = [&picture](QFileDialog&) { return std::optional<QString>(picture); };
        messageBoxStandIn = [](QWidget*, const QString&) {};
        click(loadBmpId);
    }
    if (!QTest::qWaitForWindowExposed(&dialog) ||
        !QTest::qWaitFor([] { return grayFrame != nullptr; }, 10000)) {
        std::fprintf(stderr, "no picture to show\n");
        return 1;
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
    click(calibrationId);
    if (!live) {  // one frame of the picture through the pipeline, as a camera delivers it
        std::vector<unsigned char> bgr;
        for (const unsigned char level : grey) {
            bgr.insert(bgr.end(), 3, level);
        }
        frameBitCount = 24;
        VideoHeader header{bgr.data(), static_cast<std::uint32_t>(bgr.size())};
        frameCallback(nullptr, &header);
    }
    QTest::qWait(500);
    QPixmap shot = dialog.screen()->grabWindow(dialog.winId());
    if (shot.isNull()) {
        shot = dialog.grab();
    }
    click(stopCaptureId);
    if (!shot.save(QString::fromLocal8Bit(argv[argc - 1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[argc - 1]);
        return 1;
    }
    return 0;
}
