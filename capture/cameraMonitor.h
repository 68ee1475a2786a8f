// The system's video capture devices, as GStreamer's device monitor lists them.
#pragma once

#include <gst/gst.h>

#include <vector>

#include "capture/CaptureDriver.h"

// The distinct fixed sizes in caps with their rates, largest first and, within a size,
// fastest first. A rate given as a range counts at its fastest; none as 0.
std::vector<CaptureMode> modesOffered(const GstCaps* caps);
