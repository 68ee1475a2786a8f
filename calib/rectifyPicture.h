// The warp of a whole picture through a homography and a lens map (backward mapping: output
// pixel -> input sample, bilinear), for the live frames and for the batch alike.
#pragma once

#include "calib/warpKernels.h"
#include "linal/matrix.h"

// H (3 × 3, 1-based) as the row-major table the warp reads.
void toTable(const linal::Matrix& H, HomographyTable& table);

// Warps a packed picture of `channels` interleaved 8-bit channels (rows of width × channels
// bytes, no padding) through h (output pixel -> source point), then the lens map (empty:
// none), into `target` of the same
// layout, each channel alone exactly as a grey frame is warped. Every target byte is written;
// the neighbours of the last row and column are that row and column themselves. The rows are
// split over the cores (cpu/rowPool.h), with the bytes one thread gives. Nothing for a size
// or channel count <= 0.
void rectifyPicture(const HomographyTable& h, const RadialTable& lens, const unsigned char* source,
                    unsigned char* target, int width, int height, int channels);
