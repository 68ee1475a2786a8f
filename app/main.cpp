// Plandis: planar camera calibration.
#include <QApplication>

#include "app/Plandis.h"

int main(int argc, char** argv) {
    QApplication toolkit(argc, argv);
    theApp.InitInstance();
    return 0;
}
