#include "calib/rectifyPicture.h"

#include <cstddef>
#include <vector>

#include "cpu/rowPool.h"

void toTable(const linal::Matrix& H, HomographyTable& table) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            table[r][c] = H(r + 1, c + 1);
        }
    }
}

namespace {

// One plane of width × height bytes; each band reads the whole source and writes its rows.
void warpPlane(const HomographyTable& h, const RadialTable& lens, const unsigned char* source,
               unsigned char* target, int width, int height) {
    const KernelPath path = bestKernelPath();
    const ConstPlane in{source, width, height, width};
    const Plane out{target, width, height, width};
    runRowBands(height, [&](int y0, int y1) { warpRows(path, h, lens, in, out, y0, y1); });
}

}  // namespace

void rectifyPicture(const HomographyTable& h, const RadialTable& lens, const unsigned char* source,
                    unsigned char* target, int width, int height, int channels) {
    if (source == nullptr || target == nullptr || width <= 0 || height <= 0 || channels <= 0) {
        return;
    }
    if (channels == 1) {
        warpPlane(h, lens, source, target, width, height);
        return;
    }
    // The kernels read one byte per pixel: each channel is taken apart, warped, put back.
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    const std::size_t step = std::size_t(channels);
    std::vector<unsigned char> plane(pixels);
    std::vector<unsigned char> warped(pixels);
    for (std::size_t c = 0; c < step; ++c) {
        for (std::size_t i = 0; i < pixels; ++i) {
            plane[i] = source[i * step + c];
        }
        warpPlane(h, lens, plane.data(), warped.data(), width, height);
        for (std::size_t i = 0; i < pixels; ++i) {
            target[i * step + c] = warped[i];
        }
    }
}
