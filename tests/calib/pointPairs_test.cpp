// The usability check of both point lists together: it refuses exactly what the estimation
// cannot survive, so a usable pair of lists never ends the process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "calib/homography.h"
#include "calib/pointPicking.h"
#include "calib/pointSet.h"
#include "linal/matrix.h"

namespace {

using Points = std::vector<Point>;

std::array<Point, 4> four(const Points& p) {
    return {p[0], p[1], p[2], p[3]};
}

struct PairCase {
    std::string name;
    Points input;
    Points output;
    PointSetFault fault;
};

std::string pairName(const testing::TestParamInfo<PairCase>& info) {
    return info.param.name;
}

class CheckPointPairs : public testing::TestWithParam<PairCase> {};

TEST_P(CheckPointPairs, FindsTheFault) {
    const PairCase& c = GetParam();
    EXPECT_EQ(checkPointPairs(c.input, c.output), c.fault);
}

const Points square = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
const Points quadrilateral = {{30, 40}, {250, 20}, {260, 230}, {20, 200}};
const Points threeInLine = {{0, 0}, {10, 0}, {20, 0}, {0, 10}};
const Points twoEqual = {{0, 0}, {100, 0}, {0, 0}, {0, 100}};

INSTANTIATE_TEST_SUITE_P(
    Lists, CheckPointPairs,
    testing::Values(
        PairCase{"IdentitySquare", square, square, PointSetFault::none},
        PairCase{"GeneralQuadrilateral",
                 quadrilateral,
                 {{10, 10}, {200, 15}, {190, 220}, {5, 180}},
                 PointSetFault::none},
        PairCase{"FullHdCorners",
                 {{0, 0}, {1919, 0}, {1919, 1079}, {0, 1079}},
                 {{12, 7}, {1900, 30}, {1850, 1070}, {3, 1000}},
                 PointSetFault::none},
        PairCase{"InputCountFirst", {{0, 0}}, twoEqual, PointSetFault::wrongCount},
        PairCase{"OutputShort", square, {{0, 0}, {1, 0}, {0, 1}}, PointSetFault::wrongCount},
        PairCase{"OutputLonger",
                 square,
                 {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {50, 50}},
                 PointSetFault::wrongCount},
        PairCase{"InputCheckedBeforeOutput", threeInLine, twoEqual, PointSetFault::collinear},
        PairCase{"OutputCoincident", square, twoEqual, PointSetFault::coincident},
        PairCase{"OutputCollinear", square, threeInLine, PointSetFault::collinear},
        // Found by fuzzing: usable sets whose normal matrix loses a pivot to rounding, since
        // one coordinate is 10^6 times the others.
        PairCase{"OneHugeInputPoint",
                 {{30, 40}, {0, 2}, {260, 0}, {214748333, -48364743}},
                 {{10, 100}, {2, 0}, {250, 0}, {25, 180}},
                 PointSetFault::unstable}),
    pairName);

// The point lists of a calibration fuzz input: input entries, an empty line, output entries.
void readLists(const std::string& path, Points& input, Points& output) {
    std::ifstream file(path);
    ASSERT_TRUE(file) << path;
    Points* list = &input;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty()) {
            list = &output;
            continue;
        }
        Point p{0, 0};
        ASSERT_TRUE(parsePoint(line, p)) << line;
        list->push_back(p);
    }
}

// The estimation the check refuses really ends the process: the refusal is not a false
// alarm.
TEST(CheckPointPairsRegression, UsablePointsSingularNormalMatrix) {
    Points input;
    Points output;
    readLists(
        std::string(FUZZ_REGRESSION_DIR) + "/calibration/usable_points_singular_normal_matrix.txt",
        input, output);
    ASSERT_EQ(checkPointSet(input), PointSetFault::none);
    ASSERT_EQ(checkPointSet(output), PointSetFault::none);
    EXPECT_EQ(checkPointPairs(input, output), PointSetFault::unstable);
    EXPECT_EXIT(
        {
            std::setvbuf(stdout, nullptr, _IONBF, 0);
            dup2(STDERR_FILENO, STDOUT_FILENO);
            ComputeHomography(four(output), four(input));
        },
        testing::ExitedWithCode(1), "^ERROR: singular matrix\n$");
}

bool finite(const linal::Matrix& m) {
    for (int i = 1; i <= m.m; ++i) {
        for (int j = 1; j <= m.n; ++j) {
            if (!std::isfinite(m(i, j))) {
                return false;
            }
        }
    }
    return true;
}

// Random usable sets at every scale, from pixels to the whole int range: whatever the check
// lets through is estimated and inverted to finite values (a fatal error would end the
// test binary).
TEST(CheckPointPairs, WhatPassesIsEstimatedToFiniteValues) {
    std::mt19937 random(7);
    int passed = 0;
    for (int bits = 4; bits <= 31; bits += 3) {
        const long long limit = (1LL << bits) - 1;
        std::uniform_int_distribution<long long> coordinate(-limit, limit);
        for (int n = 0; n < 300; ++n) {
            Points input(4);
            Points output(4);
            for (int i = 0; i < 4; ++i) {
                input[i] = {int(coordinate(random)), int(coordinate(random))};
                output[i] = {int(coordinate(random)), int(coordinate(random))};
            }
            // One point far away from the rest, where rounding bites first.
            if (n % 2 == 0) {
                input[3] = {int(coordinate(random) / 64 + limit / 2), int(limit / 3)};
            }
            if (checkPointPairs(input, output) != PointSetFault::none) {
                continue;
            }
            ++passed;
            const linal::Matrix H = ComputeHomography(four(output), four(input));
            ASSERT_TRUE(finite(H));
            ASSERT_TRUE(finite(linal::inverse(H)));
        }
    }
    EXPECT_GT(passed, 0);
}

// Pictures up to 8192 pixels wide, clicked anywhere inside: never refused as unstable.
TEST(CheckPointPairs, ClicksInsideLargePicturesAreNeverUnstable) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> coordinate(0, 8191);
    int unstable = 0;
    for (int n = 0; n < 20000; ++n) {
        Points input(4);
        Points output(4);
        for (int i = 0; i < 4; ++i) {
            input[i] = {coordinate(random), coordinate(random)};
            output[i] = {coordinate(random), coordinate(random)};
        }
        if (checkPointPairs(input, output) == PointSetFault::unstable) {
            ++unstable;
        }
    }
    EXPECT_EQ(unstable, 0);
}

TEST(NormalMatrix, IsSymmetricWithFourOnesInTheConstantColumns) {
    const linal::Matrix N = normalMatrix(four(quadrilateral), four(square));
    ASSERT_EQ(N.m, 8);
    ASSERT_EQ(N.n, 8);
    for (int i = 1; i <= 8; ++i) {
        for (int j = 1; j <= 8; ++j) {
            EXPECT_EQ(N(i, j), N(j, i));
        }
    }
    EXPECT_EQ(N(3, 3), 4.0);
    EXPECT_EQ(N(6, 6), 4.0);
    EXPECT_EQ(N(3, 6), 0.0);
    // Column 1 holds x and column 3 the ones: N(1, 3) is the sum of the output x.
    EXPECT_EQ(N(1, 3), 30.0 + 250.0 + 260.0 + 20.0);
}

}  // namespace
