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

// Rectifies every input that Load BMP shows, read as it reads them, into the output folder:
// each in its own format (one Qt cannot write, such as GIF, as PNG under the same base name),
// a picture whose pixels are all grey as a grey one, a colour one with the same warp on each
// of blue, green and red. Refuses everything (one line on `errors`, status 2) when an output
// would be written over an input file. Otherwise a file that fails or is cut short gets one
// line on `errors` and the rest go on; `progress`, when set, gets a progress line. The exit
// status: 0, 1 when any file failed, 2 when refused.
int rectifyFiles(const BatchJob& job, std::ostream& errors, std::ostream* progress);
