#include "calib/rectify.h"

#include "app/sharedState.h"
#include "calib/warpKernels.h"

// (u·w, v·w, w) = H · (x, y, 1): H maps an output pixel to the point of the grey frame that
// it shows. A zero w gives a non-finite point, which the warp treats as outside.
SourcePoint projectPoint(int x, int y) {
    const double(*h)[3] = homographyTable;
    const double px = x;
    const double py = y;
    const double w = h[2][0] * px + h[2][1] * py + h[2][2] * 1.0;
    const double u = (h[0][0] * px + h[0][1] * py + h[0][2] * 1.0) / w;
    const double v = (h[1][0] * px + h[1][1] * py + h[1][2] * 1.0) / w;
    return {u, v};
}

// Backward mapping, in storage order: every output byte is written, from the grey frame
// sample its pixel projects to, on the fastest kernel path this processor has. The
// neighbours of the last row and column are that row and column themselves.
void rectifyFrame(const unsigned char* grey, unsigned char*& output) {
    const int width = frameWidth;
    const int height = frameHeight;
    if (grey == nullptr || output == nullptr || width <= 0 || height <= 0) {
        return;
    }
    const ConstPlane source{grey, width, height, width};
    const Plane target{output, width, height, width};
    warpRows(bestKernelPath(), homographyTable, source, target, 0, height);
}
