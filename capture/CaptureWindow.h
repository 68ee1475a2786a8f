// The capture window: the live capture behind Start Capture and Stop Capture. It holds a
// capture driver and the preview settings, and on each preview tick hands the newest
// frame to the frame callback and shows the colour frame that the callback made of it. It needs no
// toolkit: the dialog shows previewPicture() in a widget at rect() and calls previewTick() every
// previewRate() milliseconds on its own thread, so frames are processed between command handlers,
// one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "capture/CaptureDriver.h"
#include "capture/framePipeline.h"

// The capture parameters: the requested frame period in microseconds.
struct CaptureParms {
    std::uint32_t microSecPerFrame = 0;
};

// Place and size of the window in the dialog's client area, in pixels.
struct CaptureRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class CaptureWindow {
  public:
    using FrameCallback = int (*)(CaptureWindow* window, VideoHeader* header);

    CaptureWindow(CaptureRect rect, std::unique_ptr<CaptureDriver> driver);
    ~CaptureWindow();
    CaptureWindow(const CaptureWindow&) = delete;
    CaptureWindow& operator=(const CaptureWindow&) = delete;

    // Driver connect and disconnect. Connecting returns true once the driver is open.
    bool driverConnect(int index);
    void driverDisconnect();
    bool connected() const { return isConnected; }
    // Why the last driverConnect failed or the frames stopped (CaptureDriver::failure).
    CaptureFailure failure() const;

    // Sequence set-up: the requested frame period.
    CaptureParms sequenceSetup() const { return parms; }
    void setSequenceSetup(const CaptureParms& newParms);

    // The video format of the connected driver; false (format untouched) without one.
    bool videoFormat(VideoFormat& format) const;

    // Preview on/off, preview rate and scaling.
    void setPreview(bool on);
    void setPreviewRate(int milliseconds);
    void setScale(bool on);
    bool previewing() const { return previewOn; }
    int previewRate() const { return rateMs; }
    bool scaling() const { return scaleOn; }

    // The frame callback; null removes it.
    void setCallbackFrame(FrameCallback callback);

    CaptureRect rect() const { return placement; }

    // One preview tick: while previewing, takes the newest frame of the driver, hands it
    // to the callback and renews the preview picture. True if a frame came and the callback
    // (if any) handled it: the views are then to be repainted. A source that failed ends the
    // preview: previewing() turns false and failure() says why.
    bool previewTick();

    // The picture the window shows: rect().width × rect().height pixels, packed blue,
    // green, red; the colour frame (rgbFrame) scaled to fit, or its top-left corner while
    // scaling is off. Black until the first frame.
    const std::vector<unsigned char>& previewPicture() const { return preview; }

  private:
    void renewPreview();

    CaptureRect placement;
    std::unique_ptr<CaptureDriver> driver;
    bool isConnected = false;
    CaptureParms parms;
    bool previewOn = false;
    int rateMs = 0;
    bool scaleOn = false;
    FrameCallback callback = nullptr;
    std::vector<unsigned char> frame;
    std::vector<unsigned char> preview;
};
