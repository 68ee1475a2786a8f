#include "capture/sourceFailure.h"

#include "capture/gstHandles.h"

#include <gst/pbutils/pbutils.h>

#include <cerrno>
#include <cmath>
#include <memory>

namespace {

// A stream that does not answer within this long is reported unreachable.
constexpr GstClockTime kDiscoveryTimeout = 8 * GST_SECOND;

bool mentions(const std::string& text, int error) {
    return text.find(g_strerror(error)) != std::string::npos;
}

}  // namespace

CaptureFailure causeOf(GstMessage* message, bool stream) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    const std::unique_ptr<GError, GstRelease<g_error_free>> owned(error);
    const std::unique_ptr<gchar, GstRelease<g_free>> ownedDebug(debug);
    const std::string detail = std::string(error->message) + (debug != nullptr ? debug : "");
    const bool resource = error->domain == GST_RESOURCE_ERROR;
    using Cause = CaptureFailure::Cause;
    Cause cause = Cause::other;
    if ((resource && error->code == GST_RESOURCE_ERROR_BUSY) || mentions(detail, EBUSY)) {
        cause = Cause::busy;
    } else if ((resource && error->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED) ||
               mentions(detail, EACCES) || mentions(detail, EPERM)) {
        cause = Cause::permissionDenied;
    } else if (mentions(detail, ENODEV)) {
        cause = Cause::unplugged;
    } else if (!stream && resource && error->code == GST_RESOURCE_ERROR_NOT_FOUND) {
        cause = Cause::noDevice;
    } else if (stream && resource) {
        cause = Cause::unreachable;
    }
    return {cause, {}, error->message};
}

bool discoverStream(const std::string& uri, CaptureMode& mode, CaptureFailure& failure) {
    GError* error = nullptr;
    const std::unique_ptr<GstDiscoverer, GstRelease<g_object_unref>> discoverer(
        gst_discoverer_new(kDiscoveryTimeout, &error));
    const std::unique_ptr<GError, GstRelease<g_error_free>> discovererError(error);
    if (discoverer == nullptr) {
        failure = {CaptureFailure::Cause::other, uri, error != nullptr ? error->message : ""};
        return false;
    }
    error = nullptr;
    const std::unique_ptr<GstDiscovererInfo, GstRelease<g_object_unref>> info(
        gst_discoverer_discover_uri(discoverer.get(), uri.c_str(), &error));
    const std::unique_ptr<GError, GstRelease<g_error_free>> readError(error);
    const GstDiscovererResult result =
        info != nullptr ? gst_discoverer_info_get_result(info.get()) : GST_DISCOVERER_ERROR;
    GList* videos = info != nullptr ? gst_discoverer_info_get_video_streams(info.get()) : nullptr;
    const std::unique_ptr<GList, GstRelease<gst_discoverer_stream_info_list_free>> owned(videos);
    using Cause = CaptureFailure::Cause;
    if (result != GST_DISCOVERER_OK || videos == nullptr) {
        // A stream that answers but holds no video, or needs a decoder this system lacks,
        // is reachable: only its words help.
        const bool reachable =
            result == GST_DISCOVERER_OK || result == GST_DISCOVERER_MISSING_PLUGINS;
        failure = {reachable ? Cause::other : Cause::unreachable, uri,
                   error != nullptr ? error->message
                   : reachable      ? "no video this program can decode"
                                    : "no answer"};
        return false;
    }
    auto* video = static_cast<GstDiscovererVideoInfo*>(videos->data);
    const double num = gst_discoverer_video_info_get_framerate_num(video);
    const double den = gst_discoverer_video_info_get_framerate_denom(video);
    mode = {static_cast<int>(gst_discoverer_video_info_get_width(video)),
            static_cast<int>(gst_discoverer_video_info_get_height(video)),
            num > 0 && den > 0 ? static_cast<int>(std::lround(num / den)) : 0};
    if (mode.width <= 0 || mode.height <= 0) {
        failure = {Cause::other, uri, "the stream states no picture size"};
        return false;
    }
    return true;
}
