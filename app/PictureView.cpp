#include "app/PictureView.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "app/Loupe.h"
#include "calib/pointPicking.h"
#include "frame/frameState.h"

namespace {

// The client pixel under a pointer position, kept inside the client area.
QPoint clientPixel(const QWidget& view, QPointF at) {
    return {std::clamp(static_cast<int>(std::floor(at.x())), 0, view.width() - 1),
            std::clamp(static_cast<int>(std::floor(at.y())), 0, view.height() - 1)};
}

}  // namespace

PictureView::PictureView(QWidget* parent) : QWidget(parent), magnifier(new Loupe(this)) {}

void PictureView::setNotify(bool on) {
    notify = on;
    setMouseTracking(on);  // the loupe follows the pointer with no button held
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (paintContent) {
        paintContent(painter);
    }
}

void PictureView::mousePressEvent(QMouseEvent* event) {
    if (!notify || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The keys that move or delete the picked point come here; the view stays out of the
    // tab order all the same.
    setFocus(Qt::MouseFocusReason);
    keys = event->modifiers();
    // The pixel under the pointer when it was pressed, not wherever it is by the time the
    // notification is handled.
    const QPointF at = event->position();
    pressedAt = QPoint(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
    dragging = false;
    emit clicked(pressedAt);
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
    if (notify) {
        const QPoint at = clientPixel(*this, event->position());
        const QPoint d = at - pressedAt;
        const bool held = (event->buttons() & Qt::LeftButton) != 0;
        keys = event->modifiers();
        dragging = held && (dragging || d.x() * d.x() + d.y() * d.y() >= dragStart * dragStart);
        emit moved(at, dragging);
    }
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
    if (notify && event->button() == Qt::LeftButton) {
        emit released();
    }
}

// The second press of a double click is a double-click notification, not another click.
void PictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

void PictureView::leaveEvent(QEvent*) {
    magnifier->hide();
}

QSize PictureView::frameSize() const {
    return rectified ? QSize(outputFrameWidth(), outputFrameHeight())
                     : QSize(frameWidth, frameHeight);
}

QPoint PictureView::shownAt(Point p) const {
    const QSize frame = frameSize();
    const Point at = framePixelToView(p, width(), height(), frame.width(), frame.height());
    return {static_cast<int>(at.x), static_cast<int>(at.y)};
}

Point PictureView::pixelAt(QPoint position) const {
    const QSize frame = frameSize();
    return clickToFramePixel(position.x(), position.y(), width(), height(), frame.width(),
                             frame.height());
}
