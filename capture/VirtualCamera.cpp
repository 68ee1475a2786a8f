#include "capture/VirtualCamera.h"

#include <gst/app/gstappsrc.h>

#include <cstdio>
#include <memory>
#include <string>

#include "capture/TestChart.h"

namespace {

constexpr int kFramesPerSecond = 30;

struct ChartFeed {
    GstClockTime lastTime = GST_CLOCK_TIME_NONE;
};

// Time of the next frame: the next whole frame interval of the pipeline's running time.
// Stamping frames by the clock (rather than counting them) keeps them on time after a
// stop and restart, when the running time starts again from zero.
GstClockTime nextFrameTime(GstElement* source, const ChartFeed& feed) {
    const GstClockTime interval = GST_SECOND / kFramesPerSecond;
    GstClockTime now = 0;
    if (const std::unique_ptr<GstClock, GstRelease<gst_object_unref>> clock{
            gst_element_get_clock(source)}) {
        const GstClockTime clockTime = gst_clock_get_time(clock.get());
        const GstClockTime base = gst_element_get_base_time(source);
        now = clockTime > base ? clockTime - base : 0;
    }
    GstClockTime next = (now / interval + 1) * interval;
    if (feed.lastTime != GST_CLOCK_TIME_NONE && next <= feed.lastTime) {
        next = feed.lastTime + interval;
    }
    return next;
}

// Runs on the appsrc's streaming thread whenever it wants a frame.
void feedFrame(GstAppSrc* source, guint /*length*/, gpointer data) {
    auto* feed = static_cast<ChartFeed*>(data);
    const GstClockTime time = nextFrameTime(GST_ELEMENT(source), *feed);
    feed->lastTime = time;
    const gsize bytes = static_cast<gsize>(chartFrameWidth) * chartFrameHeight * 2;
    std::unique_ptr<GstBuffer, GstRelease<gst_buffer_unref>> buffer(
        gst_buffer_new_allocate(nullptr, bytes, nullptr));
    GstMapInfo map;
    if (buffer == nullptr || !gst_buffer_map(buffer.get(), &map, GST_MAP_WRITE)) {
        return;
    }
    drawChartFrame(static_cast<double>(time) / GST_SECOND, map.data, chartFrameWidth,
                   chartFrameHeight);
    gst_buffer_unmap(buffer.get(), &map);
    GST_BUFFER_PTS(buffer.get()) = time;
    GST_BUFFER_DURATION(buffer.get()) = GST_SECOND / kFramesPerSecond;
    gst_app_src_push_buffer(source, buffer.release());  // the source takes it
}

void deleteFeed(gpointer data) {
    delete static_cast<ChartFeed*>(data);
}

void prepareChartSource(GstElement* sourceBin) {
    const std::unique_ptr<GstElement, GstRelease<gst_object_unref>> source(
        gst_bin_get_by_name(GST_BIN(sourceBin), "plandis-chart"));
    if (source == nullptr) {
        return;
    }
    GstAppSrcCallbacks callbacks = {};
    callbacks.need_data = feedFrame;
    gst_app_src_set_callbacks(GST_APP_SRC(source.get()), &callbacks, new ChartFeed, deleteFeed);
}

}  // namespace

CameraSource virtualCameraSource() {
    // The capsfilter states the layout to whoever asks before the first frame; appsrc
    // itself answers such a question with "anything".
    char caps[128];
    std::snprintf(
        caps, sizeof caps,
        "video/x-raw,format=YUY2,width=%d,height=%d,framerate=%d/1,pixel-aspect-ratio=1/1",
        chartFrameWidth, chartFrameHeight, kFramesPerSecond);
    const std::string description =
        std::string("appsrc name=plandis-chart is-live=true format=time caps=") + caps +
        " ! capsfilter caps=" + caps;
    return {description, prepareChartSource, "virtual camera", {}, false};
}
