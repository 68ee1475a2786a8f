// A source of live frames behind a capture window: the system's cameras, or a stand-in.
// Every call comes from the dialog's thread; a driver may produce frames on threads of
// its own but hands them over only through takeFrame.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The layout of the delivered frames: 16 bits per pixel is packed YUY2 (Y0, U, Y1, V),
// 24 bits is packed blue, green, red. Rows carry no padding.
struct VideoFormat {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 0;
};

// The mode Start Capture asks for: the source gives the size and rate nearest to it. A
// rate of 0 leaves it to the capture window's frame period; a set rate outranks that.
struct CaptureMode {
    int width = 640;
    int height = 480;
    int fps = 0;
    friend bool operator==(const CaptureMode&, const CaptureMode&) = default;
};

// Why a source would not open or why its frames stopped, for the user: the source as the
// user named it and the cause; for a cause without a name of its own, GStreamer's words. A
// failure of no particular source (no such index, no GStreamer) names none.
struct CaptureFailure {
    enum class Cause {
        none,
        permissionDenied,
        busy,
        noDevice,
        unreachable,
        ended,
        unplugged,
        noSignal,
        other
    };
    Cause cause = Cause::none;
    std::string device;
    std::string detail;
};

class CaptureDriver {
  public:
    virtual ~CaptureDriver() = default;

    // Opens the device with this index; true once it is open. Opening an open driver
    // closes it first.
    virtual bool connect(int index) = 0;
    virtual void disconnect() = 0;
    // Why the last connect returned false, or why frames stopped since the last start;
    // Cause::none otherwise.
    virtual CaptureFailure failure() const = 0;

    // Asks for this frame period; the device takes the nearest rate it offers. Applies
    // to the current connection and to later ones.
    virtual void setFramePeriod(std::uint32_t microseconds) = 0;

    // The layout frames arrive in; false while no device is open.
    virtual bool format(VideoFormat& format) const = 0;

    // Frames flow between start and stop.
    virtual void start() = 0;
    virtual void stop() = 0;

    // Moves the newest frame not yet taken into frame (packed rows, in format's layout)
    // and drops any older ones. False when no new frame is there. Never blocks. A source
    // that fails gives no more frames until the next connect, and failure() says why.
    virtual bool takeFrame(std::vector<unsigned char>& frame) = 0;
};

// A video capture device as the system's device monitor lists it, with the modes it offers,
// largest first and, within a size, fastest first.
struct CameraDevice {
    std::string name;  // "HD Webcam C615"
    std::string path;  // "/dev/video2"
    std::vector<CaptureMode> modes;
};

// The video capture devices there are now, as GStreamer's device monitor sees them: it keeps
// the list as cameras are plugged in and out. Tests put their own list here.
extern std::function<std::vector<CameraDevice>()> cameraDevices;

// What Start Capture opens: a source as --source names it (a device path or name, "virtual",
// a URI or a pipeline description; empty for the system's first camera) at the mode nearest
// `mode`. The command line sets it, the Camera menu changes it.
struct CaptureChoice {
    std::string source;
    CaptureMode mode;
    bool sizeGiven = false;  // --size named mode's size: a loaded calibration's does not replace it
};
extern CaptureChoice captureChoice;

// The source an empty name stands for, as the Camera menu ticks it and Start Capture opens
// it: the first of `devices` (what cameraDevices lists), else the first video capture node
// there is (the device monitor hides one this user may not open: opening it then tells why),
// else "virtual", the built-in camera, on a system with no video device at all.
std::string firstCamera(const std::vector<CameraDevice>& devices);

// Driver 0 is the source `choice` names, or the first camera for an empty name. A device that
// is there but cannot be opened is reported, never replaced.
std::unique_ptr<CaptureDriver> makeCaptureDriver(const CaptureChoice& choice);

// A driver whose driver 0 is always the virtual camera, whatever the system has.
std::unique_ptr<CaptureDriver> makeVirtualCaptureDriver();

// What each new capture window is given as its driver. Tests put their own drivers here;
// by default it is makeCaptureDriver(captureChoice).
extern std::function<std::unique_ptr<CaptureDriver>()> captureDriverFactory;
