#include "calib/rectify.h"

#include "app/sharedState.h"
#include "calib/warpKernels.h"

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
