// Takes the screenshot of live capture for the documentation: the real dialog filming the
// virtual camera, the chart's four corners clicked in the input view and a rectangle of
// the chart's proportions in the output view, Calibration checked, and the rectified chart
// grabbed from the screen. Run on an X server (scripts/screenshot uses Xvfb):
//   plandis_live_screenshot out.png
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <array>
#include <cmath>
#include <cstdio>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/resource.h"
#include "app/sharedState.h"
#include "capture/CaptureDriver.h"
#include "capture/TestChart.h"

namespace {

// The card is 9 × 7 units; rectified, a unit is 50 frame pixels.
const std::array<ChartPoint, 4> cardRectified = {{{96, 64}, {546, 64}, {546, 414}, {96, 414}}};

// Clicks the view where it shows frame pixel p.
void clickFramePixel(PictureView& view, ChartPoint p) {
    const int cx = static_cast<int>(std::ceil(p.x * view.width() / frameWidth));
    const int cy = static_cast<int>(std::ceil(p.y * view.height() / frameHeight));
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(cx, cy));
}

void click(PlandisDlg& dialog, int id) {
    QTest::mouseClick(dialog.dialogItem(id), Qt::LeftButton);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication toolkit(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: plandis_live_screenshot out.png\n");
        return 2;
    }
    // The chart, whatever cameras this machine has.
    captureDriverFactory = makeVirtualCaptureDriver;

    PlandisDlg dialog;
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        return 1;
    }
    click(dialog, startCaptureId);
    if (!QTest::qWaitFor([] { return grayFrame != nullptr; }, 10000)) {
        std::fprintf(stderr, "no frame from the virtual camera\n");
        return 1;
    }
    const std::array<ChartPoint, 4> corners = chartCornersAtRest();
    for (std::size_t i = 0; i < 4; ++i) {
        clickFramePixel(*dialog.inputView, corners[i]);
        clickFramePixel(*dialog.outputView, cardRectified[i]);
    }
    click(dialog, calibrationId);
    QTest::qWait(500);

    QPixmap shot = dialog.screen()->grabWindow(dialog.winId());
    if (shot.isNull()) {
        shot = dialog.grab();
    }
    click(dialog, stopCaptureId);
    if (!shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
