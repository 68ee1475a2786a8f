// The command line: rectify, measure and chart through their files on disk, help, misuse
// and the dialog's options.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QImage>
#include <QImageReader>
#include <fstream>
#include <sstream>

#include "cli/commandLine.h"
#include "image/Image.h"
#include "tests/support/bmpFiles.h"
#include "tests/support/calibrations.h"
#include "tests/support/naiveReference.h"

namespace {

using samples::lensCalibration;
using samples::planeSample;

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
long lines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

// Every test works in one folder, naming files as a user types them, with three calibrations
// there: pixels.json of the sample picture's size whose homography moves one corner,
// plane.json and lens.json.
const TempDir scratch;
const bool calibrated = [] {
    std::filesystem::current_path(scratch.path);
    const std::vector<Point> corners = {{0, 0}, {4, 0}, {4, 1}, {0, 1}};
    const std::vector<Point> moved = {{1, 0}, {4, 0}, {4, 1}, {0, 1}};
    const HomographyEstimate e = estimateHomography(moved, corners);
    std::string file = calibrationJson({sample::W, sample::H, moved, corners, e.H, e.inverse}, "");
    file.replace(file.find("\"version\": 2"), 12, "\"version\": 1");  // version 1 files still load
    std::ofstream("pixels.json") << file;
    return saveCalibration("plane.json", planeSample()) &&
           saveCalibration("lens.json", lensCalibration());
}();

// H's rows, each entry divided by `scale`.
HomographyRows rowsOf(const linal::Matrix& H, double scale = 1) {
    HomographyRows h;
    for (int i = 0; i < 9; ++i)
        h[i / 3][i % 3] = H(i / 3 + 1, i % 3 + 1) / scale;
    return h;
}

// A file's first two bytes, which name its format: "BM", "\x89P" (PNG), "\xFF\xD8" (JPEG).
std::string magic(const std::string& path) {
    const Bytes b = readFile(path);
    return std::string(b.begin(), b.begin() + std::min(2L, long(b.size())));
}

// Every kind of file Load BMP shows, a PNG and a grey JPEG go through rectify at once: each
// comes out in its own format, grey when all its pixels are. Files cut short, a FIFO, a
// broken file, pictures of another width or height and a second input of an earlier one's
// file name fail alone, one line each.
TEST(Rectify, KeepsEachPicturesFormatAndGreynessAndFailsFilesAlone) {
    ASSERT_TRUE(calibrated);
    Args rectify = {"rectify", "--jobs", "2", "--calibration", "pixels.json", "--output", "out"};
    std::vector<std::pair<std::string, std::string>> failing = {
        {"fifo.bmp", "not a regular file"},
        {"broken.png", "not a picture"},
        {"huge.bmp", "not a picture"},
        {"cut.png", "the file ends before"},
        {"stopped.gif", "the file ends before"},
        {"wide.bmp", "the picture is 6 x 2"},
        {"wide.png", "the picture is 6 x 2"},
        {"tall.bmp", "the picture is 5 x 3"},
        {"tall.png", "the picture is 5 x 3"},
        {"sub/k0.bmp", "another input has the same file name"}};
    // Each output's first two bytes and whether it is grey.
    std::vector<std::tuple<std::string, std::string, bool>> outputs = {
        {"grey.jpg", "\xFF\xD8", true}, {"green.bmp", "BM", false}, {"red.bmp", "BM", false}};
    for (std::size_t i = 0; i < std::size(pictureKinds); ++i) {
        const PictureKind& k = pictureKinds[i];
        const Bytes picture = kindPicture(k);
        rectify.push_back("k" + std::to_string(i) + (k.compression < 0 ? ".png" : ".bmp"));
        if (k.compression < 0)
            QImage(picture.data(), sample::W, sample::H, sample::W * 3, QImage::Format_BGR888)
                .save(rectify.back().c_str());
        else
            writeFile(rectify.back(), kindFile(k));
        bool grey = true;
        for (std::size_t p = 0; p < picture.size(); p += 3)
            grey = grey && picture[p] == picture[p + 1] && picture[p] == picture[p + 2];
        if (k.variant == 2)
            failing.emplace_back(rectify.back(), "the file ends before");
        else
            outputs.emplace_back(rectify.back(), k.compression < 0 ? "\x89P" : "BM", grey);
    }
    const Bytes png = readFile("k13.png");
    writeFile("cut.png", Bytes(png.begin(), png.end() - 12));
    writeFile("stopped.gif", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0});  // no closing mark
    std::ofstream("broken.png") << "not a picture";
    std::ofstream("huge.bmp") << "BM";
    std::filesystem::resize_file("huge.bmp", std::uintmax_t{1} << 29);  // sparse, beyond any BMP
    ASSERT_EQ(::mkfifo("fifo.bmp", 0600), 0);
    QImage tall(sample::W, sample::H + 1, QImage::Format_Grayscale8);
    tall.fill(90);
    ASSERT_TRUE(tall.save("tall.png") && tall.save("tall.bmp"));
    const QImage wide = tall.copy(0, 0, sample::W + 1, sample::H);
    ASSERT_TRUE(wide.save("wide.png") && wide.save("wide.bmp"));
    ASSERT_TRUE(tall.copy(0, 0, sample::W, sample::H).save("grey.jpg"));
    std::filesystem::create_directory("sub");
    writeFile("sub/k0.bmp", kindFile(pictureKinds[0]));
    rectify.push_back("grey.jpg");
    // Grey but for one pixel's green, or its red: colour.
    for (const char* name : {"green.bmp", "red.bmp"}) {
        Bytes almost(sample::W * sample::H * 3, 90);
        almost[3 * 5 + (name[0] == 'g' ? 1 : 2)] = 91;
        ASSERT_TRUE(Image().writeBmp(name, almost.data(), sample::W, sample::H, 24));
        rectify.push_back(name);
    }
    for (const auto& [name, problem] : failing)
        if (!name.starts_with('k'))
            rectify.push_back(name);
    std::string text;
    EXPECT_EQ(run(rectify, text), 1);
    EXPECT_EQ(lines(text), long(failing.size())) << text;
    for (const auto& [name, problem] : failing)
        EXPECT_NE(text.find("plandis: " + name + ": " + problem), std::string::npos) << name;
    for (const auto& [name, format, grey] : outputs) {
        const QImage::Format f = QImageReader(QString::fromStdString("out/" + name)).imageFormat();
        EXPECT_EQ(magic("out/" + name), format) << name;
        EXPECT_EQ(f == QImage::Format_Grayscale8 || f == QImage::Format_Indexed8, grey) << name;
    }
}

// With one job the caller does all the work: each channel of a colour picture and the one
// of a grey picture come out as the warp of that channel of the input, each output pixel
// through H and then the calibration's lens.
TEST(Rectify, WarpsEachChannelThroughTheCalibrationsLens) {
    const Calibration c = lensCalibration();
    std::mt19937 rng(5);
    const Bytes colour = randomBytes(64 * 48 * 3, rng), grey = randomBytes(64 * 48, rng);
    ASSERT_TRUE(QImage(colour.data(), 64, 48, 64 * 3, QImage::Format_BGR888).save("colour.png"));
    ASSERT_TRUE(Image().writeBmp("grey.bmp", grey.data(), 64, 48, 8));
    std::string text;
    const Args rectify = {"rectify",  "--jobs",   "1",  "--calibration", "lens.json", "colour.png",
                          "grey.bmp", "--output", "out"};
    ASSERT_EQ(run(rectify, text), 0) << text;
    const RadialTable table = radialTableOf(c.lens);
    const ReferenceLens ref{table.factor, table.cx, table.cy, table.invStep};
    for (const auto& [name, in, channels] :
         {std::tuple{"colour.png", &colour, 3}, {"grey.bmp", &grey, 1}}) {
        const QImage out = QImage(QString("out/") + name).convertToFormat(QImage::Format_BGR888);
        ASSERT_EQ(out.size(), QSize(64, 48)) << name;
        for (int channel = 0; channel < 3; ++channel) {
            Bytes plane(64 * 48);  // that channel of the input: blue, green, red
            for (std::size_t p = 0; p < plane.size(); ++p)
                plane[p] = (*in)[std::size_t(channels) * p + std::size_t(channel % channels)];
            int differ = 0;
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 64; ++x)
                    differ += out.constScanLine(y)[3 * x + channel] !=
                              referenceWarpPixel(plane.data(), 64, 48, 64, rowsOf(c.H), x, y, &ref);
            EXPECT_EQ(differ, 0) << name << " channel " << channel;
        }
    }
}

// --scale and --extent lay the plane out again: the output is the rectangle asked for, warped
// through G · S⁻¹, with the pixels beyond the horizon 0 (their plane lies behind the camera,
// and the uncut warp would show the frame's sky there). A calibration without a plane is
// misuse.
TEST(Rectify, LaysThePlaneOutAndCutsAtTheHorizon) {
    const Calibration c = planeSample();
    std::mt19937 rng(7);
    const Bytes picture = randomBytes(64 * 48, rng);
    ASSERT_TRUE(Image().writeBmp("in.bmp", picture.data(), 64, 48, 8));
    std::string text;
    const Args laidOut = {
        "rectify", "--calibration", "plane.json", "in.bmp",   "--output",
        "out",     "--scale",       "5",          "--extent", "-100,-200,500,400"};
    ASSERT_EQ(run(laidOut, text), 0) << text;
    linal::Matrix outputToPlane(3, 3, 0.0);  // pixel (i, j) is (−100 + 5i, −200 + 5j)
    outputToPlane(1, 1) = outputToPlane(2, 2) = 5, outputToPlane(3, 3) = 1;
    outputToPlane(1, 3) = -100, outputToPlane(2, 3) = -200;
    const linal::Matrix H = estimateHomography(c.input, c.plane.points).H * outputToPlane;
    const HomographyRows h = rowsOf(H, H(3, 3));
    const auto w = [&](int x, int y) { return h[2][0] * x + h[2][1] * y + h[2][2] * 1.0; };
    const QImage out = QImage("out/in.bmp").convertToFormat(QImage::Format_Grayscale8);
    ASSERT_EQ(out.size(), QSize(101, 81));
    int differ = 0, cut = 0;
    for (int y = 0; y < 81; ++y)
        for (int x = 0; x < 101; ++x) {
            const unsigned char uncut = referenceWarpPixel(picture.data(), 64, 48, 64, h, x, y);
            const bool beyond = !(w(x, y) * w(20, 40) > 0);  // plane (0, 0) is pixel (20, 40)
            differ += out.constScanLine(y)[x] != (beyond ? 0 : uncut);
            cut += beyond && uncut != 0;
        }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(cut, 100) << "the horizon does not cross the output";
    for (const auto& [option, value] : {std::pair{"--scale", "5"}, {"--extent", "points"}}) {
        const Args pixels = {"rectify", "--calibration", "pixels.json", option,
                             value,     "in.bmp",        "--output",    "out"};
        EXPECT_EQ(run(pixels, text), 2);
        EXPECT_NE(text.find("need a calibration with a plane"), std::string::npos) << text;
    }
}

// measure: each input pixel's plane point (four pairs: exactly the typed ones), or for a
// calibration without a plane its output pixel, in "px".
TEST(CommandLine, MeasurePrintsPlanePoints) {
    std::string text;
    double p[4];  // two plane points, then an output point
    char unit[4] = "";
    ASSERT_EQ(run({"measure", "--calibration", "plane.json", "26,28", "38,31"}, text), 0);
    ASSERT_EQ(std::sscanf(text.c_str(), "26,28 -> %lf %lf mm\n38,31 -> %lf %lf %3s", p, p + 1,
                          p + 2, p + 3, unit),
              5)
        << text;
    EXPECT_STREQ(unit, "mm");
    EXPECT_LT(std::fmax(std::hypot(p[0], p[1]), std::hypot(p[2], p[3] - 100)), 1e-9);
    ASSERT_EQ(run({"measure", "--calibration", "pixels.json", "1,0"}, text), 0);
    ASSERT_EQ(std::sscanf(text.c_str(), "1,0 -> %lf %lf %3s", p, p + 1, unit), 3) << text;
    EXPECT_STREQ(unit, "px");
    EXPECT_LT(std::hypot(p[0], p[1]), 1e-9);       // its moved corner
    const Calibration lensed = lensCalibration();  // its first pair, 1.5 px off without the lens
    const Point in = lensed.input[0];
    const std::string xy = std::to_string(in.x) + "," + std::to_string(in.y);
    ASSERT_EQ(run({"measure", "--calibration", "lens.json", xy}, text), 0);
    ASSERT_EQ(std::sscanf(text.c_str(), "%*s -> %lf %lf", p, p + 1), 2) << text;
    EXPECT_LT(std::hypot(p[0] - lensed.output[0].x, p[1] - lensed.output[0].y), 0.1) << text;
}

// An output over an input, here through another name for the same folder: nothing is done,
// one line names both.
TEST(Rectify, NeverWritesOverAnInput) {
    writeFile("k.bmp", kindFile(pictureKinds[2]));
    std::string text;
    EXPECT_EQ(run({"rectify", "--calibration", "pixels.json", "k.bmp", "--output", "."}, text), 2);
    EXPECT_EQ(text,
              "plandis: ./k.bmp would be written over the input k.bmp; choose another "
              "--output folder\n");
    EXPECT_EQ(readFile("k.bmp"), kindFile(pictureKinds[2]));
}

// A chessboard of 8 × 5 squares of 12.5 mm, alternating dark, within margins of 15 mm.
TEST(CommandLine, ChartIsAPrintableChessboard) {
    std::string text;
    std::ofstream("c.svg") << "an older chart";  // a regular file is written over
    EXPECT_EQ(run({"chart", "--corners", "7x4", "--square", "12.5", "--output", "c.svg"}, text), 0);
    const std::string page = (std::ostringstream() << std::ifstream("c.svg").rdbuf()).str();
    const std::string dark = "width=\"12.5\" height=\"12.5\" fill=\"black\"";
    int darks = 0;
    for (auto at = page.find(dark); at != std::string::npos; at = page.find(dark, at + 1))
        ++darks;
    EXPECT_EQ(darks, 20);
    EXPECT_LT(page.find("x=\"27.5\" y=\"27.5\""), page.find("x=\"15\" y=\"27.5\""));
    EXPECT_NE(page.find("width=\"130mm\" height=\"92.5mm\""), std::string::npos);
    EXPECT_NE(page.find("y=\"85\" font-family=\"sans-serif\" font-size=\"4\">7 x 4 inner corners, "
                        "squares 12.5 mm: print at 100 %</text>"),
              std::string::npos);
    // The smallest board and squares; the page stays wide enough for the caption.
    EXPECT_EQ(run({"chart", "--corners", "2x2", "--square", "1", "--output", "c.svg"}, text), 0);
    const std::string small = (std::ostringstream() << std::ifstream("c.svg").rdbuf()).str();
    EXPECT_NE(small.find("width=\"100mm\" height=\"33mm\""), std::string::npos) << small;
}

TEST(CommandLine, HelpAndVersion) {
    std::string text;
    EXPECT_EQ(run({"rectify", "--help"}, text), 0);
    EXPECT_TRUE(text.starts_with("Usage: plandis rectify")) << text;
    EXPECT_EQ(run({"--help"}, text), 0);
    EXPECT_TRUE(text.starts_with("Usage: plandis [")) << text;
    EXPECT_EQ(run({"--version"}, text), 0);
    EXPECT_EQ(text, "plandis 1.0.0.1\n");
}

// Misuse, hostile layouts of plane.json among it: one line and status 2.
TEST(CommandLine, MisuseGetsOneLineAndStatusTwo) {
    // clang-format off
    for (const Args& bad :
         {Args{"--frob"}, Args{"rectify", "--jobs", "0", "a", "--output", "o"},
          Args{"--size", "640"}, Args{"--size", "0x480"}, Args{"--size", "64x4o"},
          Args{"--size", "640x16385"}, Args{"--fps", "0"}, Args{"--fps", "30.5"},
          Args{"--fps", "1001"}, Args{"--source"}, Args{"--source", "a", "b"},
          Args{"chart", "--corners", "101x6", "--output", "c.svg"},
          Args{"chart", "--square", "0.9", "--output", "c.svg"},
          Args{"chart", "--output", "/dev/null"}, Args{"chart"}, Args{"chart", "--corners", "1x6"},
          Args{"measure", "--calibration", "c.json", "1,2,3"}, Args{"measure", "1,2"},
          Args{"measure", "--calibration"},
          Args{"rectify", "--scale", "x"}, Args{"rectify", "--extent", "1,2,3"},
          Args{"rectify", "--output"}, Args{"rectify", "--calibration", "c.json", "--output", "o"},
          Args{"rectify", "--calibration", "c.json", "--frob", "--output", "o"},
          Args{"rectify", "--calibration", "plane.json", "--scale", "0", "a", "--output", "o"},
          Args{"rectify", "--calibration", "plane.json", "--extent", "fit", "a", "--output", "o"},
          Args{"rectify", "--calibration", "plane.json", "--extent", "0,0,1e9,1e9", "a", "--output", "o"}}) {
        // clang-format on
        SCOPED_TRACE(testing::PrintToString(bad));
        std::string text;
        EXPECT_EQ(run(bad, text), 2);
        EXPECT_TRUE(lines(text) == 1 && text.ends_with(" (see plandis --help)\n")) << text;
    }
}

TEST(CommandLine, TheDialogsOptionsReachIt) {
    std::string text;
    CommandLine line;
    EXPECT_EQ(run({"--source", "/dev/video2", "--size", "1x16384", "--fps", "1000"}, text, &line),
              -1);
    EXPECT_EQ(  // a difference shows in the element that differs
        std::tuple(line.source, line.mode.width, line.mode.height, line.mode.fps, line.sizeGiven),
        std::tuple("/dev/video2", 1, 16384, 1000, true));
}

}  // namespace
