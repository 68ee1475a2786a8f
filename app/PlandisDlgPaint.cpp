// Painting: the frame pictures stretched over the two views, the clicked points numbered
// and, while calibration is on, red segments between them.
#include <QListWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <optional>

#include "app/Loupe.h"
#include "app/PictureView.h"
#include "app/Plandis.h"
#include "app/PlandisDlg.h"
#include "app/windowServices.h"
#include "calib/pointPicking.h"
#include "frame/frameState.h"

namespace {

// The numbered points' colour: apart from the calibration's red, seen on grey and colour.
const QColor pointColour(0, 255, 255);

// Pixel p of a buffer of a frame `width` wide that holds its frame (grey, or
// blue-green-red), as the view shows it.
std::optional<QRgb> shownPixel(const unsigned char* buffer, bool holds, QSize frame,
                               std::size_t bytesPerPixel, Point p) {
    if (!holds || p.x < 0 || p.y < 0 || p.x >= frame.width() || p.y >= frame.height()) {
        return std::nullopt;
    }
    const unsigned char* at =  // p is a whole pixel
        buffer + (static_cast<std::size_t>(p.y) * static_cast<std::size_t>(frame.width()) +
                  static_cast<std::size_t>(p.x)) *
                     bytesPerPixel;
    return bytesPerPixel == 1 ? qRgb(at[0], at[0], at[0]) : qRgb(at[2], at[1], at[0]);
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
    if (const unsigned char* grey = currentGrey()) {
        inputImage.draw(painter, grey, frameWidth, frameHeight, 8, 0, 0, client.width(),
                        client.height());
    } else if (holdsFrame(rgbFrame, rgbFrameBytes, 3)) {
        inputImage.draw(painter, rgbFrame, frameWidth, frameHeight, 24, 0, 0, client.width(),
                        client.height());
    }
    drawPointNumbers(painter, *inputView, *inputPointList);
    if (calibrationOn != 0) {
        drawMarkers(painter, *inputView, *inputPointList);
    }
    drawStraightLines(painter);
}

// Each loupe reads the buffer its view shows, when it paints.
void PlandisDlg::connectLoupes() {
    inputView->loupe().framePixel = [](Point p) {
        const QSize frame(frameWidth, frameHeight);
        const std::optional<QRgb> grey =
            shownPixel(grayFrame, holdsFrame(grayFrame, grayFrameBytes, 1), frame, 1, p);
        return grey ? grey
                    : shownPixel(rgbFrame, holdsFrame(rgbFrame, rgbFrameBytes, 3), frame, 3, p);
    };
    outputView->loupe().framePixel = [](Point p) {
        return shownPixel(outputFrame, holdsOutputFrame(),
                          QSize(outputFrameWidth(), outputFrameHeight()), 1, p);
    };
}

void PlandisDlg::paintOutputView(QPainter& painter) {
    const QRect client = outputView->rect();
    if (holdsOutputFrame()) {
        outputImage.draw(painter, outputFrame, outputFrameWidth(), outputFrameHeight(), 8, 0, 0,
                         client.width(), client.height());
    }
    drawPointNumbers(painter, *outputView, *outputPointList);
    if (calibrationOn != 0) {
        drawMarkers(painter, *outputView, *outputPointList);
    }
    drawMeasurements(painter);
}

// A red segment, 2 pixels wide, from entry 0 to entry 1, from entry 2 to entry 3, and so on
// for every pair of entries; a last unpaired entry draws nothing.
void PlandisDlg::drawMarkers(QPainter& painter, const PictureView& view, const QListWidget& list) {
    const QSize frame = view.frameSize();
    if (frame.isEmpty()) {
        return;  // no picture to place the points on
    }
    painter.setPen(QPen(QColor(255, 0, 0), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPoint current;
    for (int i = 0; i < listCount(list); ++i) {
        Point entry{0, 0};
        parsePoint(listText(list, i), entry);
        const QPoint shown = view.shownAt(entry);
        if (i % 2 == 1) {
            painter.drawLine(current, shown);
        }
        current = shown;
    }
}

// Each point as a small cross numbered from 1, so the pairing by click order shows before
// calibrating; the picked point framed.
void PlandisDlg::drawPointNumbers(QPainter& painter, const PictureView& view,
                                  const QListWidget& list) {
    if (view.frameSize().isEmpty()) {
        return;
    }
    painter.setPen(pointColour);
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < listCount(list); ++i) {
        const std::optional<QPoint> shown = entryOnView(view, list, i);
        if (!shown) {
            continue;
        }
        const QPoint at = *shown;
        painter.drawLine(at - QPoint(4, 0), at + QPoint(4, 0));
        painter.drawLine(at - QPoint(0, 4), at + QPoint(0, 4));
        if (&list == pickedList && i == picked()) {
            painter.drawRect(QRect(at - QPoint(6, 6), QSize(12, 12)));
        }
        painter.drawText(at + QPoint(5, -4), QString::number(i + 1));
    }
}

std::optional<QPoint> PlandisDlg::entryOnView(const PictureView& view, const QListWidget& list,
                                              int index) {
    Point entry{0, 0};
    const QSize frame = view.frameSize();
    // A point of a larger frame than the current one lies beyond the view: not drawn there.
    if (!parsePoint(listText(list, index), entry) || entry.x < 0 || entry.y < 0 ||
        entry.x >= frame.width() || entry.y >= frame.height()) {
        return std::nullopt;
    }
    return view.shownAt(entry);
}

void PlandisDlg::drawPath(QPainter& painter, const PictureView& view,
                          const std::vector<Point>& points, bool closed) {
    QPolygon path;
    for (Point p : points) {
        path << view.shownAt(p);
        painter.drawEllipse(path.back(), 2, 2);
    }
    closed ? painter.drawPolygon(path) : painter.drawPolyline(path);
}
