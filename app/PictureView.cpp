#include "app/PictureView.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

PictureView::PictureView(QWidget* parent) : QWidget(parent) {}

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
    // The pixel under the pointer when it was pressed, not wherever it is by the time the
    // notification is handled.
    const QPointF at = event->position();
    emit clicked(
        QPoint(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y()))));
}

// The second press of a double click is a double-click notification, not another click.
void PictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}
