// Point picking: the clicked place in a view becomes a frame pixel, kept in the point lists
// as the text "%d,%d", a refined corner as "%.2f,%.2f"; the markers map a point back into
// the view.
#pragma once

#include <string>

#include "calib/homography.h"

// The frame pixel under client position (cx, cy) of a view of viewWidth × viewHeight that
// shows the whole frameWidth × frameHeight picture stretched: cx / viewWidth · frameWidth,
// division first, in double, truncated toward zero (so -2 of 209 with 320 gives -3). A
// frame size of 0 gives 0. Results beyond the int range saturate.
Point clickToFramePixel(int cx, int cy, int viewWidth, int viewHeight, int frameWidth,
                        int frameHeight);

// Where frame point p lies in the view: viewWidth · x / frameWidth, product first, in
// double, truncated toward zero (a refined point at its sub-pixel place). Needs a frame size
// above 0.
Point framePixelToView(Point p, int viewWidth, int viewHeight, int frameWidth, int frameHeight);

// The list entry of a clicked point: "%d,%d", no blanks; a point with a fraction (moved
// from a refined one) gets two decimals.
std::string formatPoint(Point p);

// The list entry of a refined point: "%.2f,%.2f", also when both happen to be whole, so the
// row says how the point was made.
std::string formatRefined(Point p);

// Reads either form back: two numbers in the int range, each with at most two decimals,
// separated by a comma. False otherwise. `refined` tells whether a decimal point was seen.
bool parsePoint(const std::string& entry, Point& p, bool* refined = nullptr);
