#include "calib/rectifyPicture.h"

#include <cstddef>
#include <cstring>
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

// Zeroes the pixels of target rows [y0, y1) beyond the horizon. w is linear along a row, so
// the kept pixels are one run reaching one end; its end is searched with w computed as the
// kernels compute it.
void cutHorizon(const HomographyTable& h, int horizon, const Plane& out, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        const warp_detail::RowTerms row = warp_detail::rowTerms(h, y);
        const auto kept = [&](int x) {
            const double w = (h[2][0] * double(x) + row.w) + row.cw;
            return horizon > 0 ? w > 0 : w < 0;
        };
        unsigned char* line = out.data + std::ptrdiff_t(y) * out.stride;
        // Kept towards the right end when w grows towards the kept sign.
        const bool rightKept = h[2][0] * horizon > 0;
        int low = 0, high = out.width;  // the first x whose kept() is rightKept
        while (low < high) {
            const int mid = low + (high - low) / 2;
            if (kept(mid) == rightKept)
                high = mid;
            else
                low = mid + 1;
        }
        if (h[2][0] == 0)  // constant along the row, and rightKept is false
            low = kept(0) ? out.width : 0;
        if (rightKept)
            std::memset(line, 0, std::size_t(low));
        else
            std::memset(line + low, 0, std::size_t(out.width - low));
    }
}

// One plane; each band reads the whole source and writes its rows.
void warpPlane(const HomographyTable& h, const RadialTable& lens, ConstPlane in, Plane out,
               int horizon) {
    const KernelPath path = bestKernelPath();
    runRowBands(out.height, [&](int y0, int y1) {
        warpRows(path, h, lens, in, out, y0, y1);
        if (horizon != 0)
            cutHorizon(h, horizon, out, y0, y1);
    });
}

}  // namespace

void rectifyPicture(const HomographyTable& h, const RadialTable& lens, const unsigned char* source,
                    int sourceWidth, int sourceHeight, unsigned char* target, int targetWidth,
                    int targetHeight, int channels, int horizon) {
    if (source == nullptr || target == nullptr || sourceWidth <= 0 || sourceHeight <= 0 ||
        targetWidth <= 0 || targetHeight <= 0 || channels <= 0) {
        return;
    }
    const ConstPlane in{source, sourceWidth, sourceHeight, sourceWidth};
    const Plane out{target, targetWidth, targetHeight, targetWidth};
    if (channels == 1) {
        warpPlane(h, lens, in, out, horizon);
        return;
    }
    // The kernels read one byte per pixel: each channel is taken apart, warped, put back.
    const std::size_t pixels = std::size_t(sourceWidth) * std::size_t(sourceHeight);
    const std::size_t targetPixels = std::size_t(targetWidth) * std::size_t(targetHeight);
    const std::size_t step = std::size_t(channels);
    std::vector<unsigned char> plane(pixels);
    std::vector<unsigned char> warped(targetPixels);
    for (std::size_t c = 0; c < step; ++c) {
        for (std::size_t i = 0; i < pixels; ++i) {
            plane[i] = source[i * step + c];
        }
        warpPlane(h, lens, {plane.data(), sourceWidth, sourceHeight, sourceWidth},
                  {warped.data(), targetWidth, targetHeight, targetWidth}, horizon);
        for (std::size_t i = 0; i < targetPixels; ++i) {
            target[i * step + c] = warped[i];
        }
    }
}
