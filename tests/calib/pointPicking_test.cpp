// Point picking: click position -> frame pixel, frame pixel -> view, and the entry text.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "calib/pointPicking.h"

namespace {

struct ClickCase {
    std::string name;
    int cx, cy, viewWidth, viewHeight, frameWidth, frameHeight;
    std::string entry;
};

class ClickToFramePixel : public testing::TestWithParam<ClickCase> {};

TEST_P(ClickToFramePixel, GivesTheEntry) {
    const ClickCase& c = GetParam();
    EXPECT_EQ(formatPoint(clickToFramePixel(c.cx, c.cy, c.viewWidth, c.viewHeight, c.frameWidth,
                                            c.frameHeight)),
              c.entry);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, ClickToFramePixel,
    testing::Values(ClickCase{"NoFrameSizeYet", 150, 200, 209, 241, 0, 0, "0,0"},
                    // 100 / 209 · 320 = 153.1 and 120 / 241 · 240 = 119.5
                    ClickCase{"FractionsTruncate", 100, 120, 209, 241, 320, 240, "153,119"},
                    // -2 / 209 · 320 = -3.06: toward zero, not down
                    ClickCase{"LeftOfTheViewTowardZero", -2, 5, 209, 241, 320, 240, "-3,4"},
                    ClickCase{"BottomRightPixel", 208, 240, 209, 241, 320, 240, "318,239"},
                    // 7 / 10 · 90 = 62.99999999999999 in double, while 7 · 90 / 10 = 63
                    ClickCase{"DivisionBeforeMultiplication", 7, 0, 10, 10, 90, 10, "62,0"},
                    ClickCase{"ZeroSizedView", 5, 5, 0, 0, 320, 240,
                              std::to_string(INT_MAX) + "," + std::to_string(INT_MAX)},
                    ClickCase{"ZeroByZero", 0, 0, 0, 0, 320, 240, "0,0"}),
    [](const auto& row) { return row.param.name; });

TEST(ClickToFramePixel, AgreesWithTheFormulaOverAGrid) {
    for (int viewWidth : {1, 7, 209, 243}) {
        for (int frameWidth : {1, 3, 320, 641}) {
            for (int cx = -3; cx < viewWidth + 3; ++cx) {
                const double exact = static_cast<double>(cx) / viewWidth * frameWidth;
                ASSERT_EQ(clickToFramePixel(cx, 0, viewWidth, 5, frameWidth, 5).x,
                          static_cast<int>(exact));
            }
        }
    }
}

TEST(FramePixelToView, MultipliesFirstAndTruncates) {
    // Frame 640 × 480 over a 200 × 300 view.
    EXPECT_EQ(formatPoint(framePixelToView({639, 479}, 200, 300, 640, 480)), "199,299");
    EXPECT_EQ(formatPoint(framePixelToView({-3, -1}, 200, 300, 640, 480)), "0,0");
    EXPECT_EQ(formatPoint(framePixelToView({-4, -2}, 200, 300, 640, 480)), "-1,-1");
    // A pixel clicked in a view and drawn back lands on or just before the clicked pixel.
    for (int cx = 0; cx < 243; ++cx) {
        const int back =
            framePixelToView(clickToFramePixel(cx, 0, 243, 1, 320, 1), 243, 1, 320, 1).x;
        EXPECT_TRUE(back == cx || back == cx - 1) << cx;
    }
}

TEST(PointEntry, FormatAndParse) {
    EXPECT_EQ(formatPoint({INT_MIN, INT_MAX}), "-2147483648,2147483647");
    Point back{7, 7};
    ASSERT_TRUE(parsePoint("-3,4", back));
    EXPECT_EQ(formatPoint(back), "-3,4");
    for (const char* bad : {"", "12", "12;4", "a,b"}) {
        EXPECT_FALSE(parsePoint(bad, back)) << bad;
    }
}

}  // namespace
