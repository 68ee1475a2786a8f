#include "calib/warpKernels.h"

#include <algorithm>

namespace warp_detail {

namespace {

template <bool Lensed>
void rowsScalar(const HomographyTable& h, const RadialTable& lens, ConstPlane source, Plane target,
                int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        const RowTerms row = rowTerms(h, y);
        unsigned char* out = target.data + y * target.stride;
        for (int x = 0; x < target.width; ++x) {
            out[x] = warpPixel<Lensed>(h, lens, source, row, x);
        }
    }
}

}  // namespace

void warpRowsScalar(const HomographyTable& h, const RadialTable& lens, ConstPlane source,
                    Plane target, int y0, int y1) {
    if (lens.empty()) {
        rowsScalar<false>(h, lens, source, target, y0, y1);
    } else {
        rowsScalar<true>(h, lens, source, target, y0, y1);
    }
}

}  // namespace warp_detail

void warpRows(KernelPath path, const HomographyTable& h, const RadialTable& lens, ConstPlane source,
              Plane target, int y0, int y1) {
    y0 = std::max(y0, 0);
    y1 = std::min(y1, target.height);
    if (y0 >= y1 || target.width <= 0) {
        return;
    }
    if (source.data == nullptr || source.width <= 0 || source.height <= 0) {
        // Nothing to sample: every point lies outside.
        for (int y = y0; y < y1; ++y) {
            std::fill_n(target.data + y * target.stride, target.width, 0);
        }
        return;
    }
    switch (runnableKernelPath(path)) {
#if defined(__x86_64__)
        case KernelPath::Avx512:
            warp_detail::warpRowsAvx512(h, lens, source, target, y0, y1);
            return;
        case KernelPath::Avx2:
            warp_detail::warpRowsAvx2(h, lens, source, target, y0, y1);
            return;
#endif
        default:
            warp_detail::warpRowsScalar(h, lens, source, target, y0, y1);
            return;
    }
}
