// Calibration files on disk: what is refused, what reads back, and what OpenCV reads of them.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>

#include "calib/calibrationFile.h"
#include "tests/support/bmpFiles.h"
#include "tests/support/calibrations.h"

namespace {

using nlohmann::json;
using samples::lensCalibration;
using samples::planeSample;

// Six pairs on a 64 × 48 frame, the last input point a little off, one refined.
Calibration sample() {
    const std::vector<Point> input = {{8, 6}, {55, 2}, {62, 46}, {1, 42}, {31.25, 22}, {19, 33}};
    const std::vector<Point> output = {{4, 4}, {60, 6}, {58, 44}, {3, 40}, {30, 20}, {20, 30}};
    const HomographyEstimate e = estimateHomography(input, output);
    return {64, 48, input, output, e.H, e.inverse};
}

json plane() {
    return json::parse(calibrationJson(planeSample(), "now"));
}

const TempDir scratch;

// Each bad file is refused with a message that names its problem, and changes nothing.
TEST(CalibrationFile, RefusesEachBadFileByName) {
    // clang-format off
    // spoil is applied to the good file (a string replaces it); the message names the problem.
    struct BadFile { std::function<void(json&)> spoil; const char* problem; };
    const BadFile files[] = {
        {[](json& f) { f = "calibration: yes"; }, "not valid JSON"},
        {[](json& f) { f = std::string((1 << 20) + 1, ' '); }, "too large"},
        {[](json& f) { f = "{\"version\": 1e999}"; }, "overflow"},
        {[](json& f) { f.erase("homographyInverse"); }, "\"homographyInverse\" is missing"},
        {[](json& f) { f["homography"]["rows"] = 2; }, "not a 3 x 3"},
        {[](json& f) { f["frame"]["width"] = 0; }, "frame size is not positive"},
        {[](json& f) { f["version"] = 1; }, "not a whole pixel"},  // 31.25
        {[](json& f) { f["version"] = 3; }, "version other than 1 or 2"},
        {[](json& f) { f["inputPoints"].erase(5); }, "different lengths"},
        {[](json& f) { f["outputPoints"][2][0] = 64; }, "outside the 64 x 48 frame"},
        {[](json& f) { f["homography"]["data"][2] = 1e-6 + f["homography"]["data"][2].get<double>(); },
         "does not match its points"},
        {[](json& f) { f["lensDistortion"] = {{"model", "division"}, {"k", {-0.01, 0}}, {"centre", {31.5, 23.5}},
                                              {"radius", std::hypot(31.5, 23.5)}}; },
         "lens distortion does not match"},  // six pairs, no lines: no lens to estimate
        {[](json& f) { f["lensDistortion"] = {{"model", "division"}, {"k", {-0.01, 0}}, {"centre", {0, 23.5}},
                                              {"radius", std::hypot(31.5, 23.5)}}; }, "not centred"},
        {[](json& f) { f["lensDistortion"] = {{"model", "division"}, {"k", {-0.01, 0}}, {"centre", {31.5, 0}},
                                              {"radius", std::hypot(31.5, 23.5)}}; }, "not centred"},
        {[](json& f) { f["lensDistortion"] = {{"model", "division"}, {"k", {-0.01, 0}}, {"centre", {31.5, 23.5}},
                                              {"radius", 1}}; }, "not centred"},
        {[](json& f) { f["lensDistortion"] = {{"model", "polynomial"}, {"k", {0, 0}}}; }, "not a division model"},
        // A plane: its values, and its output frame and points as they follow from them.
        {[](json& f) { f = plane(); f["plane"]["scale"] = 0; }, "plane is refused: the scale"},
        {[](json& f) { f = plane(); f["plane"]["scale"] = "2"; }, "\"scale\" holds something that is not a number"},
        {[](json& f) { f = plane(); f["plane"]["extent"]["kind"] = "all"; }, "extent kind is not fit"},
        {[](json& f) { f = plane(); f["plane"]["extent"] = {{"kind", "rectangle"}, {"x", 0}, {"y", 0},
                       {"width", 1e300}, {"height", 1}, {"margin", 0}}; }, "too large"},
        {[](json& f) { f = plane(); f["plane"]["unit"] = 5; }, "unit of its plane is not a name"},
        {[](json& f) { f = plane(); f["plane"]["unit"] = ""; }, "unit of its plane is not a name"},
        {[](json& f) { f = plane(); f["plane"]["points"][1] = {0, 0}; }, "refused: the points do not give"},
        {[](json& f) { f = plane(); f["plane"]["points"][1][0] = 90; }, "does not match its points"},
        {[](json& f) { f = plane(); f["outputFrame"]["width"] = 57; }, "output frame does not match"},
        {[](json& f) { f = plane(); f["outputFrame"]["height"] = 57; }, "output frame does not match"},
        {[](json& f) { f = plane(); f["plane"]["planeToOutput"]["data"][2] = 2; }, "output frame does not match"},
        {[](json& f) { f = plane(); f["outputPoints"][1][0] = 52; }, "not its plane points laid out"},
        {[](json& f) { f = plane(); f["outputPoints"][1][1] = 52; }, "not its plane points laid out"},
        {[](json& f) { f = plane(); f["outputPoints"][1][0] = 56; }, "outside the 56 x 56 frame"}};
    // clang-format on
    for (const BadFile& bad : files) {
        SCOPED_TRACE(bad.problem);
        json file = json::parse(calibrationJson(sample(), "now"));
        bad.spoil(file);
        std::ofstream(scratch.file("bad.json"), std::ios::trunc)
            << (file.is_string() ? file.get<std::string>() : file.dump());
        Calibration untouched{7, 0, {}, {}};
        EXPECT_NE(loadCalibration(scratch.file("bad.json").c_str(), untouched).find(bad.problem),
                  std::string::npos);
        EXPECT_EQ(untouched.frameWidth, 7);
        EXPECT_TRUE(untouched.input.empty());
    }
}

// The same text means the same frame, lists, H and inverse, plane, lens and line (a plane
// with a lens too), bit for bit: each double is written in a form that reads back to itself.
// OpenCV reads H and the errors (how far H sends each output point from its input point), the
// plane's layout, and the lens: its undistortion with the file's cameraMatrix and distCoeffs
// agrees with ours.
TEST(CalibrationFile, RoundTripsBitForBitAndOpenCvReadsIt) {
    Calibration lensPlane = lensCalibration();  // not square, its lens fitted with the plane
    lensPlane.plane = {"mm", lensPlane.output, 2, PlaneExtent::rectangle, 0, {-10, -4, 120, 110}};
    ASSERT_EQ(layOutPlane(lensPlane), "");
    Calibration plain = lensPlane;  // laid out without a lens, it gets none, 80 pairs or not
    plain.lens = centredLens(64, 48);
    ASSERT_EQ(layOutPlane(plain), "");
    EXPECT_TRUE(plain.lens.none());
    const Calibration saved[] = {sample(), planeSample(), lensCalibration(), lensPlane};
    ASSERT_FALSE(saved[2].lens.none());
    ASSERT_FALSE(saved[3].lens.none());
    const auto path = [](std::size_t i) { return scratch.file(std::to_string(i) + ".json"); };
    for (std::size_t i = 0; i < std::size(saved); ++i) {
        ASSERT_TRUE(saveCalibration(path(i).c_str(), saved[i]));
        Calibration loaded;
        ASSERT_EQ(loadCalibration(path(i).c_str(), loaded), "");
        EXPECT_EQ(calibrationJson(loaded, "t"), calibrationJson(saved[i], "t"));
    }
    const cv::FileStorage file(path(0), cv::FileStorage::READ);
    cv::Mat H;
    file["homography"] >> H;
    ASSERT_EQ(H.size(), cv::Size(3, 3));
    for (int i = 0; i < 9; ++i)  // all 17 digits
        EXPECT_EQ(H.at<double>(i / 3, i % 3), saved[0].H(i / 3 + 1, i % 3 + 1));
    std::vector<double> errors;  // which list is which is the file's own decision
    file["reprojectionErrors"] >> errors;
    EXPECT_EQ(errors, reprojectionErrors(saved[0].H, saved[0].output, saved[0].input));
    const cv::FileStorage planeFile(path(1), cv::FileStorage::READ);
    cv::Mat S;
    planeFile["plane"]["planeToOutput"] >> S;
    EXPECT_EQ(S.at<double>(0, 0), 0.5);
    EXPECT_EQ(S.at<double>(1, 2), 2.5);  // 5 mm margin at 2 mm a pixel
    EXPECT_EQ(std::string(planeFile["plane"]["unit"]), "mm");
    EXPECT_EQ(std::string(planeFile["plane"]["extent"]["kind"]), "points");
    EXPECT_EQ(int(planeFile["outputFrame"]["width"]), 56);  // (100 + 2 · 5) / 2 + 1
    const cv::FileStorage wide(path(3), cv::FileStorage::READ);
    wide["plane"]["planeToOutput"] >> S;
    EXPECT_EQ(S.at<double>(1, 2), 2);                  // its top 4 mm above y = 0
    EXPECT_EQ(int(wide["outputFrame"]["width"]), 61);  // 120 / 2 + 1
    const cv::FileStorage lensFile(path(2), cv::FileStorage::READ);
    cv::Mat K, D;
    lensFile["cameraMatrix"] >> K;
    lensFile["distCoeffs"] >> D;
    std::vector<cv::Point2d> delivered, ideal;
    for (int i = 0; i <= 20; ++i)
        delivered.push_back({63.0 * i / 20, 47.0 * (i % 7) / 6});
    cv::undistortPoints(delivered, ideal, K, D, cv::noArray(), K);
    for (std::size_t i = 0; i < ideal.size(); ++i) {
        const Point ours = undistort(saved[2].lens, {delivered[i].x, delivered[i].y});
        EXPECT_LT(std::hypot(ours.x - ideal[i].x, ours.y - ideal[i].y), 0.005) << i;
    }
}

}  // namespace
