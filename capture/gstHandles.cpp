#include "capture/gstHandles.h"

#include <mutex>

void StopAndUnref::operator()(GstElement* pipeline) const {
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

void releaseCaps(GstCaps* caps) {
    gst_caps_unref(caps);
}

bool initGStreamer() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = gst_init_check(nullptr, nullptr, nullptr) != FALSE; });
    return ready;
}
