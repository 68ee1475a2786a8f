// The Camera menu: which source Start Capture opens and at which mode. It lists the video
// capture devices there are when it opens, then the virtual camera and a source the
// command line named, if any, even once another is chosen; then the sizes and rates of the
// chosen device.
#include <QActionGroup>
#include <QMenu>

#include <algorithm>

#include "app/PlandisDlg.h"
#include "capture/CaptureDriver.h"
#include "capture/CaptureWindow.h"

namespace {

constexpr const char* kVirtual = "virtual";

// A long source description, shortened in the middle to fit a menu; its tooltip holds it
// whole.
QString shortened(const std::string& source) {
    constexpr qsizetype kLongest = 40;
    const QString text = QString::fromStdString(source);
    return text.size() <= kLongest
               ? text
               : text.left(kLongest / 2) + QChar(0x2026) + text.right(kLongest - kLongest / 2 - 1);
}

QString modeText(const CaptureMode& mode) {
    return QStringLiteral("%1 × %2, %3 fps").arg(mode.width).arg(mode.height).arg(mode.fps);
}

}  // namespace

void PlandisDlg::addCameraMenu() {
    sysMenu->addSeparator();
    QMenu* menu = sysMenu->addMenu(QStringLiteral("Camera"));
    menu->setToolTipsVisible(true);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillCameraMenu(*menu); });
}

QString PlandisDlg::cameraText(const CameraDevice& device) {
    return QString::fromStdString(device.name + " (" + device.path + ")");
}

void PlandisDlg::fillCameraMenu(QMenu& menu) {
    menu.clear();
    const std::vector<CameraDevice> devices = cameraDevices();
    const std::string inUse =
        captureChoice.source.empty() ? firstCamera(devices) : captureChoice.source;
    const auto choice = [this, &menu](const QString& text, bool checked, CaptureChoice chosen) {
        QAction* action = menu.addAction(text, this, [this, chosen] { chooseCapture(chosen); });
        action->setCheckable(true);
        action->setChecked(checked);
        return action;
    };
    const auto listed = [&devices](const std::string& source) {
        return source == kVirtual ||
               std::any_of(devices.begin(), devices.end(), [&source](const CameraDevice& d) {
                   return d.path == source || d.name == source;
               });
    };
    // Another camera keeps the mode asked for, and whether --size named its size.
    const auto sameMode = [](const std::string& source) {
        return CaptureChoice{source, captureChoice.mode, captureChoice.sizeGiven};
    };
    const CameraDevice* chosenDevice = nullptr;
    for (const CameraDevice& device : devices) {
        const bool chosen = device.path == inUse || device.name == inUse;
        chosenDevice = chosen ? &device : chosenDevice;
        choice(cameraText(device), chosen, sameMode(device.path));
    }
    choice(QStringLiteral("Virtual camera"), inUse == kVirtual, sameMode(kVirtual));
    namedSource = listed(inUse) ? namedSource : inUse;
    if (!namedSource.empty() && !listed(namedSource)) {
        QString text = shortened(namedSource);
        choice(text.replace('&', "&&"), namedSource == inUse, sameMode(namedSource))
            ->setToolTip(QString::fromStdString(namedSource));
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
