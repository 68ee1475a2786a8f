// The plane in real units against a rendered target (tests/support/lensScene.h): what the
// output frame shows, what it refuses, and measurements with their stated uncertainty.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "calib/planeMeasure.h"
#include "tests/support/lensScene.h"

namespace {

struct Target {
    lens::Truth truth = lens::targetView();
    lens::Pairs pairs;
    PlaneUnits plane;
    PlaneCalibration fit;
};

// Through a lens bending the frame's corners by 44 px (a1 −0.04), fitted with the plane.
Target target(PlaneExtent extent, unsigned seed = 1, double tilt = 40, PlaneRect rectangle = {},
              double a1 = 0, bool corners = false) {
    Target t;
    t.truth = lens::targetView(tilt);
    t.truth.a1 = a1;
    t.pairs = lens::renderTarget(t.truth, 0.03, seed);
    if (corners) {  // the four corner marks alone, clicked at whole pixels, the lens asked for
        lens::Pairs four;
        for (int k : {0, 6, 34, 28}) {
            four.output.push_back(t.pairs.output[k]);
            four.input.push_back({std::round(t.pairs.input[k].x), std::round(t.pairs.input[k].y)});
        }
        t.pairs = four;
    }
    t.plane = {"mm", t.pairs.output, 0.5, extent, 20, rectangle};
    t.fit = calibratePlane(t.pairs.input, t.plane, {}, a1 != 0 || corners, 1920, 1080);
    return t;
}

// Catches a wrong plane point of a pixel (or one that skips the lens), a lost or swollen
// uncertainty, the wrong σ (also with four whole-pixel clicks and none to spare: a refined
// click's σ understates their rounding, one in the fit's units swells it).
TEST(PlaneMeasure, KnownDistancesWithinTheirStatedUncertainty) {
    // Marks (column, row) and their true distance.
    const std::tuple<int, int, int, int, double> spans[] = {{0, 0, 1, 0, 100},
                                                            {0, 0, 0, 1, 100},
                                                            {0, 4, 6, 4, 600},
                                                            {3, 0, 3, 4, 400},
                                                            {0, 0, 6, 4, std::hypot(600, 400)}};
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const Target t =
            target(PlaneExtent::points, seed, 40, {}, seed == 3 ? -0.04 : 0, seed == 4);
        ASSERT_EQ(t.fit.problem, "");
        ASSERT_EQ(t.fit.lens.none(), seed != 3);
        EXPECT_EQ(t.fit.tooLittleEvidence, seed == 4);  // asked for a lens, given four pairs
        const PlaneMeasure m(t.pairs.input, {}, t.plane, t.fit);
        const double loose = seed == 4 ? 15 : 1;  // σ 0.5 px, as a click's, and no pair to spare
        const auto pixel = [&](int column, int row) {
            const lens::Xy d = lens::deliver(t.truth, {100.0 * column, 100.0 * row});
            return Point{d.x, d.y};
        };
        for (const auto& [ai, aj, bi, bj, mm] : spans) {
            const Measurement d = m.distance(pixel(ai, aj), pixel(bi, bj));
            EXPECT_LE(std::fabs(d.value - mm), d.plusMinus) << mm;
            EXPECT_LT(d.plusMinus, 0.2 * loose) << mm;
        }
        // Not from (0, 0), whose side closing the area would add nothing if left out.
        const Point quad[] = {pixel(6, 4), pixel(0, 4), pixel(0, 0), pixel(6, 0)};
        // At (600, 400) mm, from (300, 0) to (0, 0): the arms differ in x and y and turn the
        // negative way, so an arm taken from a wrong point or a signed angle shows.
        const Measurement angle = m.angle(pixel(3, 0), quad[0], quad[2]), area = m.area(quad);
        EXPECT_LE(std::fabs(angle.value - std::atan2(12, 34) * 180 / std::numbers::pi),
                  angle.plusMinus);
        EXPECT_LE(std::fabs(area.value - 240000), area.plusMinus);
        EXPECT_LT(area.plusMinus, 100 * loose);
    }
}

// fit: the whole frame's plane image (its border, by the truth) lies in the output, and
// reaches its edges; through a lens too, to within its fit's error at the border, beyond the
// marks. Catches a box of the points only, of the wrong side of the horizon, or without the lens.
TEST(PlaneUnits, FitShowsTheWholeFrame) {
    for (const double a1 : {0.0, -0.04}) {
        const Target t = target(PlaneExtent::fit, 1, 40, {}, a1);
        ASSERT_EQ(t.fit.problem, "");
        const double slack = a1 == 0 ? 1 : 12;  // output pixels
        const chart::Homography toPlane = chart::inverse(t.truth.planeToIdeal);
        double low = INFINITY, right = -INFINITY, bottom = -INFINITY;
        for (int k = 0; k < 2 * (1920 + 1080); k += 3) {
            const lens::Xy d = k < 3840 ? lens::Xy{k / 2.0, k % 2 * 1079.0}
                                        : lens::Xy{(k - 3840) % 2 * 1919.0, (k - 3840) / 2.0};
            const lens::Xy p = chart::apply(toPlane, lens::bend(t.truth, d, true));
            const double i = (p.x - t.fit.layout.shown.x) / 0.5;
            const double j = (p.y - t.fit.layout.shown.y) / 0.5;
            EXPECT_TRUE(i > -slack && j > -slack && i < t.fit.layout.width - 1 + slack &&
                        j < t.fit.layout.height - 1 + slack)
                << d.x << " " << d.y;
            low = std::fmin(low, std::fmin(i, j));
            right = std::fmax(right, i - t.fit.layout.width);
            bottom = std::fmax(bottom, j - t.fit.layout.height);
        }
        EXPECT_LT(low, slack);
        EXPECT_GT(std::fmin(right, bottom), -1 - slack);
    }
}

// points: the marks' box and the 20 mm margin, at 0.5 mm a pixel: 1281 × 881, all but 1 %
// seen by the frame. Catches a lost margin or + 1, a wrong origin.
TEST(PlaneUnits, PointsShowTheMarksAndTheMargin) {
    const Target t = target(PlaneExtent::points);
    EXPECT_EQ(t.fit.layout.width, 1281);  // 0 for any refusal
    EXPECT_EQ(t.fit.errors.size(), 35u);  // one per pair, without a lens too
    EXPECT_EQ(t.fit.layout.height, 881);
    int empty = 0;
    for (int j = 0; j < 881; ++j)
        for (int i = 0; i < 1281; ++i)  // the plane point of output pixel (i, j), seen or not
            empty +=
                !lens::inFrame(t.truth, lens::deliver(t.truth, {t.fit.layout.shown.x + i * 0.5,
                                                                t.fit.layout.shown.y + j * 0.5}));
    EXPECT_LE(empty, 1281 * 881 / 100);
    EXPECT_NEAR(t.fit.layout.shown.x, -20, 1e-9);  // the marks' left edge at output pixel 40
    // A rectangle whose corner, (0, −5000) mm, lies beyond the horizon: w there has the other
    // sign than at the marks, which are what is kept.
    EXPECT_EQ(target(PlaneExtent::rectangle, 1, 40, {0, -5000, 700, 5500}).fit.horizon, -1);
}

// Hostile values get a message, never an output (nor the allocation of one).
TEST(PlaneUnits, RefusesWhatLaysOutNoUsableOutput) {
    for (const auto& [scale, extent, rectangle, tilt, problem] :
         {std::tuple{0.0, PlaneExtent::points, PlaneRect{}, 40, "scale"},
          {-1.0, PlaneExtent::points, {}, 40, "scale"},
          {NAN, PlaneExtent::points, {}, 40, "scale"},
          {INFINITY, PlaneExtent::points, {}, 40, "scale"},
          {1e-9, PlaneExtent::points, {}, 40, "too large"},
          {0.5, PlaneExtent::rectangle, {0, 0, 1e9, 1e9}, 40, "too large"},
          {0.5, PlaneExtent::rectangle, {0, 0, 8192, 10}, 40, "too large"},  // 16 385 wide
          {0.5, PlaneExtent::rectangle, {0, 0, 0, 10}, 40, "size above 0"},
          {0.5, PlaneExtent::rectangle, {NAN, 0, 10, 10}, 40, "finite"},
          {0.5, PlaneExtent::fit, {}, 70, "horizon crosses the frame"}}) {
        SCOPED_TRACE(problem);
        const lens::Pairs pairs = lens::renderTarget(lens::targetView(tilt), 0.03, 1);
        const PlaneUnits plane{"mm", pairs.output, scale, extent, 0, rectangle};
        const PlaneCalibration c = calibratePlane(pairs.input, plane, {}, false, 1920, 1080);
        EXPECT_NE(c.problem.find(problem), std::string::npos) << c.problem;
        EXPECT_EQ(c.layout.width, 0);
    }
    // The largest side is still laid out.
    EXPECT_EQ(target(PlaneExtent::rectangle, 1, 40, {0, 0, 8191.5, 10}).fit.layout.width, 16384);
}

}  // namespace
