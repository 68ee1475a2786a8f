// The calibration command without its dialog: arbitrary list entries are read back with
// "%d,%d", the two point sets pass the usability check, and only then is the homography
// estimated, inverted, shown as "%f %f %f" rows and used to warp a frame. A usable pair of
// point sets must never reach the matrix library's fatal error (which libFuzzer reports as
// an exit) nor any other failure.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/sharedState.h"
#include "calib/homography.h"
#include "calib/pointPicking.h"
#include "calib/pointSet.h"
#include "calib/rectify.h"
#include "fuzz/fuzzCheck.h"

namespace {

// The input is text: the entries of the input list one per line, an empty line, then the
// entries of the output list.
struct Lists {
    std::vector<std::string> input;
    std::vector<std::string> output;
};

Lists splitLists(const std::uint8_t* data, std::size_t size) {
    Lists lists;
    std::vector<std::string>* list = &lists.input;
    std::string entry;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != '\n') {
            entry.push_back(static_cast<char>(data[i]));
            continue;
        }
        if (entry.empty() && list == &lists.input) {
            list = &lists.output;
        } else if (!entry.empty() || i < size) {
            list->push_back(entry);
        }
        entry.clear();
    }
    return lists;
}

// The points of a list, or none when an entry does not read as "%d,%d".
std::vector<Point> readPoints(const std::vector<std::string>& entries) {
    std::vector<Point> points;
    for (const std::string& entry : entries) {
        Point p{0, 0};
        if (!parsePoint(entry, p)) {
            return {};
        }
        points.push_back(p);
    }
    return points;
}

// The warp of a small frame through the estimated homography: whatever it holds, every
// output byte is written from inside the grey frame or is 0.
void warpWith(const linal::Matrix& H) {
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 3; ++c) {
            homographyTable[r - 1][c - 1] = H(r, c);
        }
    }
    frameWidth = 13;
    frameHeight = 7;
    std::vector<unsigned char> grey(framePixels());
    for (std::size_t i = 0; i < grey.size(); ++i) {
        grey[i] = static_cast<unsigned char>(i * 37);
    }
    auto* output = new unsigned char[framePixels()];
    rectifyFrame(grey.data(), output);
    delete[] output;
    frameWidth = 0;
    frameHeight = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Lists lists = splitLists(data, size);
    const std::vector<Point> input = readPoints(lists.input);
    const std::vector<Point> output = readPoints(lists.output);
    const HomographyEstimate estimate = estimateHomography(input, output);
    if (estimate.fault != PointSetFault::none) {
        return 0;
    }
    for (std::size_t i = 0; i < input.size(); ++i) {
        // A point written as its list entry reads back as itself.
        Point again{0, 0};
        FUZZ_CHECK(parsePoint(formatPoint(input[i]), again));
        FUZZ_CHECK(again.x == input[i].x && again.y == input[i].y);
    }
    const linal::Matrix& H = estimate.H;
    const linal::Matrix& inverseH = estimate.inverse;
    FUZZ_CHECK(H.m == 3 && H.n == 3 && inverseH.m == 3 && inverseH.n == 3);
    FUZZ_CHECK(H(3, 3) == 1.0);
    for (int r = 1; r <= 3; ++r) {
        char row[1024];
        const int length = std::snprintf(row, sizeof row, "%f %f %f", H(r, 1), H(r, 2), H(r, 3));
        FUZZ_CHECK(length > 0 && static_cast<std::size_t>(length) < sizeof row);
    }
    warpWith(H);
    return 0;
}
