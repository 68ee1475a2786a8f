// Lens distortion estimated with H from rendered pairs and lines (tests/support/lensScene.h: a
// polynomial lens, which the program does not model), noise σ 0.05 px on the frame points:
// the residual RMS and the worst error across the plane, against H alone; then how closely
// the OpenCV model written beside ours in a calibration file (cameraMatrix, distCoeffs)
// undistorts alike. Prints markdown tables.
#include <cmath>
#include <cstdio>
#include <opencv2/calib3d.hpp>

#include "calib/homography.h"
#include "calib/lensFit.h"
#include "tests/support/lensScene.h"

namespace {

double worst(const lens::Truth& truth, const linal::Matrix& H, const LensDistortion& lens) {
    return lens::worstPlaneError(truth, [&](Point p) {
        const double w = H(3, 1) * p.x + H(3, 2) * p.y + H(3, 3);
        return distort(lens, {(H(1, 1) * p.x + H(1, 2) * p.y + H(1, 3)) / w,
                              (H(2, 1) * p.x + H(2, 2) * p.y + H(2, 3)) / w});
    });
}

// How far the truth's lens moves a frame corner: the ideal radius whose image is the corner.
double cornerShift(const lens::Truth& t) {
    const double R = std::hypot((t.width - 1) / 2.0, (t.height - 1) / 2.0);
    double lo = 0, hi = 2 * R;
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2, p = mid * mid / (R * R);
        (mid * (1 + t.a1 * p + t.a2 * p * p) < R ? lo : hi) = mid;
    }
    return std::fabs(lo - R);
}

}  // namespace

int main() {
    struct Case {
        const char* name;
        double a1;
        int cols, rows, lines;
    };
    const Case cases[] = {{"80 pairs", -0.0263, 10, 8, 0},
                          {"4 pairs + 3 straight lines", -0.0263, 2, 2, 3},
                          {"80 pairs", -0.0834, 10, 8, 0},
                          {"80 pairs, no distortion", 0, 10, 8, 0}};
    std::printf(
        "| case | corner shift | terms | residual RMS | plane worst | H alone: RMS / "
        "worst |\n|---|---|---|---|---|---|\n");
    for (const Case& c : cases) {
        lens::Truth truth;
        truth.a1 = c.a1;
        const lens::Pairs s = lens::render(truth, c.cols, c.rows, c.lines, 0.05, 1);
        const LensEstimate e = estimateWithLens(s.input, s.output, s.lines, 1280, 720);
        const linal::Matrix plain = estimateHomography(s.input, s.output).H;
        std::printf("| %s | %.1f px | %d | %.3f px | %.3f px | %.3f / %.3f px |\n", c.name,
                    cornerShift(truth), e.lens.k2 != 0 ? 2 : 1, fitOf(e.errors).rms,
                    worst(truth, e.homography.H, e.lens),
                    fitOf(reprojectionErrors(plain, s.output, s.input)).rms,
                    worst(truth, plain, LensDistortion{}));
    }
    std::printf(
        "\n| lens (k1, k2) | corner shift | OpenCV's undistortion vs ours, worst |\n"
        "|---|---|---|\n");
    for (const auto& [k1, k2] : {std::pair{-0.027, 0.0}, {-0.05, 0.0}, {-0.083, -0.018}}) {
        LensDistortion lens = centredLens(1280, 720);
        lens.k1 = k1, lens.k2 = k2;
        const std::array<double, 5> d = opencvCoefficients(lens);
        const cv::Matx33d K(lens.radius, 0, lens.cx, 0, lens.radius, lens.cy, 0, 0, 1);
        std::vector<cv::Point2d> delivered, ideal;
        for (int i = 0; i <= 64 * 36; ++i)
            delivered.push_back({1279.0 * (i % 65) / 64, 719.0 * (i / 65) / 35});
        cv::undistortPoints(delivered, ideal, K,
                            cv::Mat(1, 5, CV_64F, const_cast<double*>(d.data())), {}, K);
        double far = 0;
        for (std::size_t i = 0; i < ideal.size(); ++i) {
            const Point ours = undistort(lens, {delivered[i].x, delivered[i].y});
            far = std::fmax(far, std::hypot(ours.x - ideal[i].x, ours.y - ideal[i].y));
        }
        std::printf("| %.3f, %.3f | %.1f px | %.3f px |\n", k1, k2, cornerShift(lens), far);
    }
}
