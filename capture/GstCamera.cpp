#include "capture/GstCamera.h"

#include "capture/sourceFailure.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Preference among what a source offers: its own YUY2 first, then other raw layouts
// (converted), then JPEG, then anything else a decoder knows.
int layoutRank(const GstStructure* s) {
    if (gst_structure_has_name(s, "video/x-raw")) {
        const char* f = gst_structure_get_string(s, "format");
        return f != nullptr && std::strcmp(f, "YUY2") == 0 ? 0 : 1;
    }
    return gst_structure_has_name(s, "image/jpeg") ? 2 : 3;
}

// The frame period of a rate, in microseconds rounded to nearest.
std::uint32_t periodOf(double framesPerSecond) {
    return static_cast<std::uint32_t>(std::lround(1e6 / framesPerSecond));
}

int intField(const GstStructure* s, const char* name) {
    int value = 0;
    return gst_structure_get_int(s, name, &value) ? value : 0;
}

// Frames per second of a fixed framerate field; 0 when there is none.
double ratePerSecond(const GstStructure* s) {
    int num = 0;
    int den = 0;
    if (!gst_structure_get_fraction(s, "framerate", &num, &den) || num <= 0 || den <= 0) {
        return 0.0;
    }
    return static_cast<double>(num) / static_cast<double>(den);
}

// A copy of s with layout, size and rate fixed nearest to what is asked for.
GstStructure* fixedChoice(const GstStructure* s, const CaptureMode& mode, std::uint32_t period) {
    GstStructure* c = gst_structure_copy(s);
    if (gst_structure_has_name(c, "video/x-raw")) {
        gst_structure_fixate_field_string(c, "format", "YUY2");
    }
    gst_structure_fixate_field_nearest_int(c, "width", mode.width);
    gst_structure_fixate_field_nearest_int(c, "height", mode.height);
    gst_structure_fixate_field_nearest_fraction(c, "framerate", 1000000, static_cast<int>(period));
    return c;
}

// Caps that pin the chosen layout, size and rate and leave everything else to the source.
GstCaps* filterCaps(const GstStructure* c) {
    GstStructure* f = gst_structure_new_empty(gst_structure_get_name(c));
    for (const char* field : {"format", "width", "height", "framerate"}) {
        const GValue* v = gst_structure_get_value(c, field);
        if (v != nullptr && gst_value_is_fixed(v)) {
            gst_structure_set_value(f, field, v);
        }
    }
    GstCaps* caps = gst_caps_new_empty();
    gst_caps_append_structure(caps, f);
    return caps;
}

// decodebin names its output pads late: link each video pad as it appears.
void linkDecodedPad(GstElement* /*decoder*/, GstPad* pad, gpointer converter) {
    const std::unique_ptr<GstPad, GstRelease<gst_object_unref>> sinkPad(
        gst_element_get_static_pad(GST_ELEMENT(converter), "sink"));
    if (!gst_pad_is_linked(sinkPad.get())) {
        gst_pad_link(pad, sinkPad.get());
    }
}

}  // namespace

GstCamera::GstCamera(SourceList sources, CaptureMode wanted)
    : listSources(std::move(sources)),
      mode(wanted),
      requestedPeriod(wanted.fps > 0 ? periodOf(wanted.fps) : 33333) {}

GstCamera::~GstCamera() {
    teardown();
}

bool GstCamera::connect(int index) {
    teardown();
    whyFailed = {CaptureFailure::Cause::other, {}, {}};
    if (!initGStreamer()) {
        return false;
    }
    const std::vector<CameraSource> sources = listSources();
    if (index < 0 || static_cast<std::size_t>(index) >= sources.size()) {
        return false;
    }
    const CameraSource& source = sources[static_cast<std::size_t>(index)];
    whyFailed.device = source.device;
    stream = !source.uri.empty();
    loops = source.loops;
    // A stream's size is known only once it plays: learn it first, so that the frames come
    // at their own size and rate.
    if (stream && !discoverStream(source.uri, mode, whyFailed)) {
        return false;
    }
    if (stream && mode.fps > 0) {
        requestedPeriod = periodOf(mode.fps);
    }
    if (!open(source)) {
        teardown();
        return false;
    }
    // The source's name stays for a failure while it plays.
    whyFailed.cause = CaptureFailure::Cause::none;
    whyFailed.detail.clear();
    return true;
}

bool GstCamera::open(const CameraSource& source) {
    // A description with a mistake in it may still give a partial bin, with the error
    // beside it: that is no camera either.
    GError* parseError = nullptr;
    GstElement* parsed =
        gst_parse_bin_from_description(source.description.c_str(), TRUE, &parseError);
    const std::unique_ptr<GError, GstRelease<g_error_free>> error(parseError);
    // The bin comes floating; holding it makes it ours until the pipeline takes it.
    const std::unique_ptr<GstElement, GstRelease<gst_object_unref>> sourceBin(
        parsed != nullptr ? GST_ELEMENT(gst_object_ref_sink(parsed)) : nullptr);
    if (error != nullptr || sourceBin == nullptr) {
        return false;
    }
    if (source.prepare) {
        source.prepare(sourceBin.get());
    }
    pipeline.reset(gst_pipeline_new("plandis-capture"));
    sourceFilter = gst_element_factory_make("capsfilter", nullptr);
    gst_bin_add_many(GST_BIN(pipeline.get()), sourceBin.get(), sourceFilter, nullptr);
    if (!gst_element_link(sourceBin.get(), sourceFilter)) {
        return false;
    }

    // Opening the source (READY) is what tells whether the device is there; it also lets
    // the source say which layouts, sizes and rates it offers.
    const bool ready =
        gst_element_set_state(sourceBin.get(), GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    if (busReportsFailure() || !ready) {  // the bus says why it failed
        return false;
    }
    const std::unique_ptr<GstPad, GstRelease<gst_object_unref>> pad(
        gst_element_get_static_pad(sourceBin.get(), "src"));
    offered.reset(gst_pad_query_caps(pad.get(), nullptr));
    if (!chooseSourceCaps()) {
        return false;
    }
    const bool raw = gst_structure_has_name(
        gst_caps_get_structure(offered.get(), static_cast<guint>(chosenStructure)), "video/x-raw");
    return buildConverter(raw) &&
           gst_element_set_state(pipeline.get(), GST_STATE_READY) != GST_STATE_CHANGE_FAILURE &&
           !busReportsFailure();
}

bool GstCamera::chooseSourceCaps() {
    if (offered == nullptr || gst_caps_is_empty(offered.get()) || gst_caps_is_any(offered.get())) {
        return false;
    }
    // On the first choice every structure competes; later a new period only moves the
    // rate within the chosen one, so the converter built for it stays right.
    const guint count = gst_caps_get_size(offered.get());
    const guint first = chosenStructure < 0 ? 0 : static_cast<guint>(chosenStructure);
    const guint last = chosenStructure < 0 ? count : first + 1;
    const double wantedRate = 1e6 / static_cast<double>(requestedPeriod);
    using StructureRef = std::unique_ptr<GstStructure, GstRelease<gst_structure_free>>;
    StructureRef best;
    int bestIndex = -1;
    double bestScore[3] = {};
    for (guint i = first; i < last; ++i) {
        StructureRef c(
            fixedChoice(gst_caps_get_structure(offered.get(), i), mode, requestedPeriod));
        const double score[3] = {
            static_cast<double>(layoutRank(c.get())),
            static_cast<double>(std::abs(intField(c.get(), "width") - mode.width) +
                                std::abs(intField(c.get(), "height") - mode.height)),
            std::abs(ratePerSecond(c.get()) - wantedRate)};
        if (best == nullptr ||
            std::lexicographical_compare(score, score + 3, bestScore, bestScore + 3)) {
            best = std::move(c);
            bestIndex = static_cast<int>(i);
            std::copy(score, score + 3, bestScore);
        }
    }
    const int width = intField(best.get(), "width");
    const int height = intField(best.get(), "height");
    const bool ownYuy2 = layoutRank(best.get()) == 0 && width % 2 == 0;
    const double rate = ratePerSecond(best.get());
    if (width <= 0 || height <= 0) {
        return false;
    }
    g_object_set(sourceFilter, "caps", GstCapsRef(filterCaps(best.get())).get(), nullptr);

    chosenStructure = bestIndex;
    chosen = {width, height, static_cast<std::uint16_t>(ownYuy2 ? 16 : 24)};
    periodInEffect = rate > 0.0 ? periodOf(rate) : 0;
    return true;
}

bool GstCamera::buildConverter(bool raw) {
    // Each element joins the pipeline as soon as it exists, so the pipeline frees it.
    const auto add = [this](const char* factory) {
        GstElement* element = gst_element_factory_make(factory, nullptr);
        if (element != nullptr) {
            gst_bin_add(GST_BIN(pipeline.get()), element);
        }
        return element;
    };
    converter = add("videoconvert");
    GstElement* frameFilter = add("capsfilter");
    sink = add("appsink");
    GstElement* decoder = raw ? nullptr : add("decodebin");
    if (converter == nullptr || frameFilter == nullptr || sink == nullptr ||
        (!raw && decoder == nullptr)) {
        return false;
    }
    const GstCapsRef caps(gst_caps_new_simple(
        "video/x-raw", "format", G_TYPE_STRING, chosen.bitCount == 16 ? "YUY2" : "BGR", "width",
        G_TYPE_INT, chosen.width, "height", G_TYPE_INT, chosen.height, nullptr));
    g_object_set(frameFilter, "caps", caps.get(), nullptr);
    // Only the newest frame waits for the dialog's timer; older ones are dropped. The sink
    // keeps to the frames' timestamps, which paces sources that are not cameras.
    g_object_set(sink, "max-buffers", 1u, "drop", TRUE, "sync", TRUE, "enable-last-sample", FALSE,
                 nullptr);
    bool linked = gst_element_link_many(converter, frameFilter, sink, nullptr);
    if (raw) {
        linked = linked && gst_element_link(sourceFilter, converter);
    } else {
        g_signal_connect(decoder, "pad-added", G_CALLBACK(linkDecodedPad), converter);
        linked = linked && gst_element_link(sourceFilter, decoder);
    }
    return linked;
}

bool GstCamera::busReportsFailure() {
    if (pipeline == nullptr) {
        return false;
    }
    const std::unique_ptr<GstBus, GstRelease<gst_object_unref>> bus(
        gst_element_get_bus(pipeline.get()));
    bool reported = false;
    while (GstMessage* m = gst_bus_pop_filtered(
               bus.get(), static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))) {
        const std::unique_ptr<GstMessage, GstRelease<gst_message_unref>> message(m);
        const bool ended = GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS;
        if (reported) {
            continue;
        }
        if (ended && loops &&
            gst_element_seek_simple(
                pipeline.get(), GST_FORMAT_TIME,
                static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0)) {
            continue;
        }
        const CaptureFailure why =
            ended ? CaptureFailure{CaptureFailure::Cause::ended, {}, {}} : causeOf(m, stream);
        whyFailed.cause = why.cause;
        whyFailed.detail = why.detail;
        reported = true;
    }
    return reported;
}

void GstCamera::fail(CaptureFailure::Cause cause) {
    // The cause the bus gave outranks the caller's guess.
    if (whyFailed.cause == CaptureFailure::Cause::none) {
        whyFailed.cause = cause;
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    playing = false;
}

void GstCamera::disconnect() {
    teardown();
}

void GstCamera::teardown() {
    pipeline.reset();
    offered.reset();
    sourceFilter = nullptr;
    converter = nullptr;
    sink = nullptr;
    chosenStructure = -1;
    chosen = {};
    periodInEffect = 0;
    playing = false;
    stream = false;
    loops = false;
}

void GstCamera::setFramePeriod(std::uint32_t microseconds) {
    if (microseconds == 0 || mode.fps > 0) {
        return;
    }
    requestedPeriod = microseconds;
    if (pipeline == nullptr || whyFailed.cause != CaptureFailure::Cause::none) {
        return;
    }
    const bool wasPlaying = playing;
    if (wasPlaying) {
        stop();
    }
    chooseSourceCaps();
    if (wasPlaying) {
        start();
    }
}

bool GstCamera::format(VideoFormat& format) const {
    if (pipeline == nullptr) {
        return false;
    }
    format = chosen;
    return true;
}

void GstCamera::start() {
    if (pipeline == nullptr || whyFailed.cause != CaptureFailure::Cause::none || playing) {
        return;
    }
    playing = true;
    lastFrame = std::chrono::steady_clock::now();
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        busReportsFailure();
        fail(CaptureFailure::Cause::other);
    }
}

void GstCamera::stop() {
    if (pipeline == nullptr || !playing) {
        return;
    }
    gst_element_set_state(pipeline.get(), GST_STATE_READY);
    playing = false;
}

bool GstCamera::takeFrame(std::vector<unsigned char>& frame) {
    if (!playing) {
        return false;
    }
    // A camera that was unplugged or broke says so only on the bus, one that lost its
    // signal not at all: stop its frames and free the device; the next connect starts
    // afresh.
    const auto now = std::chrono::steady_clock::now();
    if (busReportsFailure() || now - lastFrame > noSignalTimeout) {
        fail(CaptureFailure::Cause::noSignal);
        return false;
    }
    const std::unique_ptr<GstSample, GstRelease<gst_sample_unref>> sample(
        gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 0));
    if (sample == nullptr) {
        return false;
    }
    lastFrame = now;
    GstVideoInfo info;
    GstVideoFrame mapped;
    const GstVideoFormat expected =
        chosen.bitCount == 16 ? GST_VIDEO_FORMAT_YUY2 : GST_VIDEO_FORMAT_BGR;
    bool ok =
        gst_video_info_from_caps(&info, gst_sample_get_caps(sample.get())) &&
        GST_VIDEO_INFO_FORMAT(&info) == expected && GST_VIDEO_INFO_WIDTH(&info) == chosen.width &&
        GST_VIDEO_INFO_HEIGHT(&info) == chosen.height &&
        gst_video_frame_map(&mapped, &info, gst_sample_get_buffer(sample.get()), GST_MAP_READ);
    if (ok) {
        // GStreamer pads each row to a multiple of 4 bytes; the frame callback wants
        // packed rows, so copy row by row at the buffer's own stride.
        const std::size_t rowBytes =
            static_cast<std::size_t>(chosen.width) * (chosen.bitCount / 8u);
        const std::size_t stride =
            static_cast<std::size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0));
        const auto* in = static_cast<const unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0));
        frame.resize(rowBytes * static_cast<std::size_t>(chosen.height));
        for (std::size_t r = 0; r < static_cast<std::size_t>(chosen.height); ++r) {
            std::memcpy(frame.data() + r * rowBytes, in + r * stride, rowBytes);
        }
        gst_video_frame_unmap(&mapped);
    }
    return ok;
}
