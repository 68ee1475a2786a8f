// Painting: the frame pictures stretched over the two views and, while calibration is on,
// red segments between the clicked points.
#include <QListWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include "app/PictureView.h"
#include "app/Plandis.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "app/windowServices.h"
#include "calib/pointPicking.h"

namespace {

// A buffer is drawn only when it holds the bytes the current frame size implies.
bool fits(const unsigned char* buffer, std::size_t bytes, std::size_t bytesPerPixel) {
    return buffer != nullptr && bytes != 0 && bytes == framePixels() * bytesPerPixel;
}

}  // namespace

QPoint minimizedIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight) {
    return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

void PlandisDlg::OnPaint() {
    // repaint(), not update(): the views are drawn before this returns, once per frame.
    inputView->repaint();
    outputView->repaint();
}

void PlandisDlg::refreshViews() {
    inputView->update();
    outputView->update();
}

void PlandisDlg::paintEvent(QPaintEvent* event) {
    if (!isMinimized()) {
        QDialog::paintEvent(event);
        return;
    }
    // Only where the platform paints minimized windows itself.
    QPainter painter(this);
    const QPoint at = minimizedIconOrigin(width(), height(), 32, 32);
    icon.paint(&painter, at.x(), at.y(), 32, 32);
}

// The grey frame, or the colour frame while no grey one exists.
void PlandisDlg::paintInputView(QPainter& painter) {
    const QRect client = inputView->rect();
    if (fits(grayFrame, grayFrameBytes, 1)) {
        inputImage.setData(grayFrame, frameWidth, frameHeight, 8);
        inputImage.draw(painter, 0, 0, client.width(), client.height());
    } else if (fits(rgbFrame, rgbFrameBytes, 3)) {
        inputImage.setData(rgbFrame, frameWidth, frameHeight, 24);
        inputImage.draw(painter, 0, 0, client.width(), client.height());
    }
    if (calibrationOn != 0) {
        drawMarkers(painter, *inputView, *inputPointList);
    }
}

void PlandisDlg::paintOutputView(QPainter& painter) {
    const QRect client = outputView->rect();
    if (fits(outputFrame, outputFrameBytes, 1)) {
        outputImage.setData(outputFrame, frameWidth, frameHeight, 8);
        outputImage.draw(painter, 0, 0, client.width(), client.height());
    }
    if (calibrationOn != 0) {
        drawMarkers(painter, *outputView, *outputPointList);
    }
}

// A red segment, 2 pixels wide, from entry 0 to entry 1, from entry 2 to entry 3, and so on
// for every pair of entries; a last unpaired entry draws nothing.
void PlandisDlg::drawMarkers(QPainter& painter, const PictureView& view, const QListWidget& list) {
    if (frameWidth <= 0 || frameHeight <= 0) {
        return;  // no picture to place the points on
    }
    painter.setPen(QPen(QColor(255, 0, 0), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPoint current;
    for (int i = 0; i < listCount(list); ++i) {
        Point entry{0, 0};
        parsePoint(listText(list, i), entry);
        const Point at =
            framePixelToView(entry, view.width(), view.height(), frameWidth, frameHeight);
        if (i % 2 == 1) {
            painter.drawLine(current, QPoint(at.x, at.y));
        }
        current = QPoint(at.x, at.y);
    }
}
