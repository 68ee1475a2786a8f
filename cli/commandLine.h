// The program's command line: the dialog, its --help and --version, and the rectify command
// that runs without a display.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "capture/CaptureDriver.h"

struct CommandLine {
    std::optional<int> exitStatus;  // set: the command ran, end with this status
    std::string calibration;        // otherwise: the dialog starts, loading this file if set
    std::string source;             // what Start Capture opens; empty: the system's camera
    CaptureMode mode;               // the size and rate Start Capture asks for
    bool sizeGiven = false;         // --size named the size
};

// Reads the arguments and runs what needs no dialog. Unknown options and bad values get one
// line on `err` and status 2.
CommandLine runCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err);
