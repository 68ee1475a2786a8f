#include "capture/TestChart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The picture point of card fractions (s, t), s along the top edge and t down the left,
// through the projective mapping that takes the unit square's corners to the card's.
// The mapping is solved here from scratch (eight equations, Gaussian elimination with
// partial pivoting), independently of how the chart draws itself.
ChartPoint onCard(const std::array<ChartPoint, 4>& c, double s, double t) {
    const double square[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    double a[8][9] = {};
    for (int i = 0; i < 4; ++i) {
        const double u = square[i][0];
        const double v = square[i][1];
        const double x = c[static_cast<std::size_t>(i)].x;
        const double y = c[static_cast<std::size_t>(i)].y;
        const double rowX[9] = {u, v, 1, 0, 0, 0, -u * x, -v * x, x};
        const double rowY[9] = {0, 0, 0, u, v, 1, -u * y, -v * y, y};
        std::copy(rowX, rowX + 9, a[2 * i]);
        std::copy(rowY, rowY + 9, a[2 * i + 1]);
    }
    for (int col = 0; col < 8; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 8; ++r) {
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) {
                pivot = r;
            }
        }
        std::swap(a[col], a[pivot]);
        for (int r = 0; r < 8; ++r) {
            if (r != col) {
                const double f = a[r][col] / a[col][col];
                for (int k = col; k < 9; ++k) {
                    a[r][k] -= f * a[col][k];
                }
            }
        }
    }
    double h[8];
    for (int r = 0; r < 8; ++r) {
        h[r] = a[r][8] / a[r][r];
    }
    const double w = h[6] * s + h[7] * t + 1;
    return {(h[0] * s + h[1] * t + h[2]) / w, (h[3] * s + h[4] * t + h[5]) / w};
}

class ChartFrame : public ::testing::TestWithParam<double> {
  protected:
    void SetUp() override {
        frame.resize(static_cast<std::size_t>(chartFrameWidth) * chartFrameHeight * 2);
        drawChartFrame(GetParam(), frame.data(), chartFrameWidth, chartFrameHeight);
        corners = chartCornersAt(GetParam());
    }

    int lumaAt(ChartPoint p) const {
        const int x = static_cast<int>(std::lround(p.x));
        const int y = static_cast<int>(std::lround(p.y));
        return frame[static_cast<std::size_t>(y * chartFrameWidth + x) * 2];
    }

    // V of the pair holding the pixel: above 128 for red, below for green and blue.
    int redChromaAt(ChartPoint p) const {
        const int x = static_cast<int>(std::lround(p.x)) & ~1;
        const int y = static_cast<int>(std::lround(p.y));
        return frame[static_cast<std::size_t>(y * chartFrameWidth + x) * 2 + 3];
    }

    std::vector<unsigned char> frame;
    std::array<ChartPoint, 4> corners{};
};

TEST_P(ChartFrame, CardCornersAreWhiteAgainstTheDarkerTable) {
    const double inward[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    for (std::size_t i = 0; i < 4; ++i) {
        const ChartPoint inside{corners[i].x + 4 * inward[i][0], corners[i].y + 4 * inward[i][1]};
        const ChartPoint outside{corners[i].x - 6 * inward[i][0], corners[i].y - 6 * inward[i][1]};
        EXPECT_GT(lumaAt(inside), 200) << "corner " << i;
        EXPECT_LT(lumaAt(outside), 130) << "corner " << i;
    }
}

TEST_P(ChartFrame, SquaresAlternateFromADarkTopLeftSquare) {
    int checked = 0;
    for (int row = 0; row < chartSquaresDown; ++row) {
        for (int col = 0; col < chartSquaresAcross; ++col) {
            if ((row == 0 || row == chartSquaresDown - 1) &&
                (col == 0 || col == chartSquaresAcross - 1)) {
                continue;  // the corner squares carry the discs
            }
            const ChartPoint p = onCard(corners, (col + 1.0) / (chartSquaresAcross + 1.0),
                                        (row + 1.0) / (chartSquaresDown + 1.0));
            if ((row + col) % 2 == 0) {
                EXPECT_LT(lumaAt(p), 60) << col << "," << row;
            } else {
                EXPECT_GT(lumaAt(p), 200) << col << "," << row;
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, chartSquaresAcross * chartSquaresDown - 4);
}

TEST_P(ChartFrame, DiscsMarkThreeCornerSquaresInColour) {
    const ChartPoint red = onCard(corners, 1.0 / 9, 1.0 / 7);
    const ChartPoint green = onCard(corners, 8.0 / 9, 1.0 / 7);
    const ChartPoint blue = onCard(corners, 1.0 / 9, 6.0 / 7);
    EXPECT_GT(redChromaAt(red), 170);
    EXPECT_LT(redChromaAt(green), 110);
    EXPECT_LT(redChromaAt(blue), 128);
}

INSTANTIATE_TEST_SUITE_P(Times, ChartFrame, ::testing::Values(0.0, 0.7, 1.9, 3.3, 100.25));

TEST(TestChart, CornersSwayAtMostThreePixelsAroundRest) {
    const auto rest = chartCornersAtRest();
    double largest = 0.0;
    for (int step = 0; step < 400; ++step) {
        const auto now = chartCornersAt(step * 0.01);
        for (std::size_t i = 0; i < 4; ++i) {
            largest = std::max(largest, std::hypot(now[i].x - rest[i].x, now[i].y - rest[i].y));
        }
    }
    EXPECT_LE(largest, 3.0);
    EXPECT_GT(largest, 1.0);  // it does move
}

TEST(TestChart, TheCardIsSeenInPerspectiveInsideTheFrame) {
    const auto c = chartCornersAtRest();
    const double top = std::hypot(c[1].x - c[0].x, c[1].y - c[0].y);
    const double bottom = std::hypot(c[2].x - c[3].x, c[2].y - c[3].y);
    EXPECT_GT(bottom, top * 1.3);
    for (const ChartPoint& p : c) {
        EXPECT_GT(p.x, 10.0);
        EXPECT_LT(p.x, chartFrameWidth - 10.0);
        EXPECT_GT(p.y, 10.0);
        EXPECT_LT(p.y, chartFrameHeight - 10.0);
    }
}

}  // namespace
