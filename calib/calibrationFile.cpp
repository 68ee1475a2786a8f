#include "calib/calibrationFile.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "image/atomicFile.h"

using nlohmann::json;

namespace {

// A problem with the file, said as the user is told it.
struct BadFile : std::runtime_error {
    using std::runtime_error::runtime_error;
};

json matrixJson(int rows, int cols, const json& data) {
    return {
        {"type_id", "opencv-matrix"}, {"rows", rows}, {"cols", cols}, {"dt", "d"}, {"data", data}};
}

json matrixJson(const linal::Matrix& m) {
    json data = json::array();
    for (int r = 1; r <= m.m; ++r) {
        for (int c = 1; c <= m.n; ++c) {
            data.push_back(m(r, c));
        }
    }
    return matrixJson(m.m, m.n, data);
}

// A whole pixel as an integer, as clicked; a refined coordinate as the double it is.
json coordinateJson(double v) {
    return v == std::floor(v) ? json(static_cast<long long>(v)) : json(v);
}

json pointsJson(const std::vector<Point>& points) {
    json list = json::array();
    for (Point p : points) {
        list.push_back({coordinateJson(p.x), coordinateJson(p.y)});
    }
    return list;
}

const json& field(const json& object, const char* name) {
    if (!object.is_object() || !object.contains(name)) {
        throw BadFile(std::string("the field \"") + name + "\" is missing");
    }
    return object[name];
}

double number(const json& value, const char* what) {
    if (!value.is_number()) {
        throw BadFile(std::string(what) + " holds something that is not a number");
    }
    const double x = value.get<double>();
    if (!std::isfinite(x)) {
        throw BadFile(std::string(what) + " holds a number that is not finite");
    }
    return x;
}

int integer(const json& value, const char* what) {
    const double x = number(value, what);
    if (!value.is_number_integer() || x < -2147483648.0 || x > 2147483647.0) {
        throw BadFile(std::string(what) + " holds a number that is not a whole pixel");
    }
    return static_cast<int>(x);
}

linal::Matrix readMatrix(const json& file, const char* name) {
    const json& m = field(file, name);
    const json& data = field(m, "data");
    if (field(m, "type_id") != "opencv-matrix" || field(m, "dt") != "d" || field(m, "rows") != 3 ||
        field(m, "cols") != 3 || !data.is_array() || data.size() != 9) {
        throw BadFile(std::string("\"") + name + "\" is not a 3 x 3 matrix of doubles");
    }
    linal::Matrix result(3, 3, 0.0);
    for (int i = 0; i < 9; ++i) {
        result(i / 3 + 1, i % 3 + 1) = number(data[static_cast<std::size_t>(i)], name);
    }
    return result;
}

// Version 1 holds whole pixels only; version 2 also refined points.
std::vector<Point> readPoints(const json& file, const char* name, int width, int height,
                              bool whole) {
    const json& list = field(file, name);
    if (!list.is_array()) {
        throw BadFile(std::string("\"") + name + "\" is not a list of points");
    }
    std::vector<Point> points;
    for (const json& entry : list) {
        if (!entry.is_array() || entry.size() != 2) {
            throw BadFile(std::string("\"") + name + "\" holds an entry that is not [x, y]");
        }
        const auto coordinate = [&](const json& v) {
            return whole ? double(integer(v, name)) : number(v, name);
        };
        const Point p{coordinate(entry[0]), coordinate(entry[1])};
        if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height) {
            throw BadFile(std::string("\"") + name + "\" holds a point outside the " +
                          std::to_string(width) + " x " + std::to_string(height) + " frame");
        }
        points.push_back(p);
    }
    return points;
}

// The lens and the lines it was estimated with; {} for none.
LensDistortion readLens(const json& file, int width, int height) {
    LensDistortion lens = centredLens(width, height);
    if (!file.contains("lensDistortion")) {
        return lens;
    }
    const json& node = file["lensDistortion"];
    const json& k = field(node, "k");
    if (field(node, "model") != "division" || !k.is_array() || k.size() != 2) {
        throw BadFile("\"lensDistortion\" is not a division model with two terms");
    }
    lens.k1 = number(k[0], "\"lensDistortion\"");
    lens.k2 = number(k[1], "\"lensDistortion\"");
    const json& centre = field(node, "centre");
    if (!centre.is_array() || centre.size() != 2 ||
        number(centre[0], "\"lensDistortion\"") != lens.cx ||
        number(centre[1], "\"lensDistortion\"") != lens.cy ||
        number(field(node, "radius"), "\"lensDistortion\"") != lens.radius) {
        throw BadFile("its lens is not centred on its frame");
    }
    return lens;
}

// Whether two matrices agree to far better than any pixel: the file's H was estimated from
// the same points, so only its decimal form may differ.
bool matches(const linal::Matrix& a, const linal::Matrix& b) {
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 3; ++c) {
            if (!(std::fabs(a(r, c) - b(r, c)) <= 1e-9 * std::fmax(1.0, std::fabs(a(r, c))))) {
                return false;
            }
        }
    }
    return true;
}

constexpr const char* extentKinds[] = {"fit", "points", "rectangle"};

// The plane's own values; whether they lay out an output frame is calibratePlane's to say.
PlaneUnits readPlane(const json& node) {
    PlaneUnits plane;
    const json& unit = field(node, "unit");
    if (!unit.is_string() || unit.get<std::string>().empty()) {
        throw BadFile("the unit of its plane is not a name");
    }
    plane.unit = unit.get<std::string>();
    const json& points = field(node, "points");
    for (std::size_t i = 0; points.is_array() && i < points.size(); ++i) {
        const json& p = points[i];
        if (!p.is_array() || p.size() != 2) {
            throw BadFile("the plane's \"points\" holds an entry that is not [x, y]");
        }
        plane.points.push_back(
            {number(p[0], "the plane's \"points\""), number(p[1], "the plane's \"points\"")});
    }
    if (!points.is_array()) {
        throw BadFile("the plane's \"points\" is not a list of points");
    }
    plane.scale = number(field(node, "scale"), "the plane's \"scale\"");
    const json& extent = field(node, "extent");
    const json& kind = field(extent, "kind");
    const auto known = std::find(std::begin(extentKinds), std::end(extentKinds), kind);
    if (!kind.is_string() || known == std::end(extentKinds)) {
        throw BadFile("the plane's extent kind is not fit, points or rectangle");
    }
    plane.extent = PlaneExtent(known - std::begin(extentKinds));
    const char* what = "the plane's \"extent\"";
    plane.rectangle = {number(field(extent, "x"), what), number(field(extent, "y"), what),
                       number(field(extent, "width"), what), number(field(extent, "height"), what)};
    plane.margin = number(field(extent, "margin"), what);
    return plane;
}

Calibration parse(const std::string& text) {
    json file;
    try {
        file = json::parse(text);
    } catch (const json::exception& error) {
        // What the parser says, without its "[json.exception...] " tag: a number beyond the
        // double range shows up here as an overflow.
        const std::string what = error.what();
        throw BadFile("it is not valid JSON (" + what.substr(what.find("] ") + 2) + ")");
    }
    if (!file.is_object()) {
        throw BadFile("it is not a JSON calibration file");
    }
    const json& version = field(file, "version");
    if (version != 1 && version != calibrationFormatVersion) {
        throw BadFile("it has a format version other than 1 or " +
                      std::to_string(calibrationFormatVersion));
    }
    Calibration c;
    const json& frame = field(file, "frame");
    c.frameWidth = integer(field(frame, "width"), "\"frame\"");
    c.frameHeight = integer(field(frame, "height"), "\"frame\"");
    if (c.frameWidth <= 0 || c.frameHeight <= 0) {
        throw BadFile("its frame size is not positive");
    }
    c.input = readPoints(file, "inputPoints", c.frameWidth, c.frameHeight, version == 1);
    int outputWidth = c.frameWidth, outputHeight = c.frameHeight;
    if (file.contains("plane")) {
        c.plane = readPlane(file["plane"]);
        const json& sized = field(file, "outputFrame");
        outputWidth = integer(field(sized, "width"), "\"outputFrame\"");
        outputHeight = integer(field(sized, "height"), "\"outputFrame\"");
    }
    c.output = readPoints(file, "outputPoints", outputWidth, outputHeight, version == 1);
    const linal::Matrix H = readMatrix(file, "homography");
    readMatrix(file, "homographyInverse");
    if (c.input.size() != c.output.size()) {
        throw BadFile("its point lists have different lengths");
    }
    const LensDistortion lens = readLens(file, c.frameWidth, c.frameHeight);
    if (file.contains("straightLines")) {
        const json& lines = file["straightLines"];
        for (std::size_t i = 0; lines.is_array() && i < lines.size(); ++i) {
            c.lines.push_back(
                readPoints(json{{"line", lines[i]}}, "line", c.frameWidth, c.frameHeight, false));
        }
        if (!lines.is_array()) {
            throw BadFile("\"straightLines\" is not a list of lines");
        }
    }
    // The lens is estimated again only when the file has one: H alone otherwise.
    LensEstimate estimate;
    PlaneCalibration planar;
    if (!c.plane.unit.empty()) {
        planar =
            calibratePlane(c.input, c.plane, c.lines, !lens.none(), c.frameWidth, c.frameHeight);
        if (!planar.problem.empty()) {
            throw BadFile("its plane is refused: " + planar.problem);
        }
        estimate.homography.H = planar.H;
        estimate.homography.inverse = planar.inverse;
        estimate.lens = planar.lens;
    } else {
        estimate =
            estimateFit(c.input, c.output, c.lines, !lens.none(), c.frameWidth, c.frameHeight);
    }
    if (estimate.homography.fault != PointSetFault::none) {
        throw BadFile("its points do not give a homography");
    }
    if (!matches(estimate.homography.H, H)) {
        throw BadFile("its homography does not match its points");
    }
    if (!(std::fabs(estimate.lens.k1 - lens.k1) <= 1e-9 &&
          std::fabs(estimate.lens.k2 - lens.k2) <= 1e-9)) {
        throw BadFile("its lens distortion does not match its points");
    }
    if (!c.plane.unit.empty()) {
        if (planar.layout.width != outputWidth || planar.layout.height != outputHeight ||
            !matches(planar.layout.planeToOutput, readMatrix(file["plane"], "planeToOutput"))) {
            throw BadFile("its output frame does not match its plane");
        }
        for (std::size_t i = 0; i < c.output.size(); ++i) {
            if (!(std::fabs(c.output[i].x - planar.output[i].x) <= 1e-9 * outputWidth &&
                  std::fabs(c.output[i].y - planar.output[i].y) <= 1e-9 * outputHeight)) {
                throw BadFile("its output points are not its plane points laid out");
            }
        }
        c.output = planar.output;
        c.layout = planar.layout;
    }
    c.H = estimate.homography.H;
    c.inverse = estimate.homography.inverse;
    c.lens = estimate.lens;
    return c;
}

}  // namespace

std::string calibrationJson(const Calibration& calibration, const std::string& savedAt) {
    json file = {
        {"version", calibrationFormatVersion},
        {"frame", {{"width", calibration.frameWidth}, {"height", calibration.frameHeight}}},
        {"inputPoints", pointsJson(calibration.input)},
        {"outputPoints", pointsJson(calibration.output)},
        {"homography", matrixJson(calibration.H)},
        {"homographyInverse", matrixJson(calibration.inverse)},
        {"reprojectionErrors", reprojectionErrors(calibration.H, calibration.output,
                                                  calibration.input, calibration.lens)},
        {"saved", savedAt},
    };
    const LensDistortion& lens = calibration.lens;
    if (!lens.none()) {
        file["lensDistortion"] = {{"model", "division"},
                                  {"centre", {lens.cx, lens.cy}},
                                  {"radius", lens.radius},
                                  {"k", {lens.k1, lens.k2}},
                                  {"cornerShift", cornerShift(lens)}};
        file["cameraMatrix"] =
            matrixJson(3, 3, {lens.radius, 0.0, lens.cx, 0.0, lens.radius, lens.cy, 0.0, 0.0, 1.0});
        const std::array<double, 5> d = opencvCoefficients(lens);
        file["distCoeffs"] = matrixJson(1, 5, json(std::vector<double>(d.begin(), d.end())));
    }
    const PlaneUnits& plane = calibration.plane;
    if (!plane.unit.empty()) {
        const PlaneRect& shown = calibration.layout.shown;
        file["plane"] = {{"unit", plane.unit},
                         {"points", pointsJson(plane.points)},
                         {"scale", plane.scale},
                         {"extent",
                          {{"kind", extentKinds[int(plane.extent)]},
                           {"x", shown.x},
                           {"y", shown.y},
                           {"width", shown.width},
                           {"height", shown.height},
                           {"margin", plane.margin}}},
                         {"planeToOutput", matrixJson(calibration.layout.planeToOutput)}};
        file["outputFrame"] = {{"width", calibration.layout.width},
                               {"height", calibration.layout.height}};
    }
    if (!calibration.lines.empty()) {
        file["straightLines"] = json::array();
        for (const StraightLine& line : calibration.lines) {
            file["straightLines"].push_back(pointsJson(line));
        }
    }
    return file.dump(2) + "\n";
}

std::string layOutPlane(Calibration& calibration) {
    Calibration& c = calibration;
    if (c.plane.unit.empty()) {
        return {};
    }
    const PlaneCalibration planar =
        calibratePlane(c.input, c.plane, c.lines, !c.lens.none(), c.frameWidth, c.frameHeight);
    if (planar.problem.empty()) {
        c.H = planar.H;
        c.inverse = planar.inverse;
        c.lens = planar.lens;
        c.output = planar.output;
        c.layout = planar.layout;
    }
    return planar.problem;
}

bool saveCalibration(const char* path, const Calibration& calibration) {
    char now[32];
    const std::time_t seconds = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    std::strftime(now, sizeof now, "%Y-%m-%dT%H:%M:%SZ", &utc);
    const std::string text = calibrationJson(calibration, now);
    return writeFileAtomically(path,
                               [&](int fd) { return writeAll(fd, text.data(), text.size()); });
}

std::string loadCalibration(const char* path, Calibration& calibration) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return "it is not a readable file";
    }
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (error || bytes > maxCalibrationFileBytes) {
        return "it is too large for a calibration file (" + std::to_string(bytes) + " bytes)";
    }
    std::ifstream file(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    if (!file.read(text.data(), static_cast<std::streamsize>(bytes))) {
        return "it is not a readable file";
    }
    try {
        calibration = parse(text);
    } catch (const BadFile& problem) {
        return problem.what();
    }
    return {};
}
