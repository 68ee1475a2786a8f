// The usability check of both point lists: it refuses exactly what the estimation cannot
// survive, so a usable pair of lists never ends the process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "calib/pointPicking.h"
#include "calib/pointSet.h"

namespace {

using Points = std::vector<Point>;

struct PairCase {
    std::string name;
    Points input;
    Points output;  // empty: the same as input
    PointSetFault fault;
};

class EstimateHomography : public testing::TestWithParam<PairCase> {};

TEST_P(EstimateHomography, FindsTheFault) {
    const PairCase& c = GetParam();
    EXPECT_EQ(estimateHomography(c.input, c.output.empty() ? c.input : c.output).fault, c.fault);
}

const Points square = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
const Points threeInLine = {{0, 0}, {10, 0}, {20, 0}, {0, 10}};
const Points twoEqual = {{0, 0}, {100, 0}, {0, 0}, {0, 100}};
using F = PointSetFault;

INSTANTIATE_TEST_SUITE_P(
    Lists, EstimateHomography,
    testing::Values(
        PairCase{"Square", square, {}, F::none},
        PairCase{"Quadrilaterals",
                 {{30, 40}, {250, 20}, {260, 230}, {20, 200}},
                 {{10, 10}, {200, 15}, {190, 220}, {5, 180}},
                 F::none},
        PairCase{"FullHdCorners",
                 {{0, 0}, {1919, 0}, {1919, 1079}, {0, 1079}},
                 {{12, 7}, {1900, 30}, {1850, 1070}, {3, 1000}},
                 F::none},
        PairCase{"SixPairs", {{0, 0}, {9, 0}, {9, 9}, {0, 9}, {4, 2}, {7, 5}}, {}, F::none},
        PairCase{"ThreePoints", {{0, 0}, {100, 0}, {100, 100}}, {}, F::wrongCount},
        PairCase{"LengthsDiffer", square, {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {5, 7}}, F::wrongCount},
        PairCase{"InputCheckedBeforeOutput", threeInLine, twoEqual, F::collinear},
        PairCase{"OutputCoincident", square, twoEqual, F::coincident},
        PairCase{"FourEqual", {{5, 5}, {5, 5}, {5, 5}, {5, 5}}, {}, F::coincident},
        PairCase{"LastOfSixRepeatsThird",
                 {{0, 0}, {9, 0}, {9, 9}, {0, 9}, {4, 2}, {9, 9}},
                 {},
                 F::coincident},
        PairCase{"OutputCollinear", square, threeInLine, F::collinear},
        PairCase{"FirstOffALine", {{30, 30}, {0, 50}, {10, 10}, {20, 20}}, {}, F::collinear},
        PairCase{"SecondOffALine", {{0, 0}, {5, 1}, {10, 10}, {20, 20}}, {}, F::collinear},
        PairCase{"AllFourOnOneLine", {{0, 0}, {1, 2}, {2, 4}, {3, 6}}, {}, F::collinear},
        PairCase{
            "FiveAllButOneOnALine", {{0, 0}, {1, 1}, {0, 7}, {2, 2}, {3, 3}}, {}, F::collinear},
        PairCase{"FiveTwoOffALine", {{0, 0}, {1, 1}, {0, 7}, {2, 2}, {3, 1}}, {}, F::none},
        PairCase{"OneUnitOffTheLine", {{0, 0}, {1000, 1}, {2000, 3}, {0, 500}}, {}, F::none},
        // Differences span 2^32 - 1, so the cross product needs more than 63 bits.
        PairCase{"ExtremeOnOneLine",
                 {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {0, 0}, {0, 1}},
                 {},
                 F::collinear},
        PairCase{"ExtremeOppositeSignsOnOneLine",
                 {{INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}, {0, -1}, {5, 7}},
                 {},
                 F::collinear},
        // Found by fuzzing: usable sets whose normal matrix loses a pivot to rounding, since
        // one coordinate is 10^6 times the others.
        PairCase{"OneHugeInputPoint",
                 {{30, 40}, {0, 2}, {260, 0}, {214748333, -48364743}},
                 {{10, 100}, {2, 0}, {250, 0}, {25, 180}},
                 F::unstable}),
    [](const auto& row) { return row.param.name; });

// The fuzz regression: refused, and the estimation it stops really ends the process.
TEST(EstimateHomography, RefusesTheSingularNormalMatrixRegression) {
    std::ifstream file(std::string(FUZZ_REGRESSION_DIR) +
                       "/calibration/usable_points_singular_normal_matrix.txt");
    Points lists[2];
    int list = 0;
    for (std::string line; std::getline(file, line);) {
        Point p{0, 0};
        list += line.empty() ? 1 : 0;
        if (!line.empty() && parsePoint(line, p)) {
            lists[list].push_back(p);
        }
    }
    ASSERT_EQ(checkPointSet(lists[0]), F::none);
    ASSERT_EQ(checkPointSet(lists[1]), F::none);
    EXPECT_EQ(estimateHomography(lists[0], lists[1]).fault, F::unstable);
    EXPECT_EXIT(
        {
            std::setvbuf(stdout, nullptr, _IONBF, 0);
            dup2(STDERR_FILENO, STDOUT_FILENO);
            ComputeHomography(normalEquations(lists[1], lists[0]));
        },
        testing::ExitedWithCode(1), "^ERROR: singular matrix\n$");
}

// Random sets of 4 to 6 pairs at every scale, from pixels to the whole int range: none ends
// the process (which would end this test), and some pass.
TEST(EstimateHomography, NeverEndsTheProcess) {
    std::mt19937 random(7);
    int passed = 0;
    for (int bits = 4; bits <= 31; bits += 3) {
        const long long limit = (1LL << bits) - 1;
        std::uniform_int_distribution<long long> coordinate(-limit, limit);
        for (int n = 0; n < 300; ++n) {
            Points input(4 + n % 3);
            Points output(input.size());
            for (std::size_t i = 0; i < input.size(); ++i) {
                input[i] = {int(coordinate(random)), int(coordinate(random))};
                output[i] = {int(coordinate(random)), int(coordinate(random))};
            }
            // One point far away from the rest, where rounding bites first.
            if (n % 2 == 0) {
                input[3] = {int(coordinate(random) / 64 + limit / 2), int(limit / 3)};
            }
            passed += estimateHomography(input, output).fault == F::none ? 1 : 0;
        }
    }
    EXPECT_GT(passed, 1000);
}

// Pictures up to 8192 pixels wide, clicked anywhere inside: never refused as unstable.
TEST(EstimateHomography, ClicksInsideLargePicturesAreNeverUnstable) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> coordinate(0, 8191);
    for (int n = 0; n < 3000; ++n) {
        Points input(4 + n % 2);
        Points output(input.size());
        for (std::size_t i = 0; i < input.size(); ++i) {
            input[i] = {coordinate(random), coordinate(random)};
            output[i] = {coordinate(random), coordinate(random)};
        }
        ASSERT_NE(estimateHomography(input, output).fault, F::unstable) << n;
    }
}

TEST(Collinear, AgreesWithThePlainCrossProductOnSmallGrids) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> coordinate(-4, 4);
    for (int n = 0; n < 20000; ++n) {
        const Point a{coordinate(random), coordinate(random)};
        const Point b{coordinate(random), coordinate(random)};
        const Point c{coordinate(random), coordinate(random)};
        ASSERT_EQ(collinear(a, b, c), (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x) == 0);
    }
}

}  // namespace
