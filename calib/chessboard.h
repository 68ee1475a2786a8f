// Finding a chessboard in a grey frame: its inner corners, refined to sub-pixel accuracy, in
// a fixed order, or nothing.
#pragma once

#include <vector>

#include "calib/cornerRefine.h"
#include "cpu/planeView.h"

// The cols × rows inner corners (each at least 2) of a chessboard in the frame, refined by
// refineCorner; empty when no such board is found whole. Squares should be 12 pixels wide
// or more, the board should have a light margin, and the frame be at least 32 × 32.
//
// Order: row by row, cols corners a row. The first corner is the one of the board's four
// outer corners nearest the frame's origin (pixel (0, 0)); the first row runs from it along
// the board's side that holds cols corners, and the rows follow away from it. A square
// board (cols == rows) has two such sides at the first corner: the row runs along the one
// whose direction is nearer the frame's +x axis (the larger x component of the unit step).
std::vector<PointD> findChessboard(ConstPlane grey, int cols, int rows);
