// What --source names, as a GStreamer source: a device path or a device's name, "virtual",
// a URI, or a pipeline description of a video source.
#pragma once

#include <string>
#include <vector>

#include "capture/GstCamera.h"

CameraSource sourceNamed(const std::string& name, const std::vector<CameraDevice>& devices);
