// The planar test chart that the virtual camera films: a white card carrying a
// checkerboard of 8 × 6 squares and three coloured discs, seen in perspective and
// swaying slightly, so that its four card corners can be clicked and the rectified
// view shows the board straightened.
#pragma once

#include <array>

struct ChartPoint {
    double x;
    double y;
};

// Frame size of the virtual camera.
inline constexpr int chartFrameWidth = 640;
inline constexpr int chartFrameHeight = 480;

// The card is 9 × 7 units: the 8 × 6 board with a half-unit white margin.
inline constexpr int chartSquaresAcross = 8;
inline constexpr int chartSquaresDown = 6;

// The card's corners in the picture at this time, in pixels: top-left, top-right,
// bottom-right, bottom-left. They sway by at most 3 pixels around chartCornersAtRest().
std::array<ChartPoint, 4> chartCornersAt(double seconds);
std::array<ChartPoint, 4> chartCornersAtRest();

// Draws the chart as it looks at this time into a packed YUY2 picture (width even).
void drawChartFrame(double seconds, unsigned char* yuy2, int width, int height);
