// Calibration files and the rectify command, through their files on disk.
#include <gtest/gtest.h>

#include <QImage>
#include <fstream>
#include <nlohmann/json.hpp>
#include <opencv2/core.hpp>
#include <sstream>

#include "calib/calibrationFile.h"
#include "cli/commandLine.h"
#include "image/Image.h"
#include "tests/support/bmpFiles.h"
#include "tests/support/naiveReference.h"

namespace {

using nlohmann::json;

// Six pairs on a 64 × 48 frame, the last input point a little off.
Calibration sample() {
    const std::vector<Point> input = {{8, 6}, {55, 2}, {62, 46}, {1, 42}, {31, 22}, {19, 33}};
    const std::vector<Point> output = {{4, 4}, {60, 6}, {58, 44}, {3, 40}, {30, 20}, {20, 30}};
    const HomographyEstimate e = estimateHomography(input, output);
    return {64, 48, input, output, e.H, e.inverse};
}

const TempDir scratch;

// Each bad file is refused with a message that names its problem, and changes nothing.
TEST(CalibrationFile, RefusesBadFilesByNameAndRoundTripsBitForBit) {
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
        {[](json& f) { f["inputPoints"].erase(5); }, "different lengths"},
        {[](json& f) { f["outputPoints"][2][0] = 64; }, "outside the 64 x 48 frame"},
        {[](json& f) { f["homography"]["data"][2] = 1e-6 + f["homography"]["data"][2].get<double>(); },
         "does not match its points"}};
    // clang-format on
    for (const BadFile& bad : files) {
        json file = json::parse(calibrationJson(sample(), "now"));
        bad.spoil(file);
        std::ofstream(scratch.file("bad.json"), std::ios::trunc)
            << (file.is_string() ? file.get<std::string>() : file.dump());
        Calibration untouched{7, 0, {}, {}};
        EXPECT_NE(loadCalibration(scratch.file("bad.json").c_str(), untouched).find(bad.problem),
                  std::string::npos)
            << bad.problem;
        EXPECT_TRUE(untouched.frameWidth == 7 && untouched.input.empty());
    }
    // The same text means the same frame, lists, H and inverse, bit for bit: each double is
    // written in a form that reads back to itself.
    const Calibration saved = sample();
    ASSERT_TRUE(saveCalibration(scratch.file("round.json").c_str(), saved));
    Calibration loaded;
    ASSERT_EQ(loadCalibration(scratch.file("round.json").c_str(), loaded), "");
    EXPECT_EQ(calibrationJson(loaded, "t"), calibrationJson(saved, "t"));
    cv::Mat H;
    cv::FileStorage(scratch.file("round.json"), cv::FileStorage::READ)["homography"] >> H;
    ASSERT_TRUE(H.rows == 3 && H.cols == 3);
    for (int i = 0; i < 9; ++i)  // all 17 digits
        EXPECT_EQ(H.at<double>(i / 3, i % 3), saved.H(i / 3 + 1, i % 3 + 1));
}

// The command line as main runs it: the exit status, with what it wrote.
using Args = std::vector<std::string>;
int run(Args args, std::string& text, CommandLine* line = nullptr) {
    args.insert(args.begin(), "plandis");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    std::ostringstream out;
    const CommandLine result = runCommandLine(int(argv.size()), argv.data(), out, out);
    text = out.str();
    return (line != nullptr ? *line = result : result).exitStatus.value_or(-1);
}

// A grey BMP and a colour PNG of the calibration's size against the per-pixel warp of each
// channel; a bad file among them fails alone.
TEST(CommandLine, RectifiesEachChannelAsTheReferenceDoes) {
    std::filesystem::current_path(scratch.path);  // files named as a user types them
    const Calibration c = sample();
    ASSERT_TRUE(saveCalibration("cal.json", c));
    HomographyRows h;
    for (int i = 0; i < 9; ++i)
        h[i / 3][i % 3] = c.H(i / 3 + 1, i % 3 + 1);
    std::mt19937 random(5);
    const Bytes grey = randomBytes(64 * 48, random), colour = randomBytes(64 * 48 * 3, random);
    ASSERT_TRUE(Image().writeBmp("grey.bmp", grey.data(), 64, 48, 8));
    ASSERT_TRUE(QImage(colour.data(), 64, 48, 64 * 3, QImage::Format_BGR888).save("colour.png"));
    std::ofstream("broken.png") << "not a picture";
    std::string text;
    const Args rectify = {"rectify",  "--jobs",     "2",          "--calibration", "cal.json",
                          "grey.bmp", "broken.png", "colour.png", "--output",      "out"};
    EXPECT_EQ(run(rectify, text), 1);
    EXPECT_NE(text.find("broken.png: not a BMP, PNG or JPEG picture"), std::string::npos) << text;

    for (int channel = 0; channel < 4; ++channel) {  // blue, green, red, then grey
        const QImage out =
            QImage(channel < 3 ? "out/colour.png" : "out/grey.bmp")
                .convertToFormat(channel < 3 ? QImage::Format_BGR888 : QImage::Format_Grayscale8);
        ASSERT_EQ(out.size(), QSize(64, 48)) << channel;
        const std::size_t step = channel < 3 ? 3 : 1, at = std::size_t(channel % 3);
        Bytes plane(grey.size()), result(grey.size());
        for (std::size_t i = 0; i < plane.size(); ++i) {
            plane[i] = channel < 3 ? colour[3 * i + at] : grey[i];
            result[i] = out.constScanLine(int(i / 64))[step * (i % 64) + at];
        }
        EXPECT_TRUE(result == referenceWarp(plane.data(), 64, 48, h)) << channel;
    }
    // --help, --version, and misuse: one line and status 2.
    EXPECT_EQ(run({"--version"}, text), 0);
    EXPECT_EQ(text.rfind("plandis 1.0.0.1\n", 0), 0u);
    EXPECT_EQ(run({"--help"}, text), 0);
    for (const Args& bad : {Args{"--frob"}, Args{"rectify", "--jobs", "0", "a", "--output", "o"},
                            Args{"--size", "640"}, Args{"--size", "0x480"}, Args{"--size", "64x4o"},
                            Args{"--size", "640x16385"}, Args{"--fps", "0"}, Args{"--fps", "30.5"},
                            Args{"--fps", "1001"}, Args{"--source"}, Args{"--source", "a", "b"}}) {
        EXPECT_EQ(run(bad, text), 2) << bad[0];
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    }
    // The dialog's options reach it.
    CommandLine line;
    EXPECT_EQ(run({"--source", "/dev/video2", "--size", "1920x1080", "--fps", "25"}, text, &line),
              -1);
    EXPECT_EQ(
        std::tuple(line.source, line.mode.width, line.mode.height, line.mode.fps, line.sizeGiven),
        std::tuple("/dev/video2", 1920, 1080, 25, true));
}

}  // namespace
