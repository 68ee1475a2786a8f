#include "calib/rectifyPicture.h"

#include <cstddef>
#include <vector>

#include "calib/warpKernels.h"

void rectifyPicture(const double (&h)[3][3], const unsigned char* source, unsigned char* target,
                    int width, int height, int channels) {
    if (width <= 0 || height <= 0 || channels <= 0) {
        return;
    }
    const KernelPath path = bestKernelPath();
    if (channels == 1) {
        warpRows(path, h, ConstPlane{source, width, height, width},
                 Plane{target, width, height, width}, 0, height);
        return;
    }
    // The kernels read one byte per pixel: each channel is taken apart, warped, put back.
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    std::vector<unsigned char> plane(pixels);
    std::vector<unsigned char> warped(pixels);
    for (int c = 0; c < channels; ++c) {
        for (std::size_t i = 0; i < pixels; ++i) {
            plane[i] = source[i * std::size_t(channels) + std::size_t(c)];
        }
        warpRows(path, h, ConstPlane{plane.data(), width, height, width},
                 Plane{warped.data(), width, height, width}, 0, height);
        for (std::size_t i = 0; i < pixels; ++i) {
            target[i * std::size_t(channels) + std::size_t(c)] = warped[i];
        }
    }
}
