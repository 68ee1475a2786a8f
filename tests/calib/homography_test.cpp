// Homography estimation from four clicked point pairs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <string>

#include "calib/homography.h"

using linal::Matrix;
using Points = std::array<Point, 4>;

namespace {

template <typename Case>
std::string caseName(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

const Points square = {{{0, 0}, {100, 0}, {100, 100}, {0, 100}}};

std::string rowText(const Matrix& H, int r) {
    char text[128];
    std::snprintf(text, sizeof text, "%f %f %f", H(r, 1), H(r, 2), H(r, 3));
    return text;
}

// (u, v) = H applied to (x, y), divided through by the third coordinate.
void expectMaps(const Matrix& H, Point from, Point to) {
    const double w = H(3, 1) * from.x + H(3, 2) * from.y + H(3, 3);
    EXPECT_NEAR((H(1, 1) * from.x + H(1, 2) * from.y + H(1, 3)) / w, to.x, 1e-9);
    EXPECT_NEAR((H(2, 1) * from.x + H(2, 2) * from.y + H(2, 3)) / w, to.y, 1e-9);
}

TEST(ComputeHomography, GeneralQuadrilateralPrintsTheKnownRows) {
    const Points output = {{{10, 10}, {200, 15}, {190, 220}, {5, 180}}};
    const Points input = {{{30, 40}, {250, 20}, {260, 230}, {20, 200}}};
    const Matrix H = ComputeHomography(output, input);
    ASSERT_EQ(NumRows(H), 3);
    ASSERT_EQ(NumCols(H), 3);
    EXPECT_EQ(rowText(H, 1), "1.064644 -0.037490 19.471393");
    EXPECT_EQ(rowText(H, 2), "-0.132800 0.824368 32.741555");
    EXPECT_EQ(rowText(H, 3), "-0.000323 -0.000534 1.000000");
    EXPECT_EQ(H(3, 3), 1.0);

    char corner[32];
    std::snprintf(corner, sizeof corner, "%f", linal::inverse(H)(3, 3));
    EXPECT_STREQ(corner, "0.971535");
    for (int i = 0; i < 4; ++i) {
        expectMaps(H, output[i], input[i]);
    }
}

struct AffineCase {
    const char* name;
    Points input;  // matched with the square of output points
    double h[9];
    double inverse[9];
};

void PrintTo(const AffineCase& c, std::ostream* os) {
    *os << c.name;
}

class Affine : public testing::TestWithParam<AffineCase> {};

TEST_P(Affine, RecoversTheMappingAndItsInverse) {
    const AffineCase& c = GetParam();
    const Matrix H = ComputeHomography(square, c.input);
    const Matrix Hi = linal::inverse(H);
    for (int r = 1; r <= 3; ++r) {
        for (int k = 1; k <= 3; ++k) {
            EXPECT_NEAR(H(r, k), c.h[3 * (r - 1) + k - 1], 1e-9) << r << "," << k;
            EXPECT_NEAR(Hi(r, k), c.inverse[3 * (r - 1) + k - 1], 1e-9) << r << "," << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Square, Affine,
                         testing::Values(AffineCase{"Identity",
                                                    square,
                                                    {1, 0, 0, 0, 1, 0, 0, 0, 1},
                                                    {1, 0, 0, 0, 1, 0, 0, 0, 1}},
                                         AffineCase{"Translation",
                                                    {{{10, 20}, {110, 20}, {110, 120}, {10, 120}}},
                                                    {1, 0, 10, 0, 1, 20, 0, 0, 1},
                                                    {1, 0, -10, 0, 1, -20, 0, 0, 1}},
                                         AffineCase{"Scale",
                                                    {{{0, 0}, {200, 0}, {200, 200}, {0, 200}}},
                                                    {2, 0, 0, 0, 2, 0, 0, 0, 1},
                                                    {0.5, 0, 0, 0, 0.5, 0, 0, 0, 1}}),
                         caseName<AffineCase>);

TEST(ComputeHomography, IdentityPrintsUnitRows) {
    const Matrix H = ComputeHomography(square, square);
    // A zero up to rounding may carry a minus sign.
    const char* rows[] = {"1\\.000000 -?0\\.000000 -?0\\.000000",
                          "-?0\\.000000 1\\.000000 -?0\\.000000",
                          "-?0\\.000000 -?0\\.000000 1\\.000000"};
    for (int r = 1; r <= 3; ++r) {
        EXPECT_TRUE(std::regex_match(rowText(H, r), std::regex(rows[r - 1]))) << rowText(H, r);
    }
}

TEST(ComputeHomography, PairsPointsByPosition) {
    const Points output = {{{10, 10}, {200, 15}, {190, 220}, {5, 180}}};
    const Points input = {{{30, 40}, {250, 20}, {260, 230}, {20, 200}}};
    const Points swapped = {input[1], input[0], input[2], input[3]};
    const Matrix H = ComputeHomography(output, swapped);
    EXPECT_NE(rowText(H, 1), rowText(ComputeHomography(output, input), 1));
    for (int i = 0; i < 4; ++i) {
        expectMaps(H, output[i], swapped[i]);
    }
}

struct DegenerateCase {
    const char* name;
    Points output;
    Points input;
};

void PrintTo(const DegenerateCase& c, std::ostream* os) {
    *os << c.name;
}

class Degenerate : public testing::TestWithParam<DegenerateCase> {};

TEST_P(Degenerate, EndsTheProcessWithSingularMatrix) {
    const DegenerateCase& c = GetParam();
    EXPECT_EXIT(
        {
            std::setvbuf(stdout, nullptr, _IONBF, 0);
            dup2(STDERR_FILENO, STDOUT_FILENO);  // anything on stdout breaks the exact match
            ComputeHomography(c.output, c.input);
        },
        testing::ExitedWithCode(1), "^ERROR: singular matrix\n$");
}

const Points threeInLine = {{{0, 0}, {10, 0}, {20, 0}, {0, 10}}};

INSTANTIATE_TEST_SUITE_P(Points, Degenerate,
                         testing::Values(DegenerateCase{"FourEqualOutputPoints",
                                                        {{{5, 5}, {5, 5}, {5, 5}, {5, 5}}},
                                                        square},
                                         DegenerateCase{"ThreeCollinearInBoth", threeInLine,
                                                        threeInLine}),
                         caseName<DegenerateCase>);

}  // namespace
