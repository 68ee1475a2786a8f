// Plandis: planar camera calibration.
#include <QApplication>
#include <QTimer>

#include <iostream>

#include "app/Plandis.h"
#include "app/PlandisDlg.h"
#include "capture/CaptureDriver.h"
#include "cli/commandLine.h"
#include "frame/frameState.h"

int main(int argc, char** argv) {
    // The commands that need no window run before any toolkit object exists.
    const CommandLine commandLine = runCommandLine(argc, argv, std::cout, std::cerr);
    if (commandLine.exitStatus) {
        return *commandLine.exitStatus;
    }
    QApplication toolkit(argc, argv);
    captureChoice = {commandLine.source, commandLine.mode, commandLine.sizeGiven};
    if (!commandLine.calibration.empty()) {
        // Once the dialog runs, so that a refusal has its window to appear over.
        QTimer::singleShot(0, [path = commandLine.calibration] {
            if (mainDialog != nullptr) {
                mainDialog->loadCalibrationFile(path);
            }
        });
    }
    theApp.InitInstance();
    return 0;
}
