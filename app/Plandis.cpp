#include "app/Plandis.h"

#include <QGuiApplication>

#include "app/PlandisDlg.h"
#include "app/resource.h"
#include "plandisVersion.h"

// In this order; one translation unit fixes it.
PlandisApp theApp;
PlandisDlg* mainDialog = nullptr;
FrameDrawing inputImage;
FrameDrawing outputImage;
linal::Matrix homography(3, 3, 0.0);
linal::Matrix homographyInverse(3, 3, 0.0);

bool PlandisApp::InitInstance() {
    QGuiApplication::setApplicationVersion(QString::fromLatin1(versionNumber));
    QGuiApplication::setDesktopFileName(QStringLiteral("plandis"));
    PlandisDlg dialog;
    dialog.exec();
    return false;
}
