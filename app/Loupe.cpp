#include "app/Loupe.h"

#include <QPainter>

#include "calib/pointPicking.h"

namespace {

constexpr int cells = 2 * Loupe::reach + 1;
constexpr int side = cells * Loupe::zoom + 2;  // the cells inside a one-pixel border
constexpr int captionHeight = 15;
const QColor outsideFrame(32, 32, 64);

}  // namespace

Loupe::Loupe(QWidget* view) : QWidget(view) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);  // it covers itself: the picture beneath stays
    setFixedSize(side, side + captionHeight);
    hide();
}

void Loupe::showAround(Point pixel, QPoint pointer, bool snaps, std::optional<Point> snapped) {
    if (!framePixel || !framePixel(pixel)) {
        hide();
        return;
    }
    centre = pixel;
    snapping = snaps;
    corner = snapped;
    // A caption wider than the lens takes two lines.
    const bool fits = fontMetrics().horizontalAdvance(text()) <= side - 2;
    setFixedSize(side, side + captionHeight * (fits ? 1 : 2));
    const QSize view = parentWidget()->size();
    move(pointer.x() < view.width() / 2 ? view.width() - width() - 2 : 2,
         pointer.y() < view.height() / 2 ? view.height() - height() - 2 : 2);
    show();
    update();
}

QString Loupe::text() const {
    if (snapping && corner) {
        return QString::fromStdString(formatRefined(*corner));
    }
    return QString::fromStdString(formatPoint(centre)) +
           (snapping ? QStringLiteral(" (no corner)") : QString());
}

void Loupe::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            const Point at{centre.x + i - reach, centre.y + j - reach};  // whole pixels
            const std::optional<QRgb> colour = framePixel ? framePixel(at) : std::nullopt;
            painter.fillRect(1 + i * zoom, 1 + j * zoom, zoom, zoom,
                             colour ? QColor(*colour) : outsideFrame);
        }
    }
    painter.setPen(QColor(markColour));
    const int at = reach * zoom;  // just outside the centre cell
    painter.drawRect(at, at, zoom + 1, zoom + 1);
    if (snapping && corner) {  // a cross on the corner, its pixel's centre mid-cell
        const QPointF place(1 + (corner->x - centre.x + reach + 0.5) * zoom,
                            1 + (corner->y - centre.y + reach + 0.5) * zoom);
        painter.setPen(QColor(snapColour));
        painter.drawLine(place - QPointF(3, 0), place + QPointF(3, 0));
        painter.drawLine(place - QPointF(0, 3), place + QPointF(0, 3));
    }
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, side, side, height() - side), Qt::AlignCenter | Qt::TextWordWrap,
                     text());
}
