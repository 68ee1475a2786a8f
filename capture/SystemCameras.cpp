// Driver 0 of the system: the first camera, or the virtual camera when the system has no
// video device at all.
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/GstCamera.h"
#include "capture/VirtualCamera.h"
#include "capture/namedSource.h"

namespace {

// True for a V4L2 node that captures video; a camera also has metadata nodes, which do
// not. A node this user may not open counts: opening it then tells why it cannot be used.
bool capturesVideo(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == EACCES || errno == EPERM || errno == EBUSY;
    }
    v4l2_capability cap{};
    const bool ok = ::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
    ::close(fd);
    const unsigned caps =
        (cap.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? cap.device_caps : cap.capabilities;
    return ok && (caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0;
}

// /dev/video0, /dev/video1, ... in the order of their numbers.
std::vector<std::string> videoCaptureDevices() {
    std::vector<std::pair<long, std::string>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("video", 0) != 0 || name.size() == 5 ||
            name.find_first_not_of("0123456789", 5) != std::string::npos) {
            continue;
        }
        found.emplace_back(std::strtol(name.c_str() + 5, nullptr, 10), entry.path().string());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> devices;
    for (const auto& [number, path] : found) {
        if (capturesVideo(path)) {
            devices.push_back(path);
        }
    }
    return devices;
}

}  // namespace

std::string firstCamera(const std::vector<CameraDevice>& devices) {
    if (!devices.empty()) {
        return devices.front().path;
    }
    const std::vector<std::string> nodes = videoCaptureDevices();
    return nodes.empty() ? "virtual" : nodes.front();
}

std::unique_ptr<CaptureDriver> makeCaptureDriver(const CaptureChoice& choice) {
    // The first camera, and a device named by its name, are looked up when it is opened,
    // among the devices there then.
    return std::make_unique<GstCamera>(
        [name = choice.source] {
            const std::vector<CameraDevice> devices = cameraDevices();
            return std::vector{sourceNamed(name.empty() ? firstCamera(devices) : name, devices)};
        },
        choice.mode);
}

std::unique_ptr<CaptureDriver> makeVirtualCaptureDriver() {
    return std::make_unique<GstCamera>(
        [] { return std::vector<CameraSource>{virtualCameraSource()}; });
}

CaptureChoice captureChoice;

std::function<std::unique_ptr<CaptureDriver>()> captureDriverFactory = [] {
    return makeCaptureDriver(captureChoice);
};
