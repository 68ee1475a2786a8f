// Calibration files and the rectify command, through their files on disk.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <opencv2/core.hpp>
#include <sstream>
#include <unistd.h>

#include "calib/calibrationFile.h"
#include "cli/commandLine.h"
#include "image/Image.h"
#include "tests/support/naiveReference.h"

namespace {

namespace fs = std::filesystem;

// Six pairs on a 64 × 48 frame; the last input point is a little off.
Calibration sample() {
    Calibration c;
    c.frameWidth = 64;
    c.frameHeight = 48;
    c.output = {{4, 4}, {60, 6}, {58, 44}, {3, 40}, {30, 20}, {20, 30}};
    c.input = {{8, 6}, {55, 2}, {62, 46}, {1, 42}, {31, 22}, {19, 33}};
    const HomographyEstimate estimate = estimateHomography(c.input, c.output);
    c.H = estimate.H;
    c.inverse = estimate.inverse;
    return c;
}

fs::path scratch(const std::string& name) {
    const fs::path dir =
        fs::temp_directory_path() / ("plandis_cli_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir / name;
}

TEST(CalibrationFile, RoundTripKeepsListsAndHBitForBitAndOpenCvReadsIt) {
    const Calibration saved = sample();
    const fs::path path = scratch("round.json");
    ASSERT_TRUE(saveCalibration(path.c_str(), saved));
    Calibration loaded;
    ASSERT_EQ(loadCalibration(path.c_str(), loaded), "");
    EXPECT_EQ(loaded.frameWidth, 64);
    EXPECT_EQ(loaded.frameHeight, 48);
    ASSERT_EQ(loaded.input.size(), 6u);
    cv::FileStorage storage(path.string(), cv::FileStorage::READ);
    cv::Mat H;
    storage["homography"] >> H;
    ASSERT_EQ(H.rows, 3);
    ASSERT_EQ(H.cols, 3);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_TRUE(loaded.input[i].x == saved.input[i].x && loaded.input[i].y == saved.input[i].y);
        EXPECT_TRUE(loaded.output[i].x == saved.output[i].x &&
                    loaded.output[i].y == saved.output[i].y);
    }
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 3; ++c) {
            EXPECT_EQ(loaded.H(r, c), saved.H(r, c));
            EXPECT_EQ(H.at<double>(r - 1, c - 1), saved.H(r, c));  // all 17 digits came through
        }
    }
}

struct BadFile {
    const char* name;
    std::function<void(nlohmann::json&, std::string&)> spoil;  // on the object or on the text
    const char* problem;
};

class BadCalibrationFile : public testing::TestWithParam<BadFile> {};

// Each bad file is refused with a message that names its problem, and changes nothing.
TEST_P(BadCalibrationFile, IsRefusedByName) {
    const fs::path path = scratch(std::string(GetParam().name) + ".json");
    nlohmann::json file = nlohmann::json::parse(calibrationJson(sample(), "now"));
    std::string text;
    GetParam().spoil(file, text);
    std::ofstream(path, std::ios::binary) << (text.empty() ? file.dump() : text);
    if (std::string(GetParam().name) == "Huge") {
        fs::resize_file(path, 100u << 20);
    }
    Calibration untouched;
    untouched.frameWidth = 7;
    EXPECT_NE(loadCalibration(path.c_str(), untouched).find(GetParam().problem), std::string::npos);
    EXPECT_EQ(untouched.frameWidth, 7);
    EXPECT_TRUE(untouched.input.empty());
    fs::remove(path);
}

using J = nlohmann::json;
INSTANTIATE_TEST_SUITE_P(
    Files, BadCalibrationFile,
    testing::Values(
        BadFile{"NotJson", [](J&, std::string& text) { text = "calibration: yes"; }, "not valid JSON"},
        BadFile{"Huge", [](J&, std::string& text) { text = "x"; }, "too large"},
        BadFile{"Overflow", [](J&, std::string& text) { text = "{\"version\": 1e999}"; }, "overflow"},
        BadFile{"NoInverse", [](J& f, std::string&) { f.erase("homographyInverse"); },
                "\"homographyInverse\" is missing"},
        BadFile{"NoFrameHeight", [](J& f, std::string&) { f["frame"].erase("height"); },
                "\"height\" is missing"},
        BadFile{"TwoRows", [](J& f, std::string&) { f["homography"]["rows"] = 2; }, "not a 3 x 3"},
        BadFile{"EightValues", [](J& f, std::string&) { f["homography"]["data"].erase(8); },
                "not a 3 x 3"},
        BadFile{"TextForANumber", [](J& f, std::string&) { f["homography"]["data"][0] = "1"; },
                "not a number"},
        BadFile{"ListsDiffer", [](J& f, std::string&) { f["inputPoints"].erase(5); },
                "different lengths"},
        BadFile{"PointRightOfFrame", [](J& f, std::string&) { f["outputPoints"][2][0] = 64; },
                "outside the 64 x 48 frame"},
        BadFile{"PointAboveFrame", [](J& f, std::string&) { f["inputPoints"][1][1] = -1; },
                "outside"},
        BadFile{"HNotFromItsPoints",
                [](J& f, std::string&) {
                    f["homography"]["data"][2] = f["homography"]["data"][2].get<double>() + 1e-6;
                },
                "does not match its points"},
        BadFile{"OtherVersion", [](J& f, std::string&) { f["version"] = 2; }, "format version"}),
    [](const auto& row) { return std::string(row.param.name); });

// Runs the command line as main would, with its output and status.
int run(std::vector<std::string> args, std::string* errors = nullptr) {
    args.insert(args.begin(), "plandis");
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    std::ostringstream out, err;
    const CommandLine result = runCommandLine(int(argv.size()), argv.data(), out, err);
    if (errors != nullptr) {
        *errors = out.str() + err.str();
    }
    return result.exitStatus.value_or(-1);
}

// Pictures of the calibration's size: a grey BMP and a colour PNG, each compared with the
// per-pixel warp of each of its channels; a bad file among them fails alone.
TEST(Rectify, WarpsEachChannelAsTheReferenceDoes) {
    const Calibration c = sample();
    ASSERT_TRUE(saveCalibration(scratch("cal.json").c_str(), c));
    HomographyRows h;
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) {
            h[r][k] = c.H(r + 1, k + 1);
        }
    }
    std::mt19937 random(5);
    const std::vector<unsigned char> grey = randomBytes(64 * 48, random);
    const std::vector<unsigned char> colour = randomBytes(64 * 48 * 3, random);
    Image bmp;
    ASSERT_TRUE(bmp.writeBmp(scratch("grey.bmp").c_str(), grey.data(), 64, 48, 8));
    ASSERT_TRUE(QImage(colour.data(), 64, 48, 64 * 3, QImage::Format_BGR888)
                    .save(scratch("colour.png").c_str()));
    std::ofstream(scratch("broken.png")) << "not a picture";
    std::string errors;
    EXPECT_EQ(
        run({"rectify", "--jobs", "2", "--calibration", scratch("cal.json"), scratch("grey.bmp"),
             scratch("broken.png"), scratch("colour.png"), "--output", scratch("out")},
            &errors),
        1);
    EXPECT_NE(errors.find("broken.png: not a BMP, PNG or JPEG picture"), std::string::npos)
        << errors;

    Image greyOut;
    ASSERT_TRUE(greyOut.readBmp(scratch("out/grey.bmp").c_str()));
    unsigned char* rows = nullptr;
    greyOut.getData(rows);
    EXPECT_TRUE(
        std::equal(rows, rows + grey.size(), referenceWarp(grey.data(), 64, 48, h).begin()));
    delete[] rows;
    const QImage colourOut(QString::fromStdString(scratch("out/colour.png")));
    ASSERT_EQ(colourOut.size(), QSize(64, 48));
    for (int channel = 0; channel < 3; ++channel) {
        std::vector<unsigned char> plane(grey.size());
        for (std::size_t i = 0; i < plane.size(); ++i) {
            plane[i] = colour[3 * i + std::size_t(channel)];
        }
        const std::vector<unsigned char> expected = referenceWarp(plane.data(), 64, 48, h);
        const QImage bgr = colourOut.convertToFormat(QImage::Format_BGR888);
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) {
                ASSERT_EQ(bgr.constScanLine(y)[3 * x + channel], expected[std::size_t(y * 64 + x)])
                    << x << "," << y;
            }
        }
    }
}

TEST(CommandLine, HelpVersionAndMisuse) {
    std::string text;
    EXPECT_EQ(run({"--version"}, &text), 0);
    EXPECT_EQ(text.rfind("plandis 1.0.0.1\n", 0), 0u);
    EXPECT_EQ(run({"--help"}, &text), 0);
    EXPECT_NE(text.find("rectify --calibration FILE"), std::string::npos);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--frob"},
                                                {"rectify", "--jobs", "0", "a", "--output", "o"},
                                                {"rectify", "a", "--output", "o"},
                                                {"--calibration"}}) {
        EXPECT_EQ(run(bad, &text), 2) << bad[0];
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    }
    EXPECT_EQ(run({}), -1);
}

}  // namespace
