// The warp of a whole picture through a homography and a lens map (backward mapping: output
// pixel -> input sample, bilinear), for the live frames and for the batch alike.
#pragma once

#include "calib/warpKernels.h"
#include "linal/matrix.h"

// H (3 × 3, 1-based) as the row-major table the warp reads.
void toTable(const linal::Matrix& H, HomographyTable& table);

// Warps a packed picture of `channels` interleaved 8-bit channels (rows of width × channels
// bytes, no padding) of sourceWidth × sourceHeight through h (output pixel -> source point),
// then the lens map (empty: none), into `target` of targetWidth × targetHeight in the same
// layout, each channel alone exactly as a grey frame is warped. Every target byte is written;
// the neighbours of the last row and column are that row and column themselves. With a
// horizon of 1 or -1, target pixels where h's w = h31·x + h32·y + h33 has not that sign see
// the plane beyond its horizon (the other sheet of the projection) and are 0. The rows are
// split over the cores (cpu/rowPool.h), with the bytes one thread gives. Nothing for a size
// or channel count <= 0.
void rectifyPicture(const HomographyTable& h, const RadialTable& lens, const unsigned char* source,
                    int sourceWidth, int sourceHeight, unsigned char* target, int targetWidth,
                    int targetHeight, int channels, int horizon = 0);

// The target the size of the source, no horizon.
inline void rectifyPicture(const HomographyTable& h, const RadialTable& lens,
                           const unsigned char* source, unsigned char* target, int width,
                           int height, int channels) {
    rectifyPicture(h, lens, source, width, height, target, width, height, channels);
}
