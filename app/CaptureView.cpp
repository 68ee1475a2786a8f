#include "app/CaptureView.h"

#include <QImage>
#include <QPainter>

#include "capture/CaptureWindow.h"

namespace {

// Until a window sets its own rate.
constexpr int kIdleTickMs = 15;

}  // namespace

CaptureView::CaptureView(QWidget* parent, std::function<CaptureWindow*()> currentWindow,
                         std::function<void()> sourceStopped)
    : QWidget(parent), current(std::move(currentWindow)), stopped(std::move(sourceStopped)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&timer, &QTimer::timeout, this, &CaptureView::previewTick);
    timer.start(kIdleTickMs);
}

void CaptureView::previewTick() {
    CaptureWindow* window = current();
    if (window == nullptr || !window->previewing()) {
        return;
    }
    if (window->previewRate() > 0 && timer.interval() != window->previewRate()) {
        timer.setInterval(window->previewRate());
    }
    // The frame callback runs inside this call, repaint and all.
    const bool frameCame = window->previewTick();
    if (!window->previewing()) {
        stopped();
    } else if (frameCame) {
        update();
        emit frameArrived();
    }
}

void CaptureView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const CaptureWindow* window = current();
    if (window == nullptr || window->previewPicture().empty()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    const CaptureRect place = window->rect();
    const QImage picture(window->previewPicture().data(), place.width, place.height,
                         place.width * 3, QImage::Format_BGR888);
    painter.drawImage(QPoint(0, 0), picture);
}
