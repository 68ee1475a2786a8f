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

void Loupe::showAround(Point pixel, QPoint pointer) {
    if (!framePixel || !framePixel(pixel)) {
        hide();
        return;
    }
    centre = pixel;
    const QSize view = parentWidget()->size();
    move(pointer.x() < view.width() / 2 ? view.width() - width() - 2 : 2,
         pointer.y() < view.height() / 2 ? view.height() - height() - 2 : 2);
    show();
    update();
}

QString Loupe::text() const {
    return QString::fromStdString(formatPoint(centre));
}

void Loupe::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            const Point at{centre.x + i - reach, centre.y + j - reach};
            const std::optional<QRgb> colour = framePixel ? framePixel(at) : std::nullopt;
            painter.fillRect(1 + i * zoom, 1 + j * zoom, zoom, zoom,
                             colour ? QColor(*colour) : outsideFrame);
        }
    }
    painter.setPen(QColor(markColour));
    const int at = reach * zoom;  // just outside the centre cell
    painter.drawRect(at, at, zoom + 1, zoom + 1);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, side, side, captionHeight), Qt::AlignCenter, text());
}
