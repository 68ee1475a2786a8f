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

std::string clickName(const testing::TestParamInfo<ClickCase>& info) {
    return info.param.name;
}

class ClickToFramePixel : public testing::TestWithParam<ClickCase> {};

TEST_P(ClickToFramePixel, GivesTheEntry) {
    const ClickCase& c = GetParam();
    const Point p =
        clickToFramePixel(c.cx, c.cy, c.viewWidth, c.viewHeight, c.frameWidth, c.frameHeight);
    EXPECT_EQ(formatPoint(p), c.entry);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, ClickToFramePixel,
    testing::Values(ClickCase{"TopLeftCorner", 0, 0, 209, 241, 320, 240, "0,0"},
                    ClickCase{"NoFrameSizeYet", 150, 200, 209, 241, 0, 0, "0,0"},
                    // 100 / 209 · 320 = 153.1 and 120 / 241 · 240 = 119.5
                    ClickCase{"FractionsTruncate", 100, 120, 209, 241, 320, 240, "153,119"},
                    // -2 / 209 · 320 = -3.06: toward zero, not down
                    ClickCase{"LeftOfTheViewTruncatesTowardZero", -2, 5, 209, 241, 320, 240,
                              "-3,4"},
                    ClickCase{"BottomRightPixel", 208, 240, 209, 241, 320, 240, "318,239"},
                    ClickCase{"ViewAndFrameOfOneSize", 17, 33, 320, 240, 320, 240, "17,33"},
                    // 7 / 10 · 90 = 62.99999999999999 in double, while 7 · 90 / 10 = 63: the order
                    // decides the pixel
                    ClickCase{"DivisionBeforeMultiplication", 7, 0, 10, 10, 90, 10, "62,0"}),
    clickName);

TEST(ClickToFramePixel, AgreesWithTheFormulaOverAGrid) {
    for (int viewWidth : {1, 7, 209, 243}) {
        for (int frameWidth : {1, 3, 320, 641}) {
            for (int cx = -3; cx < viewWidth + 3; ++cx) {
                const double exact = static_cast<double>(cx) / viewWidth * frameWidth;
                const Point p = clickToFramePixel(cx, 0, viewWidth, 5, frameWidth, 5);
                ASSERT_EQ(p.x, static_cast<int>(exact))
                    << cx << " " << viewWidth << " " << frameWidth;
            }
        }
    }
}

TEST(ClickToFramePixel, ZeroSizedViewGivesDefinedValues) {
    EXPECT_EQ(formatPoint(clickToFramePixel(0, 0, 0, 0, 320, 240)), "0,0");
    EXPECT_EQ(formatPoint(clickToFramePixel(5, 5, 0, 0, 320, 240)),
              std::to_string(INT_MAX) + "," + std::to_string(INT_MAX));
}

TEST(FramePixelToView, MultipliesFirstAndTruncates) {
    // Frame 640 × 480 over a 200 × 300 view.
    EXPECT_EQ(formatPoint(framePixelToView({320, 240}, 200, 300, 640, 480)), "100,150");
    EXPECT_EQ(formatPoint(framePixelToView({639, 479}, 200, 300, 640, 480)), "199,299");
    EXPECT_EQ(formatPoint(framePixelToView({0, 0}, 200, 300, 640, 480)), "0,0");
    EXPECT_EQ(formatPoint(framePixelToView({-3, -1}, 200, 300, 640, 480)), "0,0");
    EXPECT_EQ(formatPoint(framePixelToView({-4, -2}, 200, 300, 640, 480)), "-1,-1");
}

TEST(FramePixelToView, UndoesTheClickForEveryViewPixel) {
    // A pixel clicked in a view and drawn back lands on or just before the clicked pixel.
    const int viewWidth = 243, frameWidth = 320;
    for (int cx = 0; cx < viewWidth; ++cx) {
        const Point frame = clickToFramePixel(cx, 0, viewWidth, 1, frameWidth, 1);
        const Point back = framePixelToView(frame, viewWidth, 1, frameWidth, 1);
        EXPECT_LE(back.x, cx);
        EXPECT_GE(back.x, cx - 1);
    }
}

TEST(PointEntry, FormatHasNoBlanks) {
    EXPECT_EQ(formatPoint({153, 97}), "153,97");
    EXPECT_EQ(formatPoint({-3, 0}), "-3,0");
    EXPECT_EQ(formatPoint({INT_MIN, INT_MAX}), "-2147483648,2147483647");
}

TEST(PointEntry, ParseReadsWhatFormatWrote) {
    for (Point p : {Point{0, 0}, Point{153, 119}, Point{-3, 4}, Point{INT_MIN, INT_MAX}}) {
        Point back{7, 7};
        ASSERT_TRUE(parsePoint(formatPoint(p), back));
        EXPECT_EQ(back.x, p.x);
        EXPECT_EQ(back.y, p.y);
    }
}

TEST(PointEntry, ParseRefusesTextWithoutTwoNumbers) {
    Point p{};
    EXPECT_FALSE(parsePoint("", p));
    EXPECT_FALSE(parsePoint("12", p));
    EXPECT_FALSE(parsePoint("12;4", p));
    EXPECT_FALSE(parsePoint("a,b", p));
}

}  // namespace
