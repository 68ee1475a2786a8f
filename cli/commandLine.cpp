#include "cli/commandLine.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "calib/planeMeasure.h"
#include "cli/batchRectify.h"
#include "cli/chartSvg.h"
#include "image/atomicFile.h"
#include "plandisVersion.h"

namespace {

constexpr const char* usage =
    "Usage: plandis [--calibration FILE] [--source SOURCE] [--size WxH] [--fps N]\n"
    "       plandis rectify --calibration FILE [--scale S] [--extent E] [--jobs N] INPUT...\n"
    "               --output DIR\n"
    "       plandis measure --calibration FILE X,Y...\n"
    "       plandis chart [--corners COLSxROWS] [--square MM] --output FILE.svg\n"
    "       plandis --help | --version\n"
    "\n"
    "Without a command, the calibration dialog starts; --calibration loads FILE into it.\n"
    "Start Capture opens --source: a device path (/dev/video2) or name, virtual, a URI\n"
    "(rtsp://, http(s)://, file://, played at its own size; files loop) or a GStreamer\n"
    "source description, at the mode nearest --size (default: the loaded calibration's frame\n"
    "size, else 640x480) and --fps (default 30).\n"
    "rectify warps pictures through the calibration's homography into DIR (see plandis\n"
    "rectify --help).\n"
    "measure prints where each input pixel X,Y lies on the calibration's plane, in its unit\n"
    "(output pixels, px, for a calibration without a plane): one line X,Y -> x y unit.\n"
    "chart writes a printable chessboard for Find chart as SVG at true scale: COLSxROWS inner\n"
    "corners (default 9x6, at most 100 a side), squares of MM millimetres (default 25, from 1\n"
    "to 200).\n";

constexpr const char* rectifyUsage =
    "Usage: plandis rectify --calibration FILE [--scale S] [--extent E] [--jobs N] INPUT...\n"
    "               --output DIR\n"
    "\n"
    "Warps each INPUT picture (BMP, PNG, JPEG, GIF: what Load BMP shows) of the calibration's\n"
    "frame size through its homography into DIR, under the same file name and in the same\n"
    "format (GIF as PNG, named .png); an all-grey picture stays grey. N pictures at a time\n"
    "(default: one per processor core). Nothing is done when an output would be written over\n"
    "an input (status 2); a file that fails or is cut short gets one line (status 1).\n"
    "For a calibration with a plane in real units, --scale S sets the units per output pixel\n"
    "and --extent what the output shows: fit (the whole input frame's plane), points (the\n"
    "plane points and the calibration's margin) or X,Y,W,H (a rectangle of the plane), instead\n"
    "of the calibration's own; the output is as large as that.\n";

// Bad use of the command line: one line, status 2.
CommandLine misuse(std::ostream& err, const std::string& problem) {
    err << "plandis: " << problem << " (see plandis --help)\n";
    return {2, {}, {}, {}};
}

// The largest frame side --size accepts: beyond 8K, and small enough for frame buffers.
constexpr int kLargestSide = 16384;

// A whole number from low to high that fills text; nothing otherwise.
std::optional<int> wholeNumber(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// Two whole numbers from low to high written AxB that fill text; nothing otherwise.
std::optional<std::pair<int, int>> numberPair(std::string_view text, int low, int high) {
    const std::size_t x = text.find('x');
    const auto a = wholeNumber(text.substr(0, x), low, high);
    const auto b =
        x == std::string_view::npos ? std::nullopt : wholeNumber(text.substr(x + 1), low, high);
    if (!a || !b) {
        return std::nullopt;
    }
    return std::pair(*a, *b);
}

// The dialog's options, each with its value.
CommandLine dialog(const std::vector<std::string>& args, std::ostream& err) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        const std::string& arg = args[i];
        if (arg != "--calibration" && arg != "--source" && arg != "--size" && arg != "--fps") {
            return misuse(err, i > 0 && arg[0] != '-' ? "unexpected argument '" + arg + "'"
                               : arg[0] == '-'        ? "unknown option '" + arg + "'"
                                                      : "unknown command '" + arg + "'");
        }
        if (i + 1 == args.size()) {
            return misuse(err, arg + " needs a value");
        }
        const std::string& value = args[i + 1];
        const auto size = numberPair(value, 1, kLargestSide);
        const auto fps = wholeNumber(value, 1, 1000);
        if (arg == "--calibration") {
            line.calibration = value;
        } else if (arg == "--source") {
            line.source = value;
        } else if (arg == "--size" && size) {
            std::tie(line.mode.width, line.mode.height) = *size;
            line.sizeGiven = true;
        } else if (arg == "--fps" && fps) {
            line.mode.fps = *fps;
        } else {
            return misuse(err,
                          arg == "--size"
                              ? "--size needs WIDTHxHEIGHT, each from 1 to " +
                                    std::to_string(kLargestSide) + ", not '" + value + "'"
                              : "--fps needs a whole number from 1 to 1000, not '" + value + "'");
        }
    }
    return line;
}

// Numbers separated by commas that fill text, `count` of them; nothing otherwise.
std::optional<std::vector<double>> numbers(std::string_view text, std::size_t count) {
    std::vector<double> values;
    for (std::size_t k = 0, start = 0; k < count; ++k) {
        const std::size_t stop = k + 1 < count ? text.find(',', start) : text.size();
        double value = 0;
        if (stop == std::string_view::npos) {
            return std::nullopt;
        }
        const auto [end, error] = std::from_chars(text.data() + start, text.data() + stop, value);
        if (error != std::errc() || end != text.data() + stop || !std::isfinite(value)) {
            return std::nullopt;
        }
        values.push_back(value);
        start = stop + 1;
    }
    return values;
}

// The shortest text that reads back to the same double.
std::string exact(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Where input pixels lie on the calibration's plane (or in its output frame).
CommandLine measure(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string file;
    std::vector<std::pair<std::string, Point>> pixels;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--calibration" && i + 1 < args.size()) {
            file = args[++i];
        } else if (const auto xy = numbers(arg, 2)) {
            pixels.push_back({arg, {(*xy)[0], (*xy)[1]}});
        } else {
            return misuse(err, arg == "--calibration" ? "--calibration needs a value"
                               : arg[0] == '-'        ? "unknown option '" + arg + "'"
                                               : "measure needs pixels X,Y, not '" + arg + "'");
        }
    }
    if (file.empty() || pixels.empty()) {
        return misuse(err, "measure needs --calibration FILE and pixels X,Y");
    }
    Calibration c;
    const std::string problem = loadCalibration(file.c_str(), c);
    if (!problem.empty()) {
        err << "plandis: " << file << ": " << problem << "\n";
        return {1, {}, {}, {}};
    }
    const bool plane = !c.plane.unit.empty();
    for (const auto& [text, pixel] : pixels) {
        Point p = outputPointOf(c.inverse, c.lens, pixel);
        if (plane) {
            p = planePointAt(c.layout, c.plane.scale, p);
        }
        out << text << " -> " << exact(p.x) << " " << exact(p.y) << " "
            << (plane ? c.plane.unit : "px") << "\n";
    }
    return {0, {}, {}, {}};
}

CommandLine rectify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 2 && args[1] == "--help") {
        out << rectifyUsage;
        return {0, {}, {}, {}};
    }
    BatchJob job;
    job.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::string calibration;
    std::optional<double> scale;
    std::optional<PlaneExtent> extent;
    PlaneRect shown;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool valued = arg == "--calibration" || arg == "--jobs" || arg == "--output" ||
                            arg == "--scale" || arg == "--extent";
        if (valued && i + 1 == args.size()) {
            return misuse(err, arg + " needs a value");
        }
        if (arg == "--calibration") {
            calibration = args[++i];
        } else if (arg == "--output") {
            job.outputFolder = args[++i];
        } else if (arg == "--jobs") {
            const std::string& value = args[++i];
            const auto jobs = wholeNumber(value, 1, 1024);
            if (!jobs) {
                return misuse(err,
                              "--jobs needs a whole number from 1 to 1024, not '" + value + "'");
            }
            job.jobs = *jobs;
        } else if (arg == "--scale") {
            const std::string& value = args[++i];
            const auto number = numbers(value, 1);
            if (!number) {
                return misuse(err, "--scale needs units per pixel, not '" + value + "'");
            }
            scale = (*number)[0];
        } else if (arg == "--extent") {
            const std::string& value = args[++i];
            const auto rectangle = numbers(value, 4);
            if (value == "fit" || value == "points") {
                extent = value == "fit" ? PlaneExtent::fit : PlaneExtent::points;
            } else if (rectangle) {
                extent = PlaneExtent::rectangle;
                shown = {(*rectangle)[0], (*rectangle)[1], (*rectangle)[2], (*rectangle)[3]};
            } else {
                return misuse(err, "--extent needs fit, points or X,Y,W,H, not '" + value + "'");
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return misuse(err, "unknown option '" + arg + "'");
        } else {
            job.inputs.push_back(arg);
        }
    }
    if (calibration.empty() || job.outputFolder.empty() || job.inputs.empty()) {
        return misuse(err, "rectify needs --calibration FILE, pictures and --output DIR");
    }
    const std::string problem = loadCalibration(calibration.c_str(), job.calibration);
    if (!problem.empty()) {
        err << "plandis: " << calibration << ": " << problem << "\n";
        return {1, {}, {}, {}};
    }
    Calibration& c = job.calibration;
    if ((scale || extent) && c.plane.unit.empty()) {
        return misuse(err, "--scale and --extent need a calibration with a plane");
    }
    c.plane.scale = scale.value_or(c.plane.scale);
    if (extent) {
        c.plane.extent = *extent;
        c.plane.rectangle = shown;
    }
    if (const std::string refused = layOutPlane(c); !refused.empty()) {
        return misuse(err, refused);
    }
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    return {rectifyFiles(job, err, terminal ? &err : nullptr), {}, {}, {}};
}

// A printable chessboard. Values that would make no usable page are refused, and so is an
// output that exists but is no regular file.
CommandLine chart(const std::vector<std::string>& args, std::ostream& err) {
    int cols = 9, rows = 6;
    double square = 25.0;
    std::string output;
    for (std::size_t i = 1; i < args.size(); i += 2) {
        const std::string& arg = args[i];
        if (arg != "--corners" && arg != "--square" && arg != "--output") {
            return misuse(err, "unknown option '" + arg + "'");
        }
        if (i + 1 == args.size()) {
            return misuse(err, arg + " needs a value");
        }
        const std::string& value = args[i + 1];
        const auto corners = numberPair(value, 2, 100);
        double mm = 0.0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), mm);
        const bool millimetres =
            error == std::errc() && end == value.data() + value.size() && mm >= 1.0 && mm <= 200.0;
        if (arg == "--output") {
            output = value;
        } else if (arg == "--corners" && corners) {
            std::tie(cols, rows) = *corners;
        } else if (arg == "--square" && millimetres) {
            square = mm;
        } else {
            return misuse(err,
                          arg == "--corners"
                              ? "--corners needs COLSxROWS, each from 2 to 100, not '" + value + "'"
                              : "--square needs millimetres from 1 to 200, not '" + value + "'");
        }
    }
    if (output.empty()) {
        return misuse(err, "chart needs --output FILE.svg");
    }
    std::error_code error;
    const auto kind = std::filesystem::status(output, error).type();
    if (kind != std::filesystem::file_type::not_found &&
        kind != std::filesystem::file_type::regular) {
        return misuse(err, output + " exists and is not a regular file");
    }
    const std::string svg = chartSvg(cols, rows, square);
    if (!writeFileAtomically(output.c_str(),
                             [&](int fd) { return writeAll(fd, svg.data(), svg.size()); })) {
        err << "plandis: " << output << ": the file could not be written\n";
        return {1, {}, {}, {}};
    }
    return {0, {}, {}, {}};
}

}  // namespace

CommandLine runCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err) {
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    if (args.empty()) {
        return {};
    }
    if (args[0] == "rectify") {
        return rectify(args, out, err);
    }
    if (args[0] == "measure") {
        return measure(args, out, err);
    }
    if (args[0] == "chart") {
        return chart(args, err);
    }
    if (args[0] == "--help" && args.size() == 1) {
        out << usage;
        return {0, {}, {}, {}};
    }
    if (args[0] == "--version" && args.size() == 1) {
        out << "plandis " << versionNumber << "\n";
        return {0, {}, {}, {}};
    }
    return dialog(args, err);
}
