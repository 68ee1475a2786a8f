// A printable chessboard: the chart Find chart looks for, as an SVG page at true scale.
#pragma once

#include <string>

// cols × rows inner corners, so (cols + 1) × (rows + 1) squares of `squareMm` millimetres,
// the dark one in the top-left corner, on a white page with a margin that names the corner
// count and the square size. Width and height are given in millimetres, so a viewer or
// printer at 100 % prints the squares at their size.
std::string chartSvg(int cols, int rows, double squareMm);
