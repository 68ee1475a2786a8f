#include "capture/namedSource.h"

#include "capture/VirtualCamera.h"

namespace {

// The parser ghosts the converter's sink pad, which stays unlinked until the decoder adds
// its own pad: without the ghost, that pad can link to it.
void dropSinkGhost(GstElement* sourceBin) {
    if (const std::unique_ptr<GstPad, GstRelease<gst_object_unref>> ghost{
            gst_element_get_static_pad(sourceBin, "sink")}) {
        gst_element_remove_pad(sourceBin, ghost.get());
    }
}

}  // namespace

CameraSource sourceNamed(const std::string& name, const std::vector<CameraDevice>& devices) {
    if (name == "virtual") {
        return virtualCameraSource();
    }
    for (const CameraDevice& device : devices) {
        if (device.name == name) {
            return sourceNamed(device.path, {});
        }
    }
    if (name.rfind('/', 0) == 0) {
        return {"v4l2src device=\"" + name + "\"", {}, name, {}, false};
    }
    for (const char* scheme : {"rtsp://", "http://", "https://", "file://"}) {
        if (name.rfind(scheme, 0) == 0) {
            // Scaling and pacing only take hold should the stream change its size or rate
            // after it started; a recorded video starts over at its end.
            return {"uridecodebin uri=\"" + name + "\" ! videoconvert ! videoscale ! videorate",
                    dropSinkGhost, name, name, name.rfind("file://", 0) == 0};
        }
    }
    // GStreamer's parser reads caps only between two elements: caps at the end get one.
    const bool endsInCaps = name.substr(name.rfind('!') + 1).find('/') != std::string::npos;
    return {endsInCaps ? name + " ! identity" : name, {}, name, {}, false};
}
