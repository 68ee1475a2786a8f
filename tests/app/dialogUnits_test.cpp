// Dialog units to pixels.
#include <gtest/gtest.h>

#include "app/dialogUnits.h"

namespace {

TEST(MulDiv, RoundsHalfAwayFromZero) {
    EXPECT_EQ(mulDiv(139, 7, 4), 243);  // 243.25
    EXPECT_EQ(mulDiv(139, 6, 4), 209);  // 208.5
    EXPECT_EQ(mulDiv(-139, 6, 4), -209);
    EXPECT_EQ(mulDiv(139, -6, 4), -209);
    EXPECT_EQ(mulDiv(139, 6, -4), -209);
    EXPECT_EQ(mulDiv(-139, 6, -4), 209);
    EXPECT_EQ(mulDiv(1, 1, 3), 0);
    EXPECT_EQ(mulDiv(2, 1, 3), 1);
    EXPECT_EQ(mulDiv(0, 5, 7), 0);
}

TEST(MulDiv, DoesNotOverflowInTheProduct) {
    EXPECT_EQ(mulDiv(2000000000, 3, 4), 1500000000);
}

TEST(MulDiv, MatchesRoundingOfTheExactQuotientOverAGrid) {
    for (int number = -300; number <= 300; ++number) {
        for (int numerator = 1; numerator <= 20; ++numerator) {
            for (int denominator : {4, 8}) {
                const double exact = static_cast<double>(number) * numerator / denominator;
                const int expected =
                    exact < 0 ? -static_cast<int>(-exact + 0.5) : static_cast<int>(exact + 0.5);
                ASSERT_EQ(mulDiv(number, numerator, denominator), expected)
                    << number << " " << numerator << " " << denominator;
            }
        }
    }
}

TEST(BaseUnits, HalvesTheAlphabetPerLetterAndRounds) {
    EXPECT_EQ(baseUnits(365, 14).x, 7);  // 365 / 26 = 14, (14 + 1) / 2 = 7
    EXPECT_EQ(baseUnits(365, 14).y, 14);
    EXPECT_EQ(baseUnits(312, 12).x, 6);  // 12 → 6
    EXPECT_EQ(baseUnits(338, 12).x, 7);  // 13 → 7
    EXPECT_EQ(baseUnits(337, 12).x, 6);  // 12.96 → 12 → 6
}

TEST(ToPixels, ConvertsEachFieldOnItsOwn) {
    const PixelRect r = toPixels({151, 7, 139, 160}, {7, 14});
    EXPECT_EQ(r.x, 264);  // 264.25
    EXPECT_EQ(r.y, 12);   // 12.25
    EXPECT_EQ(r.w, 243);  // 243.25
    EXPECT_EQ(r.h, 280);
    // The right edge is not converted: x + w in units would give 508, not 264 + 243 = 507.
    EXPECT_EQ(mulDiv(151 + 139, 7, 4), 508);
    const PixelRect client = toPixels({0, 0, 359, 224}, {6, 12});
    EXPECT_EQ(client.w, 539);  // 538.5
    EXPECT_EQ(client.h, 336);
}

TEST(PointsToPixels, NinePointsAreTwelvePixels) {
    EXPECT_EQ(pointsToPixels(9), 12);
    EXPECT_EQ(pointsToPixels(8), 11);   // 10.67
    EXPECT_EQ(pointsToPixels(10), 13);  // 13.33
}

}  // namespace
