// Capture control: Start Capture and Stop Capture. Start creates a capture window, connects
// driver 0, asks for 30 frames per second, publishes the frame format and starts a scaled
// preview every 15 ms with the frame pipeline as its frame callback; Stop undoes that.
#include <cstdint>

#include "app/CaptureView.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "capture/CaptureWindow.h"
#include "capture/framePipeline.h"

namespace {

constexpr int kDriverIndex = 0;
constexpr int kConnectAttempts = 100;
constexpr float kFrameRate = 30.0f;
constexpr int kPreviewRateMs = 15;
constexpr CaptureRect kCapturePlace{530, 180, 80, 60};

// Every capture step is taken only while the capture window exists.
bool exists(const std::unique_ptr<CaptureWindow>& window) {
    return window != nullptr;
}

}  // namespace

void PlandisDlg::connectCapture() {
    // An earlier capture lets go of its device before the new one asks for it.
    captureWindow.reset();
    captureWindow = std::make_unique<CaptureWindow>(kCapturePlace, captureDriverFactory());
    // One view on screen serves each capture window in turn.
    if (findChild<CaptureView*>() == nullptr) {
        auto* view = new CaptureView(this, [this] { return captureWindow.get(); });
        view->setGeometry(kCapturePlace.x, kCapturePlace.y, kCapturePlace.width,
                          kCapturePlace.height);
        view->show();
    }

    bool connected = false;
    for (int attempt = 0; attempt < kConnectAttempts && !connected; ++attempt) {
        connected = exists(captureWindow) && captureWindow->driverConnect(kDriverIndex);
    }

    CaptureParms parms;
    if (exists(captureWindow)) {
        parms = captureWindow->sequenceSetup();
    }
    parms.microSecPerFrame = static_cast<std::uint32_t>(1000000.0 / kFrameRate);  // 33333
    if (exists(captureWindow)) {
        captureWindow->setSequenceSetup(parms);
    }

    // Without a driver there is no format to read, and the last one stays.
    VideoFormat format;
    if (exists(captureWindow) && captureWindow->videoFormat(format)) {
        frameWidth = format.width;
        frameHeight = format.height;
        frameBitCount = format.bitCount;
        // Buffers of a picture loaded at another size no longer fit; the first frame makes
        // them anew.
        dropMismatchedFrameBuffers();
    }

    if (exists(captureWindow)) {
        captureWindow->setPreview(true);
        captureWindow->setPreviewRate(kPreviewRateMs);
        captureWindow->setScale(true);
        captureWindow->setOverlay(false);
    }
}

void PlandisDlg::OnStartCapture() {
    connectCapture();
    if (exists(captureWindow)) {
        captureWindow->setCallbackFrame(frameCallback);
    }
}

void PlandisDlg::OnStopCapture() {
    if (exists(captureWindow)) {
        captureWindow->setPreview(false);
        captureWindow->driverDisconnect();
        captureWindow->setCallbackFrame(nullptr);
    }
}
