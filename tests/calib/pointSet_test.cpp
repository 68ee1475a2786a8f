// Point picking, the homography of N point pairs and its fit, and the usability
// check that refuses exactly what the estimation cannot survive.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <random>

#include "calib/pointPicking.h"
#include "calib/pointSet.h"

namespace {

using Points = std::vector<Point>;
using F = PointSetFault;

const Points square = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
const Points six = {{0, 0}, {9, 0}, {9, 9}, {0, 9}, {4, 2}, {7, 5}};
constexpr int lo = INT_MIN, hi = INT_MAX;

TEST(EstimateHomography, FindsTheFaultAndNeverEndsTheProcess) {
    // clang-format off
    struct PairCase { const char* name; F fault; Points input, output = {}; };  // output empty: input
    const PairCase cases[] = {{"square", F::none, square}, {"six", F::none, six},
        {"three", F::wrongCount, {{0, 0}, {100, 0}, {100, 100}}}, {"lengthsDiffer", F::wrongCount, square, six},
        {"bothCollinear", F::collinear, {{0, 0}, {1, 0}, {2, 0}, {0, 1}}, {{0, 0}, {0, 0}, {1, 1}, {2, 0}}},  // input first
        {"outputRepeats", F::coincident, square, {{0, 0}, {1, 0}, {0, 0}, {0, 1}}},
        {"sixthRepeatsSecond", F::coincident, {{0, 0}, {9, 9}, {9, 0}, {0, 9}, {4, 2}, {9, 9}}},
        {"outputCollinear", F::collinear, square, {{0, 0}, {10, 0}, {20, 0}, {0, 10}}},
        {"firstOffALine", F::collinear, {{0, 50}, {30, 30}, {10, 10}, {20, 20}}},
        {"secondOffALine", F::collinear, {{0, 0}, {5, 1}, {10, 10}, {20, 20}}},
        {"fourOfFiveOnALine", F::collinear, {{0, 0}, {1, 1}, {0, 7}, {2, 2}, {3, 3}}},
        {"threeOfFiveOnALine", F::none, {{0, 0}, {1, 1}, {0, 7}, {2, 2}, {3, 1}}},
        {"refinedOnALine", F::collinear, {{0.5, 0}, {1, 1}, {1.5, 2}, {0, 7}}}, {"refinedApart", F::none, {{0.25, 0}, {0.75, 0}, {9, 9}, {0, 9}}},  // only by fractions
        // Differences span 2^32 - 1, so the cross product needs more than 63 bits.
        {"intRangeDiagonal", F::collinear, {{lo, lo}, {hi, hi}, {0, 0}, {0, 1}}},
        {"intRangeAntidiagonal", F::collinear, {{lo, hi}, {hi, lo}, {0, -1}, {5, 7}}},
        // Found by fuzzing (fuzz/regressions/calibration/usable_points_singular_normal_matrix.txt):
        // a pivot lost to rounding, one coordinate 10^6 times the others.
        {"lostPivot", F::unstable, {{30, 40}, {0, 2}, {260, 0}, {214748333, -48364743}}, {{10, 100}, {2, 0}, {250, 0}, {25, 180}}}};
    // clang-format on
    for (const PairCase& c : cases)
        EXPECT_EQ(estimateHomography(c.input, c.output.empty() ? c.input : c.output).fault, c.fault)
            << c.name;
    EXPECT_FALSE(collinear({lo, lo}, {hi, hi - 1}, {hi - 1, hi - 2}));  // 1 in 2^64: not in double
    EXPECT_FALSE(safeInverse(linal::Matrix(1, 1, 1e-310)));             // the inverse overflows
    // Random sets of 4 to 6 clicks inside pictures up to 8192 pixels wide are never unstable.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(0, 8191);
    const auto click = [&] { return Point{double(pick(random)), double(pick(random))}; };
    for (int n = 0; n < 3000; ++n) {
        Points input(4 + n % 3), output(input.size());
        std::generate(input.begin(), input.end(), click);
        std::generate(output.begin(), output.end(), click);
        ASSERT_NE(estimateHomography(input, output).fault, F::unstable) << "set " << n;
    }
}

linal::Matrix estimate(const Points& output, const Points& input) {
    return ComputeHomography(normalEquations(output, input));
}

// The worked example, bit for bit as this estimation has always produced it: the list shows
// "1.064644 -0.037490 19.471393", "-0.132800 0.824368 32.741555", "-0.000323 -0.000534 1.000000".
TEST(ComputeHomography, KeepsTheWorkedExampleAndNamesAMovedPair) {
    const linal::Matrix H = estimate({{10, 10}, {200, 15}, {190, 220}, {5, 180}},
                                     {{30, 40}, {250, 20}, {260, 230}, {20, 200}});
    char text[512];
    std::snprintf(text, sizeof text, "%a %a %a %a %a %a %a %a %a %f", H(1, 1), H(1, 2), H(1, 3),
                  H(2, 1), H(2, 2), H(2, 3), H(3, 1), H(3, 2), H(3, 3), linal::inverse(H)(3, 3));
    EXPECT_STREQ(text,
                 "0x1.108c7a6708bdap+0 -0x1.331e823a57726p-5 0x1.378ad3600f7f2p+4 "
                 "-0x1.0ff99b639d002p-3 0x1.a6139d7951463p-1 0x1.05eeb45a7aefcp+5 "
                 "-0x1.52eb374aa0b8p-12 -0x1.17cef1720a1abp-11 0x1p+0 0.971535");
    EXPECT_NE(H(1, 3), estimate({{10.25, 10}, {200, 15}, {190, 220}, {5, 180}},  // not cut
                                {{30, 40}, {250, 20}, {260, 230}, {20, 200}})(1, 3));
    // Six pairs of one exact affine mapping fit with an RMS of about 0; moving one input point
    // gives a positive RMS and names that pair as the worst, which pulls H toward it: less than
    // the whole move is left on it. The fit of known errors, exactly; points beyond the lens's
    // reach (1.5 R) infinitely far off.
    const Points output = {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {50, 20}, {30, 70}};
    Points input;
    for (Point p : output)
        input.push_back({2 * p.x + 3 * p.y + 7, p.y - p.x + 40});
    EXPECT_LT(fitOf(reprojectionErrors(estimate(output, input), output, input)).rms, 1e-9);
    input[4].y += 30;
    const Fit fit = fitOf(reprojectionErrors(estimate(output, input), output, input));
    EXPECT_GT(fit.rms, 1.0);
    EXPECT_EQ(fit.worst, 4u);
    EXPECT_LT(fit.largest, 29.0);
    const Fit known = fitOf({3.0, 4.0, 0.0});
    EXPECT_EQ(known.rms, std::sqrt(25.0 / 3.0));
    EXPECT_EQ(known.largest, 4.0);
    EXPECT_EQ(known.worst, 1u);
    EXPECT_EQ(reprojectionErrors(H, square, square, {0.1, 0, 0, 0, 1}), std::vector(4, HUGE_VAL));
}

// A click in a view of vw × vh over a frame of fw × fh gives the entry, and back; entries parse.
TEST(PointPicking, ClickToEntryAndBack) {
    // clang-format off
    for (const auto& [cx, cy, vw, vh, fw, fh, entry] : {
        std::tuple{150, 200, 209, 241, 0, 0, "0,0"},  // no frame size yet
        // 100 / 209 · 320 = 153.1 and 120 / 241 · 240 = 119.5; -2 / 209 · 320 = -3.06
        {100, 120, 209, 241, 320, 240, "153,119"}, {-2, 5, 209, 241, 320, 240, "-3,4"},
        {208, 240, 209, 241, 320, 240, "318,239"},
        // 7 / 10 · 90 = 62.99999999999999 in double, while 7 · 90 / 10 = 63
        {7, 0, 10, 10, 90, 10, "62,0"},
        {5, 5, 0, 0, 320, 240, "2147483647,2147483647"}, {0, 0, 0, 0, 320, 240, "0,0"}})
        // clang-format on
        EXPECT_EQ(formatPoint(clickToFramePixel(cx, cy, vw, vh, fw, fh)), entry) << cx << "," << cy;
    // Frame 640 × 480 over a 200 × 300 view: multiplied first, then truncated.
    EXPECT_EQ(formatPoint(framePixelToView({-3, -1}, 200, 300, 640, 480)), "0,0");
    EXPECT_EQ(formatPoint(framePixelToView({-4, -2}, 200, 300, 640, 480)), "-1,-1");
    Point back{7, 7};
    bool refined = true;
    EXPECT_TRUE(parsePoint(formatPoint({INT_MIN, -3}), back, &refined));
    EXPECT_EQ(std::tuple(back.x, back.y, refined), std::tuple(INT_MIN, -3.0, false));
    EXPECT_EQ(formatPoint({INT_MIN, -3}), "-2147483648,-3");
    // Refined entries: two decimals, whatever the value; read back with their fractions.
    EXPECT_EQ(formatPoint({153, -0.5}) + " " + formatPoint({1.5, 2}), "153.00,-0.50 1.50,2.00");
    EXPECT_TRUE(parsePoint("153.27,119.8", back, &refined) && refined && back.x == 153.27 &&
                back.y == 119.8);
    for (const char* bad :
         {"", "12", "12;4", "a,b", "1.257,2", "1.,2", ".50,2", "2147483648,0", "0,-2147483649"})
        EXPECT_FALSE(parsePoint(bad, back)) << bad;
}

}  // namespace
