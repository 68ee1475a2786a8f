// Owners of GStreamer references, and GStreamer's one-time start. Every GStreamer object
// the capture facility takes is held by one of these, so each is released in one place.
#pragma once

#include <gst/gst.h>

#include <memory>

// Frees its object with the call GStreamer names for it.
template <auto release>
struct GstRelease {
    void operator()(auto* object) const { release(object); }
};

// A pipeline is stopped before its last reference goes, so that its threads end first.
struct StopAndUnref {
    void operator()(GstElement* pipeline) const;
};

using GstPipelineRef = std::unique_ptr<GstElement, StopAndUnref>;
// gst_caps_unref is an inline function of internal linkage, which a holder named in a
// header cannot take.
void releaseCaps(GstCaps* caps);
using GstCapsRef = std::unique_ptr<GstCaps, GstRelease<releaseCaps>>;

// Makes GStreamer ready once per process; false when it cannot start.
bool initGStreamer();
