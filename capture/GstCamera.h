// A capture driver on GStreamer: a source (a camera, the virtual camera, or any source a
// test names) feeding an appsink. Only the capture facility includes this header, so
// GStreamer's headers never meet the toolkit's.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "capture/CaptureDriver.h"

// One source, in gst-launch syntax ("v4l2src device=/dev/video0"), with an optional hook
// that readies the parsed source bin before it starts (the virtual camera feeds its
// appsrc this way).
struct CameraSource {
    std::string description;
    std::function<void(GstElement* sourceBin)> prepare;
};

class GstCamera final : public CaptureDriver {
  public:
    // Driver index i opens entry i of what listSources returns at connect time.
    using SourceList = std::function<std::vector<CameraSource>()>;

    explicit GstCamera(SourceList listSources);
    ~GstCamera() override;
    GstCamera(const GstCamera&) = delete;
    GstCamera& operator=(const GstCamera&) = delete;

    bool connect(int index) override;
    void disconnect() override;
    void setFramePeriod(std::uint32_t microseconds) override;
    bool format(VideoFormat& format) const override;
    void start() override;
    void stop() override;
    bool takeFrame(std::vector<unsigned char>& frame) override;

    // The frame period of the rate chosen from those the source offers, in microseconds
    // rounded to nearest; 0 while not connected or for a source without a rate.
    std::uint32_t framePeriod() const { return periodInEffect; }

    // True once the source has failed or ended since it was started; frames then stop
    // until the next connect.
    bool failed() const { return hasFailed; }

  private:
    bool chooseSourceCaps();
    bool buildConverter(bool raw);
    bool busReportsFailure();
    void teardown();

    SourceList listSources;
    std::uint32_t requestedPeriod = 33333;
    GstElement* pipeline = nullptr;
    GstElement* sourceFilter = nullptr;
    GstElement* converter = nullptr;
    GstElement* sink = nullptr;
    GstCaps* offered = nullptr;
    int chosenStructure = -1;
    VideoFormat chosen;
    std::uint32_t periodInEffect = 0;
    bool playing = false;
    bool hasFailed = false;
};

// Makes GStreamer ready once per process; false when it cannot start.
bool initGStreamer();
