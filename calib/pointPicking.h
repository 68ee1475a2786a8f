// Point picking: the clicked place in a view becomes a frame pixel, kept in the point lists
// as the text "%d,%d"; the markers map such a frame pixel back into the view.
#pragma once

#include <string>

#include "calib/homography.h"

// The frame pixel under client position (cx, cy) of a view of viewWidth × viewHeight that
// shows the whole frameWidth × frameHeight picture stretched: cx / viewWidth · frameWidth,
// division first, in double, truncated toward zero (so -2 of 209 with 320 gives -3). A
// frame size of 0 gives 0. Results beyond the int range saturate.
Point clickToFramePixel(int cx, int cy, int viewWidth, int viewHeight, int frameWidth,
                        int frameHeight);

// Where frame pixel p lies in the view: viewWidth · x / frameWidth, product first, in
// double, truncated toward zero. Needs a frame size above 0.
Point framePixelToView(Point p, int viewWidth, int viewHeight, int frameWidth, int frameHeight);

// The list entry of a point: "%d,%d", no blanks.
std::string formatPoint(Point p);

// Reads an entry back with the same pattern; false unless both numbers are there.
bool parsePoint(const std::string& entry, Point& p);
