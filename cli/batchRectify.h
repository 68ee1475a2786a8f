// Batch rectification: picture files warped through a calibration's homography, several at
// once, without a display.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "calib/calibrationFile.h"

struct BatchJob {
    Calibration calibration;
    std::vector<std::string> inputs;
    std::string outputFolder;  // each result keeps its input's file name
    int jobs = 1;              // pictures in flight at once
};

// Rectifies every input: BMP, PNG and JPEG in, the same format out. A grey picture (an 8-bit
// BMP, a grey PNG or JPEG) is warped as the dialog warps a grey frame, byte for byte; a colour
// picture gets the same warp on each of blue, green and red. A file that fails gets one line
// on `errors` and the rest go on; `progress`, when set, gets a progress line. The number of
// files that failed.
int rectifyFiles(const BatchJob& job, std::ostream& errors, std::ostream* progress);
