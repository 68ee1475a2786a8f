// A capture driver on GStreamer: a source (a camera, the virtual camera, or any source a
// test names) feeding an appsink. Only the capture facility includes this header, so
// GStreamer's headers never meet the toolkit's.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureDriver.h"
#include "capture/gstHandles.h"

// One source, in gst-launch syntax ("v4l2src device=/dev/video0"), with an optional hook
// that readies the parsed source bin before it starts (the virtual camera feeds its
// appsrc this way), and the device it opens as the user knows it ("/dev/video0"). A stream
// (`uri` set) plays at its own size and rate; a looping one starts over at its end.
struct CameraSource {
    std::string description;
    std::function<void(GstElement* sourceBin)> prepare;
    std::string device;
    std::string uri;
    bool loops = false;
};

class GstCamera final : public CaptureDriver {
  public:
    // Driver index i opens entry i of what listSources returns at connect time.
    using SourceList = std::function<std::vector<CameraSource>()>;

    explicit GstCamera(SourceList listSources, CaptureMode mode = {});
    ~GstCamera() override;
    GstCamera(const GstCamera&) = delete;
    GstCamera& operator=(const GstCamera&) = delete;

    bool connect(int index) override;
    void disconnect() override;
    CaptureFailure failure() const override { return whyFailed; }
    void setFramePeriod(std::uint32_t microseconds) override;
    bool format(VideoFormat& format) const override;
    void start() override;
    void stop() override;
    bool takeFrame(std::vector<unsigned char>& frame) override;

    // Seam for the tests (the frames' pace is the source's own): the frame period of the rate
    // chosen from those the source offers, in microseconds rounded to nearest; 0 while not
    // connected or for a source without a rate.
    std::uint32_t framePeriod() const { return periodInEffect; }

    // A started source that gives no frame for this long has lost its signal.
    static constexpr std::chrono::seconds noSignalTimeout{5};

  private:
    bool open(const CameraSource& source);
    bool chooseSourceCaps();
    bool buildConverter(bool raw);
    bool busReportsFailure();
    // Stops the frames for good, for this cause unless the bus gave one.
    void fail(CaptureFailure::Cause cause);
    void teardown();

    SourceList listSources;
    CaptureMode mode;
    std::uint32_t requestedPeriod;
    GstPipelineRef pipeline;
    // Elements of the pipeline, which owns them.
    GstElement* sourceFilter = nullptr;
    GstElement* converter = nullptr;
    GstElement* sink = nullptr;
    GstCapsRef offered;
    int chosenStructure = -1;
    VideoFormat chosen;
    std::uint32_t periodInEffect = 0;
    bool playing = false;
    // Set while connected only once the source failed: its frames then stop until the next
    // connect.
    CaptureFailure whyFailed;
    // Of the source connected: a stream, and whether it loops.
    bool stream = false;
    bool loops = false;
    std::chrono::steady_clock::time_point lastFrame;
};
