// What --source names, as a GStreamer source: a device path, "virtual", a URI, or a
// pipeline description of a video source.
#pragma once

#include <string>

#include "capture/GstCamera.h"

CameraSource sourceNamed(const std::string& name);
