// Capture control: Start Capture and Stop Capture. Start creates a capture window, connects
// driver 0, asks for 30 frames per second, publishes the frame format and starts a scaled
// preview every 15 ms with the frame pipeline as its frame callback; Stop undoes that. A
// device that would not open is named to the user with the reason.
#include <QString>

#include <cstdint>

#include "app/CaptureView.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "app/windowServices.h"
#include "capture/CaptureWindow.h"
#include "capture/framePipeline.h"

namespace {

constexpr int kDriverIndex = 0;
constexpr int kConnectAttempts = 100;
constexpr float kFrameRate = 30.0f;
constexpr int kPreviewRateMs = 15;
constexpr CaptureRect kCapturePlace{530, 180, 80, 60};

// What the user is told about a device that would not open: which one, why, and the remedy.
QString openFailureText(const OpenFailure& failure) {
    QString text =
        QString::fromUtf8("카메라를 열 수 없습니다: ") + QString::fromStdString(failure.device);
    if (failure.cause == OpenFailure::Cause::permissionDenied) {
        text += QString::fromUtf8("\n권한이 없습니다. video 그룹에 가입한 뒤 다시 로그인하십시오.");
    } else if (failure.cause == OpenFailure::Cause::busy) {
        text += QString::fromUtf8("\n다른 프로그램이 사용 중입니다. 그 프로그램을 닫으십시오.");
    }
    return text;
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
        connected = captureWindow->driverConnect(kDriverIndex);
    }
    // A device that is there but would not open is the user's to fix, so say which and why.
    if (const OpenFailure failure = captureWindow->openFailure();
        !connected && !failure.device.empty()) {
        messageBox(this, openFailureText(failure));
    }

    CaptureParms parms = captureWindow->sequenceSetup();
    parms.microSecPerFrame = static_cast<std::uint32_t>(1000000.0 / kFrameRate);  // 33333
    captureWindow->setSequenceSetup(parms);

    // Without a driver there is no format to read, and the last one stays.
    VideoFormat format;
    if (captureWindow->videoFormat(format)) {
        frameWidth = format.width;
        frameHeight = format.height;
        frameBitCount = format.bitCount;
        // Buffers of a picture loaded at another size no longer fit; the first frame makes
        // them anew.
        dropMismatchedFrameBuffers();
    }

    captureWindow->setPreview(true);
    captureWindow->setPreviewRate(kPreviewRateMs);
    captureWindow->setScale(true);
    captureWindow->setOverlay(false);
}

void PlandisDlg::OnStartCapture() {
    connectCapture();
    captureWindow->setCallbackFrame(frameCallback);
}

void PlandisDlg::OnStopCapture() {
    // Stop before any Start has nothing to stop.
    if (captureWindow != nullptr) {
        captureWindow->setPreview(false);
        captureWindow->driverDisconnect();
        captureWindow->setCallbackFrame(nullptr);
    }
}
