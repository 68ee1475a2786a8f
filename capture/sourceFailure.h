// What GStreamer reports of a source, in the user's terms: why it failed, and what a stream
// carries before it plays.
#pragma once

#include <gst/gst.h>

#include <string>

#include "capture/CaptureDriver.h"

// The cause an error message gives, for a device or, when `stream`, for a URI: a stream
// that cannot be read at all is unreachable. The detail is GStreamer's own message.
CaptureFailure causeOf(GstMessage* error, bool stream);

// The size and rate of the first video stream at `uri`, played up to its first frame
// (at most a few seconds); false with the reason when it cannot be read. A rate the
// stream does not state stays 0.
bool discoverStream(const std::string& uri, CaptureMode& mode, CaptureFailure& failure);
