// Capture control: Start Capture and Stop Capture. Start creates a capture window, connects
// driver 0, asks for 30 frames per second, publishes the frame format and starts a scaled
// preview every 15 ms with the frame pipeline as its frame callback; Stop undoes that. A
// source that would not open, or that fails while it plays, is named to the user with the
// reason, once.
#include <QGuiApplication>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "app/CaptureView.h"
#include "app/PlandisDlg.h"
#include "app/windowServices.h"
#include "capture/CaptureWindow.h"
#include "capture/framePipeline.h"
#include "frame/frameState.h"

namespace {

constexpr int kDriverIndex = 0;
constexpr int kConnectAttempts = 100;
constexpr int kPreviewRateMs = 15;
constexpr CaptureRect kCapturePlace{530, 180, 80, 60};

// Why, in the user's terms, and what they can do about it; otherwise GStreamer's words.
QString reasonText(const CaptureFailure& failure) {
    using Cause = CaptureFailure::Cause;
    switch (failure.cause) {
        case Cause::permissionDenied:
            return QString::fromUtf8(
                "권한이 없습니다. video 그룹에 가입한 뒤 다시 로그인하십시오.");
        case Cause::busy:
            return QString::fromUtf8("다른 프로그램이 사용 중입니다. 그 프로그램을 닫으십시오.");
        case Cause::noDevice: {  // likely a mistyped name: say which there are
            QStringList there;
            for (const CameraDevice& device : cameraDevices()) {
                there << PlandisDlg::cameraText(device);
            }
            return QString::fromUtf8("장치가 없습니다.\n") +
                   (there.isEmpty() ? QString::fromUtf8("연결된 카메라가 없습니다.")
                                    : QString::fromUtf8("연결된 카메라: ") + there.join(", "));
        }
        case Cause::unreachable:
            return QString::fromUtf8("연결할 수 없습니다. 주소와 네트워크를 확인하십시오.");
        case Cause::ended:
            return QString::fromUtf8("영상이 끝났습니다.");
        case Cause::unplugged:
            return QString::fromUtf8("카메라가 분리되었습니다.");
        case Cause::noSignal:
            return QString::fromUtf8("5초 동안 신호가 없습니다.");
        default:
            return QString::fromStdString(failure.detail);
    }
}

QString failureText(const char* what, const CaptureFailure& failure) {
    const QString reason = reasonText(failure);
    return QString::fromUtf8(what) + QString::fromStdString(failure.device) +
           (reason.isEmpty() ? QString() : "\n" + reason);
}

}  // namespace

void PlandisDlg::connectCapture() {
    // An earlier capture lets go of its device before the new one asks for it.
    captureWindow.reset();
    captureWindow = std::make_unique<CaptureWindow>(kCapturePlace, captureDriverFactory());
    // One view on screen serves each capture window in turn.
    if (findChild<CaptureView*>() == nullptr) {
        auto* view = new CaptureView(
            this, [this] { return captureWindow.get(); }, [this] { captureStopped(); });
        view->setGeometry(kCapturePlace.x, kCapturePlace.y, kCapturePlace.width,
                          kCapturePlace.height);
        connect(view, &CaptureView::frameArrived, this, &PlandisDlg::OnPaint);
        view->show();
    }

    // A stream is asked for its size before it opens, which may take seconds.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    bool connected = false;
    for (int attempt = 0; attempt < kConnectAttempts && !connected; ++attempt) {
        connected = captureWindow->driverConnect(kDriverIndex);
        // A failure with a reason stays the same however often it is asked again.
        const CaptureFailure failure = captureWindow->failure();
        using Cause = CaptureFailure::Cause;
        if ((failure.cause != Cause::none && failure.cause != Cause::other) ||
            !failure.detail.empty()) {
            break;
        }
    }
    QGuiApplication::restoreOverrideCursor();
    // A source that is there but would not open is the user's to fix, so say which and why.
    if (const CaptureFailure failure = captureWindow->failure();
        !connected && !failure.device.empty()) {
        messageBox(this, failureText("카메라를 열 수 없습니다: ", failure));
    }

    CaptureParms parms = captureWindow->sequenceSetup();
    parms.microSecPerFrame = static_cast<std::uint32_t>(1000000.0 / captureRate);  // 33333
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
        // No frame of another size than the points' is warped.
        if (calibrationOn != 0) {
            pointsFitFrame();
        }
    }

    captureWindow->setPreview(true);
    captureWindow->setPreviewRate(kPreviewRateMs);
    captureWindow->setScale(true);
}

void PlandisDlg::captureStopped() {
    const CaptureFailure failure = captureWindow->failure();
    // Frames have stopped: the device is let go, and Start Capture tries again.
    OnStopCapture();
    messageBox(this, failureText("캡처가 멈췄습니다: ", failure) +
                         QString::fromUtf8("\nStart Capture를 누르면 다시 시도합니다."));
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
