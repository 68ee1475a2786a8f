// The calibration command's text: list entries read back with "%d,%d", and only a usable
// pair of point sets is estimated, inverted and used to warp a frame. No usable pair may
// reach the matrix library's fatal error, an exit that libFuzzer reports.
#include <sstream>

#include "calib/homography.h"
#include "calib/planeUnits.h"
#include "calib/pointPicking.h"
#include "calib/pointSet.h"
#include "calib/rectifyPicture.h"
#include "fuzz/fuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The entries one per line: the input list, an empty line, the output list.
    std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<Point> lists[2];
    std::size_t list = 0;
    for (std::string entry; std::getline(lines, entry);) {
        Point p{0, 0}, again{0, 0};
        if (entry.empty() && list == 0) {
            list = 1;
        } else if (!parsePoint(entry, p)) {
            return 0;
        } else {
            FUZZ_CHECK(parsePoint(formatPoint(p), again) && again.x == p.x && again.y == p.y);
            lists[list].push_back(p);
        }
    }
    const HomographyEstimate estimate = estimateHomography(lists[0], lists[1]);
    if (estimate.fault != PointSetFault::none)
        return 0;
    const linal::Matrix& H = estimate.H;
    FUZZ_CHECK(estimate.inverse.m == 3 && H(3, 3) == 1.0);
    HomographyTable h;
    toTable(H, h);
    std::vector<unsigned char> grey(91, 200), out(91);
    rectifyPicture(h, RadialTable{}, grey.data(), out.data(), 13, 7,
                   1);  // the sanitizers watch every read
    // A target of its own size, cut at the horizon of the pairs' side: every write in it.
    std::vector<unsigned char> other(5 * 11);
    rectifyPicture(h, RadialTable{}, grey.data(), 13, 7, other.data(), 5, 11, 1,
                   horizonSide(H, lists[1]));
    return 0;
}
