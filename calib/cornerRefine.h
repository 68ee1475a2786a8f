// Sub-pixel chessboard corners: a clicked or detected whole pixel becomes the exact place
// where four squares meet. Coordinates are frame pixels with the centre of pixel (x, y) at
// (x, y), as the warp samples them.
#pragma once

#include <optional>

#include "calib/point.h"
#include "cpu/planeView.h"

using PointD = Point;

// The X-corner (the saddle where two dark and two light squares meet) that the iteration
// from `start` converges to, using the pixels within `radius` (2 to 10) of it; the corner
// must lie within `reach` pixels of start. Empty when the window leaves the picture, when
// its gradients do not span two directions (a flat area, a straight edge), when the window
// is not point-symmetric about the result (an L-corner, a T-junction, texture) or when it
// lies beyond reach. A window must not reach a neighbouring corner: radius below about half
// the square size.
std::optional<PointD> refineCorner(ConstPlane grey, PointD start, int radius = 5,
                                   double reach = 4.5);

// A click snapped to the X-corner near it or, failing that, to the L-corner (a bright or dark
// region's convex corner, as a card's or a chart margin's) whose two edges' lines meet
// there (about 0.1 px RMS at blur σ 0.8, noise σ 2): the clicked pixel may be up to 3 pixels
// off the corner in x and in y (5.5 pixels away at most, rounding included). Empty when there
// is none that near; the caller then keeps the click.
std::optional<PointD> snapToCorner(ConstPlane grey, PointD click);
