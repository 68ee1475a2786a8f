#include "capture/cameraMonitor.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "capture/gstHandles.h"

namespace {

void addRates(const GValue* rate, int width, int height, std::vector<CaptureMode>& modes) {
    if (rate == nullptr) {
        modes.push_back({width, height, 0});
    } else if (GST_VALUE_HOLDS_FRACTION(rate)) {
        const int num = gst_value_get_fraction_numerator(rate);
        const int den = gst_value_get_fraction_denominator(rate);
        modes.push_back(
            {width, height, den > 0 ? static_cast<int>(std::lround(1.0 * num / den)) : 0});
    } else if (GST_VALUE_HOLDS_LIST(rate)) {
        for (guint i = 0; i < gst_value_list_get_size(rate); ++i) {
            addRates(gst_value_list_get_value(rate, i), width, height, modes);
        }
    } else if (GST_VALUE_HOLDS_FRACTION_RANGE(rate)) {
        addRates(gst_value_get_fraction_range_max(rate), width, height, modes);
    }
}

// Started once, on first use, and kept: while it runs, its list follows the cameras as
// they are plugged in and out.
GstDeviceMonitor* startedMonitor() {
    static GstDeviceMonitor* const monitor = []() -> GstDeviceMonitor* {
        if (!initGStreamer()) {
            return nullptr;
        }
        std::unique_ptr<GstDeviceMonitor, GstRelease<gst_object_unref>> m(gst_device_monitor_new());
        gst_device_monitor_add_filter(m.get(), "Video/Source", nullptr);
        // Devices are opened by their V4L2 path, so PipeWire must not hide those.
        gst_device_monitor_set_show_all_devices(m.get(), TRUE);
        // Nobody reads its messages: the list itself is asked each time.
        const std::unique_ptr<GstBus, GstRelease<gst_object_unref>> bus(
            gst_device_monitor_get_bus(m.get()));
        gst_bus_set_flushing(bus.get(), TRUE);
        return gst_device_monitor_start(m.get()) ? m.release() : nullptr;
    }();
    return monitor;
}

std::vector<CameraDevice> monitoredDevices() {
    GstDeviceMonitor* monitor = startedMonitor();
    if (monitor == nullptr) {
        return {};
    }
    std::vector<CameraDevice> devices;
    GList* list = gst_device_monitor_get_devices(monitor);
    for (GList* item = list; item != nullptr; item = item->next) {
        GstDevice* device = GST_DEVICE(item->data);
        const std::unique_ptr<GstStructure, GstRelease<gst_structure_free>> properties(
            gst_device_get_properties(device));
        const char* api =
            properties ? gst_structure_get_string(properties.get(), "device.api") : nullptr;
        const char* path =
            properties ? gst_structure_get_string(properties.get(), "device.path") : nullptr;
        if (api == nullptr || std::string(api) != "v4l2" || path == nullptr) {
            continue;
        }
        const std::unique_ptr<gchar, GstRelease<g_free>> name(gst_device_get_display_name(device));
        const GstCapsRef caps(gst_device_get_caps(device));
        devices.push_back({name ? name.get() : path, path,
                           caps ? modesOffered(caps.get()) : std::vector<CaptureMode>{}});
    }
    g_list_free_full(list, gst_object_unref);
    std::sort(devices.begin(), devices.end(), [](const CameraDevice& a, const CameraDevice& b) {
        return std::pair(a.path.size(), a.path) < std::pair(b.path.size(), b.path);
    });
    return devices;
}

}  // namespace

std::vector<CaptureMode> modesOffered(const GstCaps* caps) {
    std::vector<CaptureMode> modes;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* s = gst_caps_get_structure(caps, i);
        int width = 0;
        int height = 0;
        if (gst_structure_get_int(s, "width", &width) &&
            gst_structure_get_int(s, "height", &height)) {
            addRates(gst_structure_get_value(s, "framerate"), width, height, modes);
        }
    }
    const auto key = [](const CaptureMode& m) {
        return std::tuple(-static_cast<long>(m.width) * m.height, -m.width, -m.fps);
    };
    std::sort(modes.begin(), modes.end(),
              [&](const CaptureMode& a, const CaptureMode& b) { return key(a) < key(b); });
    modes.erase(std::unique(modes.begin(), modes.end()), modes.end());
    return modes;
}

std::function<std::vector<CameraDevice>()> cameraDevices = monitoredDevices;
