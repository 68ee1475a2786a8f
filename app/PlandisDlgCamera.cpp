// The Camera menu: which source Start Capture opens and at which mode. It lists the video
// capture devices there are when it opens, then the virtual camera (and a source the
// command line named, if any), then the sizes and rates of the chosen device.
#include <QActionGroup>
#include <QMenu>

#include "app/PlandisDlg.h"
#include "capture/CaptureDriver.h"
#include "capture/CaptureWindow.h"

namespace {

constexpr const char* kVirtual = "virtual";

// What the system's driver 0 opens when no source is named.
std::string sourceInUse(const std::vector<CameraDevice>& devices) {
    if (!captureChoice.source.empty()) {
        return captureChoice.source;
    }
    return devices.empty() ? kVirtual : devices.front().path;
}

QString modeText(const CaptureMode& mode) {
    return QStringLiteral("%1 × %2, %3 fps").arg(mode.width).arg(mode.height).arg(mode.fps);
}

}  // namespace

void PlandisDlg::addCameraMenu() {
    sysMenu->addSeparator();
    QMenu* menu = sysMenu->addMenu(QStringLiteral("Camera"));
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillCameraMenu(*menu); });
}

void PlandisDlg::fillCameraMenu(QMenu& menu) {
    menu.clear();
    const std::vector<CameraDevice> devices = cameraDevices();
    const std::string inUse = sourceInUse(devices);
    const auto choice = [this, &menu](const QString& text, bool checked, CaptureChoice chosen) {
        QAction* action = menu.addAction(text, this, [this, chosen] { chooseCapture(chosen); });
        action->setCheckable(true);
        action->setChecked(checked);
    };
    const CameraDevice* chosenDevice = nullptr;
    for (const CameraDevice& device : devices) {
        const bool chosen = device.path == inUse || device.name == inUse;
        chosenDevice = chosen ? &device : chosenDevice;
        choice(QString::fromStdString(device.name + " (" + device.path + ")"), chosen,
               {device.path, captureChoice.mode});
    }
    choice(QStringLiteral("Virtual camera"), inUse == kVirtual, {kVirtual, captureChoice.mode});
    if (chosenDevice == nullptr && inUse != kVirtual) {
        choice(QString::fromStdString(inUse), true, captureChoice);
    }
    if (chosenDevice == nullptr || chosenDevice->modes.empty()) {
        return;
    }
    menu.addSeparator();
    // Without a rate of its own, the mode asked for runs at Start Capture's rate.
    CaptureMode asked = captureChoice.mode;
    asked.fps = asked.fps > 0 ? asked.fps : captureRate;
    for (const CaptureMode& mode : chosenDevice->modes) {
        choice(modeText(mode), mode == asked, {chosenDevice->path, mode});
    }
}

void PlandisDlg::chooseCapture(const CaptureChoice& chosen) {
    captureChoice = chosen;
    // A running capture changes over at once, as Stop and Start Capture would.
    if (captureWindow != nullptr && captureWindow->previewing()) {
        OnStopCapture();
        OnStartCapture();
    }
}
