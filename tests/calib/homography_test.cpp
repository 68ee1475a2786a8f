// Homography estimation from N point pairs, and how well the result fits them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "calib/homography.h"

using linal::Matrix;
using Points = std::vector<Point>;

namespace {

const Points workedOutput = {{10, 10}, {200, 15}, {190, 220}, {5, 180}};
const Points workedInput = {{30, 40}, {250, 20}, {260, 230}, {20, 200}};

std::string rowText(const Matrix& H, int r) {
    char text[128];
    std::snprintf(text, sizeof text, "%f %f %f", H(r, 1), H(r, 2), H(r, 3));
    return text;
}

// The worked example: four pairs print the rows they always have, and H maps each output
// point onto its input point.
TEST(ComputeHomography, FourPairsPrintTheKnownRows) {
    const Matrix H = ComputeHomography(normalEquations(workedOutput, workedInput));
    EXPECT_EQ(rowText(H, 1), "1.064644 -0.037490 19.471393");
    EXPECT_EQ(rowText(H, 2), "-0.132800 0.824368 32.741555");
    EXPECT_EQ(rowText(H, 3), "-0.000323 -0.000534 1.000000");
    char corner[32];
    std::snprintf(corner, sizeof corner, "%f", linal::inverse(H)(3, 3));
    EXPECT_STREQ(corner, "0.971535");
    for (double e : reprojectionErrors(H, workedOutput, workedInput)) {
        EXPECT_LT(e, 1e-9);
    }
    // Bit for bit as this estimation has always produced them.
    char bits[512];
    std::snprintf(bits, sizeof bits, "%a %a %a %a %a %a %a %a", H(1, 1), H(1, 2), H(1, 3), H(2, 1),
                  H(2, 2), H(2, 3), H(3, 1), H(3, 2));
    EXPECT_STREQ(bits,
                 "0x1.108c7a6708bdap+0 -0x1.331e823a57726p-5 0x1.378ad3600f7f2p+4 "
                 "-0x1.0ff99b639d002p-3 0x1.a6139d7951463p-1 0x1.05eeb45a7aefcp+5 "
                 "-0x1.52eb374aa0b8p-12 -0x1.17cef1720a1abp-11");
}

// Six pairs of one exact affine mapping fit with an RMS of about 0; moving one input point
// gives a positive RMS and names that pair as the worst.
TEST(ComputeHomography, SixPairsFitAndAMovedPairIsNamed) {
    const Points output = {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {50, 20}, {30, 70}};
    Points input;
    for (Point p : output) {
        input.push_back({2 * p.x + 3 * p.y + 7, p.y - p.x + 40});
    }
    const auto fitFor = [&] {
        return fitOf(
            reprojectionErrors(ComputeHomography(normalEquations(output, input)), output, input));
    };
    EXPECT_LT(fitFor().rms, 1e-9);
    input[4].y += 30;
    const Fit fit = fitFor();
    EXPECT_GT(fit.rms, 1.0);
    EXPECT_EQ(fit.worst, 4u);
    EXPECT_GT(fit.largest, fit.rms);
}

TEST(ComputeHomography, DegeneratePointsEndTheProcess) {
    const Points equal = {{5, 5}, {5, 5}, {5, 5}, {5, 5}};
    EXPECT_EXIT(
        {
            std::setvbuf(stdout, nullptr, _IONBF, 0);
            dup2(STDERR_FILENO, STDOUT_FILENO);  // anything on stdout breaks the exact match
            ComputeHomography(normalEquations(equal, workedInput));
        },
        testing::ExitedWithCode(1), "^ERROR: singular matrix\n$");
}

}  // namespace
