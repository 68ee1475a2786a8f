// The lens model against its closed form, and H with the distortion estimated from rendered
// pairs and lines (tests/support/lensScene.h, a polynomial lens the program does not model)
// held to their accuracy targets.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "calib/homography.h"
#include "calib/lensFit.h"
#include "calib/planeUnits.h"
#include "tests/support/lensScene.h"

namespace {

// The one-term division model's inverse, solved as a quadratic: k·ru·rd² − R²·rd + R²·ru = 0.
double deliveredRadius(double k, double R, double ru) {
    return k == 0 ? ru
                  : (R * R - std::sqrt(R * R * R * R - 4 * k * ru * ru * R * R)) / (2 * k * ru);
}

TEST(LensDistortion, InverseAndWarpTableFollowTheClosedForm) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> k(-0.15, 0.1), at(-200, 1500);
    for (int trial = 0; trial < 50; ++trial) {
        LensDistortion lens = centredLens(1280, 720);
        lens.k1 = k(rng);
        const double R = lens.radius;
        EXPECT_NEAR(cornerShift(lens), R * std::fabs(1 / (1 + lens.k1) - 1), 1e-9);
        const RadialTable table = radialTableOf(lens);
        ASSERT_EQ(table.factor.size(), 1024u);
        // The last entry reaches 2 px beyond the corners, for the border pixels' neighbours.
        EXPECT_NEAR(std::sqrt(1023 / table.invStep) * table.factor[1023], R + 2, 1e-6);
        for (int i = 0; i < 20; ++i) {
            const Point u{at(rng), at(rng) * 0.6};
            const double dx = u.x - lens.cx, dy = u.y - lens.cy, ru = std::hypot(dx, dy);
            const double rd = deliveredRadius(lens.k1, R, ru);
            const std::optional<Point> d = distort(lens, u);
            ASSERT_TRUE(d.has_value() == (rd <= 1.5 * R)) << lens.k1 << " " << ru;
            if (!d)
                continue;
            EXPECT_NEAR(d->x, lens.cx + dx * rd / ru, 1e-7);
            EXPECT_NEAR(d->y, lens.cy + dy * rd / ru, 1e-7);
            const Point back = undistort(lens, *d);
            EXPECT_NEAR(back.x, u.x, 1e-7);
            const double tx = u.x - table.cx, ty = u.y - table.cy;  // about the table's centre
            const double q = (tx * tx + ty * ty) * table.invStep;
            if (q >= 1023)
                continue;
            const auto j = static_cast<std::size_t>(q);
            const double s =
                table.factor[j] + (table.factor[j + 1] - table.factor[j]) * (q - double(j));
            EXPECT_NEAR(ru * s, rd, 1e-4) << "table at q " << q;
        }
    }
    LensDistortion folded = centredLens(640, 480);
    folded.k1 = 0.5;  // ρ / (1 + ρ²/2) turns back at ρ = 1.41
    EXPECT_FALSE(usableLens(folded));
    EXPECT_TRUE(radialTableOf(folded).empty());
    EXPECT_TRUE(radialTableOf(centredLens(640, 480)).empty());
}

struct FitCase {
    const char* name;
    double a1, a2;  // the lens
    int cols, rows, lines;
    double rms, worst;  // at most; worst < 0: no worse than H alone by more than −worst
    int terms;
};

class LensFitTargets : public testing::TestWithParam<FitCase> {};

TEST_P(LensFitTargets, MeetsItsAccuracy) {
    const FitCase& c = GetParam();
    const lens::Truth truth{.a1 = c.a1, .a2 = c.a2};
    const lens::Pairs s = lens::render(truth, c.cols, c.rows, c.lines, 0.05, 1);
    const LensEstimate fit =
        estimateWithLens(s.input, s.output, s.lines, truth.width, truth.height);
    ASSERT_EQ(fit.homography.fault, PointSetFault::none);
    ASSERT_FALSE(fit.tooLittleEvidence);
    EXPECT_EQ(fit.lens.k2 != 0, c.terms == 2);
    const auto worstThrough = [&truth](const linal::Matrix& H, const LensDistortion& distortion) {
        return lens::worstPlaneError(truth,
                                     [&](Point p) { return deliveredPointOf(H, distortion, p); });
    };
    const double worst = worstThrough(fit.homography.H, fit.lens);
    EXPECT_LE(fitOf(fit.errors).rms, c.rms);
    // The lines' points lie as far from them as the 0.05 px noise puts them, also as a plane
    // laid out from the same pairs and lines states it.
    EXPECT_NEAR(fit.lineRms, c.lines > 0 ? 0.05 : 0, 0.02) << fit.lineRms;
    const PlaneUnits plane{"px", s.output, 1, PlaneExtent::points, 0, {}};
    const PlaneCalibration planar = calibratePlane(s.input, plane, s.lines, true, 1280, 720);
    EXPECT_NEAR(planar.lineRms, c.lines > 0 ? 0.05 : 0, 0.02);
    if (c.worst > 0) {
        EXPECT_LE(worst, c.worst);
    } else {
        const linal::Matrix plain = estimateHomography(s.input, s.output).H;
        EXPECT_LE(worst, worstThrough(plain, LensDistortion{}) - c.worst);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rendered, LensFitTargets, testing::Values(
    FitCase{"shift21px80pairs", -0.0263, 0, 10, 8, 0, 0.10, 0.10, 1},
    FitCase{"shift21px4pairs3lines", -0.0263, 0, 2, 2, 3, 1e-9, 0.3, 1},
    FitCase{"shift85pxTwoTerms", -0.0834, 0, 10, 8, 0, 0.5, 1.0, 2},
    FitCase{"noLens", 0, 0, 10, 8, 0, 0.10, -0.01, 1}),
    [](const testing::TestParamInfo<FitCase>& row) { return std::string(row.param.name); });
// clang-format on

TEST(LensFit, SaysWhenTheEvidenceIsTooLittle) {
    const lens::Truth truth{.a1 = -0.0263};
    lens::Pairs s = lens::render(truth, 4, 2, 0, 0.05, 1);
    s.input.pop_back();  // 7 pairs, one short
    s.output.pop_back();
    std::vector<StraightLine> line = {{{10, 10}, {50, 12}}};
    const LensEstimate fit = estimateWithLens(s.input, s.output, line, 1280, 720);
    EXPECT_TRUE(fit.tooLittleEvidence);
    EXPECT_TRUE(fit.lens.none());
    EXPECT_EQ(fit.errors.size(), 7u);
    line[0].push_back({90, 15});  // a third point makes it count
    EXPECT_FALSE(estimateWithLens(s.input, s.output, line, 1280, 720).tooLittleEvidence);
}

}  // namespace
