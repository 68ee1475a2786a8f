#include "calib/rectify.h"

#include "frame/frameState.h"
#include "calib/warpKernels.h"
#include "cpu/rowPool.h"

// Backward mapping: every output byte is written, from the grey frame sample its pixel
// projects to. The neighbours of the last row and column are that row and column themselves.
// The bands are output rows: each reads the whole grey frame and writes only its own rows.
void rectifyFrame(const unsigned char* grey, unsigned char*& output, KernelPath path) {
    const int width = frameWidth;
    const int height = frameHeight;
    if (grey == nullptr || output == nullptr || width <= 0 || height <= 0) {
        return;
    }
    const ConstPlane source{grey, width, height, width};
    const Plane target{output, width, height, width};
    runRowBands(height,
                [&](int y0, int y1) { warpRows(path, homographyTable, source, target, y0, y1); });
}
