// The usability test for a set of four clicked points.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "calib/pointSet.h"

namespace {

struct SetCase {
    std::string name;
    std::vector<Point> points;
    PointSetFault fault;
};

std::string setName(const testing::TestParamInfo<SetCase>& info) {
    return info.param.name;
}

class CheckPointSet : public testing::TestWithParam<SetCase> {};

TEST_P(CheckPointSet, FindsTheFault) {
    const SetCase& c = GetParam();
    EXPECT_EQ(checkPointSet(c.points), c.fault);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, CheckPointSet,
    testing::Values(
        SetCase{"Square", {{0, 0}, {100, 0}, {100, 100}, {0, 100}}, PointSetFault::none},
        SetCase{"GeneralQuadrilateral",
                {{10, 10}, {200, 15}, {190, 220}, {5, 180}},
                PointSetFault::none},
        SetCase{"Empty", {}, PointSetFault::wrongCount},
        SetCase{"ThreePoints", {{0, 0}, {100, 0}, {100, 100}}, PointSetFault::wrongCount},
        SetCase{"FivePoints",
                {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {50, 50}},
                PointSetFault::wrongCount},
        SetCase{"FourEqualPoints", {{5, 5}, {5, 5}, {5, 5}, {5, 5}}, PointSetFault::coincident},
        SetCase{
            "LastRepeatsFirst", {{0, 0}, {100, 0}, {100, 100}, {0, 0}}, PointSetFault::coincident},
        SetCase{"ThreeOnTheXAxis", {{0, 0}, {10, 0}, {20, 0}, {0, 10}}, PointSetFault::collinear},
        SetCase{"ThreeOnADiagonalNotInClickOrder",
                {{30, 30}, {0, 50}, {10, 10}, {20, 20}},
                PointSetFault::collinear},
        SetCase{"AllFourOnOneLine", {{0, 0}, {1, 2}, {2, 4}, {3, 6}}, PointSetFault::collinear},
        SetCase{"ThirdPointOneUnitOffTheLine",
                {{0, 0}, {1000, 1}, {2000, 3}, {0, 500}},
                PointSetFault::none},
        // Differences span 2^32 - 1, so the cross product needs more than 63 bits.
        SetCase{"ExtremeCoordinatesOnOneLine",
                {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {0, 0}, {0, 1}},
                PointSetFault::collinear},
        SetCase{"ExtremeCoordinatesOneUnitOff",
                {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {0, 1}, {1, 0}},
                PointSetFault::none},
        SetCase{"ExtremeOppositeSignsOnOneLine",
                {{INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}, {0, -1}, {5, 7}},
                PointSetFault::collinear}),
    setName);

// The plain cross product in a wide enough type, for small coordinates.
bool crossIsZero(Point a, Point b, Point c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x) == 0;
}

TEST(Collinear, AgreesWithThePlainCrossProductOnSmallGrids) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> coordinate(-4, 4);
    for (int n = 0; n < 20000; ++n) {
        const Point a{coordinate(random), coordinate(random)};
        const Point b{coordinate(random), coordinate(random)};
        const Point c{coordinate(random), coordinate(random)};
        ASSERT_EQ(collinear(a, b, c), crossIsZero(a, b, c));
    }
}

TEST(Collinear, DoesNotDependOnTheOrderOfThePoints) {
    const Point a{INT_MIN, 3}, b{7, INT_MAX}, c{-1, -1};
    const bool first = collinear(a, b, c);
    EXPECT_EQ(collinear(b, c, a), first);
    EXPECT_EQ(collinear(c, a, b), first);
    EXPECT_EQ(collinear(b, a, c), first);
    EXPECT_TRUE(collinear({-7, 1}, {3, 3}, {8, 4}));
    EXPECT_TRUE(collinear({3, 3}, {8, 4}, {-7, 1}));
}

}  // namespace
