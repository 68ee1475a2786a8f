// Takes a screenshot of the real dialog for the documentation: a picture loaded through
// Load BMP, four points clicked in each view, Calibration checked, one frame through the
// pipeline so that the output view shows the rectified plane, then the window grabbed from
// the screen. Run on an X server (scripts/screenshot uses Xvfb):
//   plandis_screenshot out.png
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "app/windowServices.h"
#include "calib/homography.h"
#include "capture/framePipeline.h"
#include "image/Image.h"

namespace {

constexpr int width = 320;
constexpr int height = 240;

// A checkerboard lying on a plane that the camera sees at an angle: its corners in the
// picture, and where they belong in the rectified view.
const std::array<Point, 4> boardInPicture = {{{78, 46}, {262, 64}, {300, 214}, {24, 190}}};
const std::array<Point, 4> boardRectified = {{{40, 30}, {280, 30}, {280, 210}, {40, 210}}};

// The picture: board squares of 30 × 30 rectified pixels on a shaded background.
std::vector<unsigned char> boardPicture() {
    // Maps a picture pixel to its place on the rectified board.
    const linal::Matrix H = ComputeHomography(normalEquations(boardInPicture, boardRectified));
    std::vector<unsigned char> gray(width * height);
    for (int v = 0; v < height; ++v) {
        for (int u = 0; u < width; ++u) {
            const double w = H(3, 1) * u + H(3, 2) * v + H(3, 3);
            const double x = (H(1, 1) * u + H(1, 2) * v + H(1, 3)) / w;
            const double y = (H(2, 1) * u + H(2, 2) * v + H(2, 3)) / w;
            unsigned char level = static_cast<unsigned char>(60 + v / 6);
            if (x >= 40 && x < 280 && y >= 30 && y < 210) {
                const int square =
                    static_cast<int>((x - 40) / 30) + static_cast<int>((y - 30) / 30);
                level = square % 2 == 0 ? 235 : 25;
            }
            gray[static_cast<std::size_t>(v * width + u)] = level;
        }
    }
    return gray;
}

// Clicks the view where its pixel shows frame pixel p.
void clickFramePixel(PictureView& view, Point p) {
    const int cx = static_cast<int>(std::ceil(static_cast<double>(p.x) * view.width() / width));
    const int cy = static_cast<int>(std::ceil(static_cast<double>(p.y) * view.height() / height));
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(cx, cy));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication toolkit(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: plandis_screenshot out.png\n");
        return 2;
    }
    QTemporaryDir folder;
    const QString picture = folder.filePath(QStringLiteral("board.bmp"));
    Image board;
    const std::vector<unsigned char> gray = boardPicture();
    if (!board.writeBmp(QFile::encodeName(picture).constData(), gray.data(), width, height, 8)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(picture));
        return 1;
    }

    PlandisDlg dialog;
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        return 1;
    }
    fileDialogStandIn = [&picture](QFileDialog&) { return std::optional<QString>(picture); };
    messageBoxStandIn = [](QWidget*, const QString&) {};
    QTest::mouseClick(qobject_cast<QPushButton*>(dialog.dialogItem(1006)), Qt::LeftButton);

    for (std::size_t i = 0; i < 4; ++i) {
        clickFramePixel(*dialog.inputView, boardInPicture[i]);
        clickFramePixel(*dialog.outputView, boardRectified[i]);
    }
    QTest::mouseClick(qobject_cast<QCheckBox*>(dialog.dialogItem(1010)), Qt::LeftButton);

    // One frame of the same picture through the pipeline, as a camera would deliver it.
    std::vector<unsigned char> bgr;
    for (const unsigned char level : gray) {
        bgr.insert(bgr.end(), 3, level);
    }
    frameBitCount = 24;
    VideoHeader header{bgr.data(), static_cast<std::uint32_t>(bgr.size())};
    frameCallback(nullptr, &header);

    QTest::qWait(300);
    QPixmap shot = dialog.screen()->grabWindow(dialog.winId());
    if (shot.isNull()) {
        shot = dialog.grab();
    }
    if (!shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
