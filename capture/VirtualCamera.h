// The built-in virtual camera: the test chart at 640 × 480 YUY2, 30 frames per second,
// produced by an appsrc so that its frames take the same way as a camera's.
#pragma once

#include "capture/GstCamera.h"

CameraSource virtualCameraSource();
