// The sub-pixel corners and the chessboard finder on rendered boards (blur σ 0.8 px, noise σ
// 2 grey levels): corner error and bias by tilt, snapped clicks, the plane's error from four
// clicks, the finder's time at 1080p on one core with and without a board, and how often it
// finds a board with a border row partly covered; then the same for OpenCV's chessboard
// detectors, a benchmark peer only. Prints markdown tables.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include "calib/chessboard.h"
#include "tests/support/renderChart.h"

namespace {

chart::Scene scene(int width, int height, double tilt, double roll, unsigned seed,
                   double distance = 12) {
    chart::Scene s;
    s.width = width, s.height = height, s.seed = seed;
    s.planeToFrame =
        chart::tiltedView(width, height, tilt, 900.0 * width / 1280, distance, {4, 2.5}, roll);
    return s;
}
ConstPlane planeOf(const chart::Scene& s, const chart::Frame& f) {
    return {f.grey.data(), s.width, s.height, s.width};
}

// The homography through four plane-to-frame pairs: the 8 × 8 system, Gauss with pivoting.
chart::Homography fourPoint(const chart::Xy (&plane)[4], const chart::Xy (&frame)[4]) {
    double a[8][9] = {};
    for (int k = 0; k < 4; ++k) {
        const double x = plane[k].x, y = plane[k].y, u = frame[k].x, v = frame[k].y;
        const double r0[9] = {x, y, 1, 0, 0, 0, -u * x, -u * y, u};
        const double r1[9] = {0, 0, 0, x, y, 1, -v * x, -v * y, v};
        std::copy(r0, r0 + 9, a[2 * k]), std::copy(r1, r1 + 9, a[2 * k + 1]);
    }
    for (int c = 0; c < 8; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 8; ++r)
            if (std::abs(a[r][c]) > std::abs(a[pivot][c]))
                pivot = r;
        std::swap(a[c], a[pivot]);
        for (int r = 0; r < 8; ++r)
            if (r != c) {
                const double f = a[r][c] / a[c][c];
                for (int k = c; k < 9; ++k)
                    a[r][k] -= f * a[c][k];
            }
    }
    double h[9];
    for (int k = 0; k < 8; ++k)
        h[k] = a[k][8] / a[k][k];
    h[8] = 1;
    return {{{h[0], h[1], h[2]}, {h[3], h[4], h[5]}, {h[6], h[7], h[8]}}};
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Median milliseconds of `runs` calls.
template <typename Run>
double median(Run&& run, int runs = 9) {
    std::vector<double> ms;
    for (int k = 0; k < runs; ++k) {
        const auto start = std::chrono::steady_clock::now();
        run();
        ms.push_back(msSince(start));
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// OpenCV's two chessboard detectors on the same boards: the classic one refined by
// cornerSubPix (5 × 5 window, as is usual), and the sector-based one. Each found corner is
// matched to the true corner nearest it, so their own corner order does not matter.
void opencvTables() {
    const auto classic = [](const cv::Mat& grey, std::vector<cv::Point2f>& corners) {
        if (!cv::findChessboardCorners(grey, {9, 6}, corners,
                                       cv::CALIB_CB_ADAPTIVE_THRESH | cv::CALIB_CB_NORMALIZE_IMAGE))
            return false;
        cv::cornerSubPix(grey, corners, {5, 5}, {-1, -1},
                         {cv::TermCriteria::EPS | cv::TermCriteria::COUNT, 30, 0.001});
        return true;
    };
    const auto sectors = [](const cv::Mat& grey, std::vector<cv::Point2f>& corners) {
        return cv::findChessboardCornersSB(grey, {9, 6}, corners, cv::CALIB_CB_ACCURACY);
    };
    const std::pair<const char*, bool (*)(const cv::Mat&, std::vector<cv::Point2f>&)> detectors[] =
        {{"findChessboardCorners + cornerSubPix", +classic},
         {"findChessboardCornersSB", +sectors}};
    std::printf("\n| OpenCV 4.6 | tilt | found | corner RMS (px) | bias x | bias y |\n"
                "|---|---|---|---|---|---|\n");
    for (const auto& [name, detect] : detectors)
        for (int tilt = 0; tilt <= 50; tilt += 10) {
            double sx = 0, sy = 0, ss = 0, n = 0;
            int found = 0;
            for (unsigned seed = 1; seed <= 5; ++seed) {
                const chart::Scene s = scene(1280, 720, tilt, 4.0 * seed, seed);
                chart::Frame f = chart::render(s);
                const cv::Mat grey(s.height, s.width, CV_8U, f.grey.data());
                std::vector<cv::Point2f> corners;
                if (!detect(grey, corners))
                    continue;
                ++found;
                for (const cv::Point2f& p : corners) {
                    const chart::Xy* t = &f.corners[0];
                    for (const chart::Xy& c : f.corners)
                        if (std::hypot(c.x - p.x, c.y - p.y) < std::hypot(t->x - p.x, t->y - p.y))
                            t = &c;
                    sx += p.x - t->x, sy += p.y - t->y, n += 1;
                    ss += std::pow(p.x - t->x, 2) + std::pow(p.y - t->y, 2);
                }
            }
            std::printf("| %s | %d° | %d of 5 | %.4f | %+.4f | %+.4f |\n", name, tilt, found,
                        std::sqrt(ss / std::max(n, 1.0)), sx / std::max(n, 1.0),
                        sy / std::max(n, 1.0));
        }
    // A frame of random bytes is left out: the classic detector works on one for minutes.
    std::printf("\n| OpenCV 4.6, 1920 × 1080, one core | board, tilt 30° (ms) | no board, plain "
                "grey (ms) |\n|---|---|---|\n");
    cv::setNumThreads(1);
    const chart::Scene s = scene(1920, 1080, 30, 20, 3);
    chart::Frame f = chart::render(s);
    std::vector<unsigned char> plain(1920 * 1080, 128);
    for (const auto& [name, detect] : detectors) {
        std::vector<cv::Point2f> corners;
        const auto time = [&](unsigned char* data) {
            const cv::Mat grey(1080, 1920, CV_8U, data);
            return median([&] { detect(grey, corners); }, 3);
        };
        std::printf("| %s | %.1f | %.1f |\n", name, time(f.grey.data()), time(plain.data()));
    }
}

}  // namespace

int main() {
    std::printf(
        "| tilt | corner RMS (px) | bias x | bias y | snapped click RMS | plane worst, 4 "
        "whole-pixel clicks | plane worst, 4 snapped clicks |\n|---|---|---|---|---|---|---|\n");
    std::mt19937 random(1);
    std::uniform_real_distribution<double> off(-3, 3);
    for (int tilt = 0; tilt <= 50; tilt += 10) {
        double sx = 0, sy = 0, ss = 0, snapped = 0, n = 0, worstClick = 0, worstSnap = 0;
        for (unsigned seed = 1; seed <= 5; ++seed) {
            const chart::Scene s = scene(1280, 720, tilt, 4.0 * seed, seed);
            const chart::Frame f = chart::render(s);
            for (const chart::Xy& c : f.corners) {
                const auto p = refineCorner(planeOf(s, f), {std::round(c.x), std::round(c.y)});
                const auto q = snapToCorner(
                    planeOf(s, f), {std::round(c.x + off(random)), std::round(c.y + off(random))});
                if (!p || !q)
                    std::printf("missed a corner at %.1f,%.1f\n", c.x, c.y);
                if (!p || !q)
                    continue;
                sx += p->x - c.x, sy += p->y - c.y, n += 1;
                ss += std::pow(p->x - c.x, 2) + std::pow(p->y - c.y, 2);
                snapped += std::pow(q->x - c.x, 2) + std::pow(q->y - c.y, 2);
            }
            // The four outer corners clicked (whole pixels), then snapped; the board's every
            // corner through the homography of those four, against the truth.
            const int outer[4] = {0, 8, 53, 45};
            const chart::Xy plane[4] = {{0, 0}, {8, 0}, {8, 5}, {0, 5}};
            chart::Xy clicked[4], snappedCorners[4];
            for (int k = 0; k < 4; ++k) {
                const chart::Xy t = f.corners[outer[k]];
                clicked[k] = {std::round(t.x), std::round(t.y)};
                const auto q = snapToCorner(
                    planeOf(s, f), {std::round(t.x + off(random)), std::round(t.y + off(random))});
                snappedCorners[k] = q ? chart::Xy{q->x, q->y} : clicked[k];
            }
            const chart::Homography byClicks = fourPoint(plane, clicked);
            const chart::Homography bySnaps = fourPoint(plane, snappedCorners);
            for (int j = 0; j < 6; ++j)
                for (int i = 0; i < 9; ++i) {
                    const chart::Xy t = f.corners[j * 9 + i];
                    const chart::Xy a = chart::apply(byClicks, {double(i), double(j)});
                    const chart::Xy b = chart::apply(bySnaps, {double(i), double(j)});
                    worstClick = std::max(worstClick, std::hypot(a.x - t.x, a.y - t.y));
                    worstSnap = std::max(worstSnap, std::hypot(b.x - t.x, b.y - t.y));
                }
        }
        std::printf("| %d° | %.4f | %+.4f | %+.4f | %.4f | %.3f | %.3f |\n", tilt,
                    std::sqrt(ss / n), sx / n, sy / n, std::sqrt(snapped / n), worstClick,
                    worstSnap);
    }

    // Time at 1080p, one thread: the median of 9 runs each.
    std::printf("\n| 1920 × 1080, one core | found | median ms |\n|---|---|---|\n");
    for (int tilt : {0, 30, 50}) {
        const chart::Scene s = scene(1920, 1080, tilt, 20, 3);
        const chart::Frame f = chart::render(s);
        const std::size_t found = findChessboard(planeOf(s, f), 9, 6).size();
        std::printf("| board, tilt %d° | %s | %.1f |\n", tilt, found ? "yes" : "no",
                    median([&] { findChessboard(planeOf(s, f), 9, 6); }));
    }
    std::vector<unsigned char> frame(1920 * 1080, 128);
    const ConstPlane none{frame.data(), 1920, 1080, 1920};
    std::printf("| no board: plain grey | %s | %.1f |\n",
                findChessboard(none, 9, 6).empty() ? "no" : "yes",
                median([&] { findChessboard(none, 9, 6); }));
    for (unsigned char& b : frame)
        b = static_cast<unsigned char>(random());
    std::printf("| no board: random bytes | %s | %.1f |\n",
                findChessboard(none, 9, 6).empty() ? "no" : "yes",
                median([&] { findChessboard(none, 9, 6); }));
    // A scene of boards' edges without a board's grid: large random rectangles.
    std::fill(frame.begin(), frame.end(), 128);
    for (int k = 0; k < 300; ++k) {
        const int x = int(random() % 1800), y = int(random() % 1000), w = 20 + int(random() % 200),
                  h = 20 + int(random() % 200), grey = int(random() % 256);
        for (int r = y; r < std::min(1080, y + h); ++r)
            std::fill_n(&frame[r * 1920 + x], std::min(w, 1920 - x),
                        static_cast<unsigned char>(grey));
    }
    std::printf("| no board: 300 rectangles | %s | %.1f |\n",
                findChessboard(none, 9, 6).empty() ? "no" : "yes",
                median([&] { findChessboard(none, 9, 6); }));

    // A border row partly covered: one side chosen at random, 2 to 4 squares long, 0.3 to 0.7
    // of the outer squares deep, a random grey; tilt 0 to 50°, any roll.
    std::uniform_real_distribution<double> unit(0, 1);
    int found = 0;
    for (unsigned seed = 1; seed <= 200; ++seed) {
        chart::Scene s = scene(1280, 720, 50 * unit(random), 360 * unit(random), seed, 17);
        const double depth = 0.3 + 0.4 * unit(random), length = 2 + 2 * unit(random);
        const double from = unit(random) * (s.cols - 1 - length), grey = 255 * unit(random);
        const int side = int(random() % 4);
        std::vector<chart::Xy> quad;
        if (side < 2) {  // top or bottom row
            const double y0 = side == 0 ? -1 : s.rows, y1 = side == 0 ? -1 + depth : s.rows - depth;
            quad = {{from, y0}, {from + length, y0}, {from + length, y1}, {from, y1}};
        } else {
            const double x0 = side == 2 ? -1 : s.cols, x1 = side == 2 ? -1 + depth : s.cols - depth;
            const double f = from * (s.rows - 1 - length) / (s.cols - 1 - length);
            quad = {{x0, f}, {x1, f}, {x1, f + length}, {x0, f + length}};
        }
        s.occluders.push_back({quad, grey});
        const chart::Frame f = chart::render(s);
        found += findChessboard(planeOf(s, f), 9, 6).size() == 54;
    }
    std::printf("\nFound with a border row partly covered: %d of 200\n", found);
    opencvTables();
}
