// Calibration files: the clicked or refined point pairs of one frame size and the homography they
// give, as JSON that other programs read. The matrices are written as OpenCV's FileStorage writes
// them, so cv::FileStorage(path, READ)["homography"] reads H.
#pragma once

#include <string>
#include <vector>

#include "calib/lensFit.h"
#include "calib/planeUnits.h"
#include "calib/pointSet.h"

struct Calibration {
    int frameWidth = 0;
    int frameHeight = 0;
    std::vector<Point> input;   // input-frame points
    std::vector<Point> output;  // output-frame points, paired with input by position
    linal::Matrix H{3, 3, 0.0};
    linal::Matrix inverse{3, 3, 0.0};
    LensDistortion lens{};              // none: H alone
    std::vector<StraightLine> lines{};  // evidence for the lens, input-frame points
    // With a unit, output holds planeToOutput of the plane points and the output frame is the
    // layout's; without, output points are pixels of an output frame the input frame's size.
    PlaneUnits plane{};
    PlaneLayout layout{};
};

// With a plane, lays it out again (calibratePlane) from the calibration's input points, plane
// and lines, with the lens when it has one, and sets H, inverse, lens, output and layout; the
// problem when that is refused, the calibration then unchanged. Nothing without a plane.
std::string layOutPlane(Calibration& calibration);

// The version this program writes: 2, whose points may be refined (fractional). It reads
// version 1 (whole pixels) too.
inline constexpr int calibrationFormatVersion = 2;
// No calibration file is larger; bigger files are refused before they are read.
inline constexpr unsigned long long maxCalibrationFileBytes = 1 << 20;

// The file's text: format version, frame size, both point lists, H and its inverse at full
// precision (each double reads back to the same bits), the reprojection errors and the
// time `savedAt` (UTC, ISO 8601). With a lens also its model and parameters, the straight
// lines, and OpenCV's cameraMatrix and distCoeffs nodes of the nearest OpenCV model. With a
// plane also the plane (unit, points, scale, extent, planeToOutput) and the output frame.
std::string calibrationJson(const Calibration& calibration, const std::string& savedAt);

// Writes calibrationJson with the current time, atomically as Save BMP does. False when the
// file could not be written; any file of that name is then left as it was.
bool saveCalibration(const char* path, const Calibration& calibration);

// Reads a calibration file and estimates H (and the lens, when the file has one) from its
// points and lines as the Calibration checkbox does. On success `calibration` holds the file's
// frame size and points with the estimated H and inverse, and the result is empty; otherwise
// `calibration` is unchanged and the result says what is wrong with the file.
std::string loadCalibration(const char* path, Calibration& calibration);
