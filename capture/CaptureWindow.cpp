#include "capture/CaptureWindow.h"

#include "cpu/rowPool.h"

#include <utility>

#include "frame/frameState.h"

namespace {

std::size_t pictureBytes(const CaptureRect& rect) {
    return rect.width > 0 && rect.height > 0
               ? static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(rect.height) * 3
               : 0;
}

}  // namespace

CaptureWindow::CaptureWindow(CaptureRect rect, std::unique_ptr<CaptureDriver> captureDriver)
    : placement(rect), driver(std::move(captureDriver)), preview(pictureBytes(rect), 0) {}

CaptureWindow::~CaptureWindow() {
    driverDisconnect();
}

bool CaptureWindow::driverConnect(int index) {
    if (driver == nullptr) {
        return false;
    }
    previewOn = false;
    isConnected = driver->connect(index);
    return isConnected;
}

CaptureFailure CaptureWindow::failure() const {
    return driver != nullptr ? driver->failure()
                             : CaptureFailure{CaptureFailure::Cause::other, {}, {}};
}

void CaptureWindow::driverDisconnect() {
    if (driver != nullptr && isConnected) {
        if (previewOn) {
            driver->stop();
        }
        driver->disconnect();
    }
    isConnected = false;
    previewOn = false;
    // The pool's threads serve one capture: they end with it.
    releaseRowPool();
}

void CaptureWindow::setSequenceSetup(const CaptureParms& newParms) {
    parms = newParms;
    if (driver != nullptr) {
        driver->setFramePeriod(parms.microSecPerFrame);
    }
}

bool CaptureWindow::videoFormat(VideoFormat& format) const {
    return isConnected && driver->format(format);
}

void CaptureWindow::setPreview(bool on) {
    previewOn = on && isConnected;
    if (!isConnected) {
        return;
    }
    if (on) {
        driver->start();
    } else {
        driver->stop();
    }
}

void CaptureWindow::setPreviewRate(int milliseconds) {
    rateMs = milliseconds;
}

void CaptureWindow::setScale(bool on) {
    scaleOn = on;
}

void CaptureWindow::setCallbackFrame(FrameCallback newCallback) {
    callback = newCallback;
}

bool CaptureWindow::previewTick() {
    if (!previewOn) {
        return false;
    }
    if (!driver->takeFrame(frame)) {
        previewOn = driver->failure().cause == CaptureFailure::Cause::none;
        return false;
    }
    VideoHeader header{frame.data(), static_cast<std::uint32_t>(frame.size())};
    const bool handled = callback == nullptr || callback(this, &header) != 0;
    renewPreview();
    return handled;
}

void CaptureWindow::renewPreview() {
    if (!holdsFrame(rgbFrame, rgbFrameBytes, 3)) {
        return;
    }
    unsigned char* out = preview.data();
    for (int py = 0; py < placement.height; ++py) {
        for (int px = 0; px < placement.width; ++px, out += 3) {
            // Scaled: the frame pixel under the centre of the preview pixel. Unscaled: the
            // frame's top-left corner at its own size, black beyond it.
            const int x = scaleOn ? (2 * px + 1) * frameWidth / (2 * placement.width) : px;
            const int y = scaleOn ? (2 * py + 1) * frameHeight / (2 * placement.height) : py;
            if (x >= frameWidth || y >= frameHeight) {
                out[0] = out[1] = out[2] = 0;
                continue;
            }
            const unsigned char* p =
                rgbFrame + (static_cast<std::size_t>(y) * static_cast<std::size_t>(frameWidth) +
                            static_cast<std::size_t>(x)) *
                               3;
            out[0] = p[0];
            out[1] = p[1];
            out[2] = p[2];
        }
    }
}
