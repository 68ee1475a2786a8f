#include "capture/convertKernels.h"

#include <algorithm>
#include <cstring>

namespace convert_detail {

void yuy2RowTail(const unsigned char* yuy2, int width, int x0, unsigned char* bgr,
                 unsigned char* grey) {
    int x = x0;  // even: the vector paths stop at a pair boundary
    for (; x + 1 < width; x += 2) {
        const unsigned char* in = yuy2 + 2 * x;
        const int d = in[1] - 128;
        const int e = in[3] - 128;
        yuvPixel(in[0], d, e, bgr + 3 * x);
        yuvPixel(in[2], d, e, bgr + 3 * x + 3);
    }
    if (x < width) {
        yuvPixel(yuy2[2 * x], 0, 0, bgr + 3 * x);
    }
    if (grey != nullptr) {
        for (x = x0; x < width; ++x) {
            grey[x] = greyOf(bgr + 3 * x);
        }
    }
}

void bgrRowTail(const unsigned char* bgr, int width, int x0, unsigned char* copy,
                unsigned char* grey) {
    if (copy != nullptr && x0 < width) {
        std::memcpy(copy + 3 * x0, bgr + 3 * x0, 3 * static_cast<std::size_t>(width - x0));
    }
    for (int x = x0; x < width; ++x) {
        grey[x] = greyOf(bgr + 3 * x);
    }
}

}  // namespace convert_detail

void yuy2ToBgrGreyRows(KernelPath path, ConstPlane yuy2, Plane bgr, Plane grey, int y0, int y1) {
    y0 = std::max(y0, 0);
    y1 = std::min(y1, yuy2.height);
    if (y0 >= y1 || yuy2.width <= 0) {
        return;
    }
    switch (runnableKernelPath(path)) {
#if defined(__x86_64__)
        case KernelPath::Avx512:
            convert_detail::yuy2ToBgrGreyRowsAvx512(yuy2, bgr, grey, y0, y1);
            return;
        case KernelPath::Avx2:
            convert_detail::yuy2ToBgrGreyRowsAvx2(yuy2, bgr, grey, y0, y1);
            return;
#endif
        default:
            for (int y = y0; y < y1; ++y) {
                convert_detail::yuy2RowTail(yuy2.data + y * yuy2.stride, yuy2.width, 0,
                                            bgr.data + y * bgr.stride,
                                            grey.data ? grey.data + y * grey.stride : nullptr);
            }
            return;
    }
}

void bgrToGreyRows(KernelPath path, ConstPlane bgr, Plane copy, Plane grey, int y0, int y1) {
    y0 = std::max(y0, 0);
    y1 = std::min(y1, bgr.height);
    if (y0 >= y1 || bgr.width <= 0) {
        return;
    }
    switch (runnableKernelPath(path)) {
#if defined(__x86_64__)
        case KernelPath::Avx512:
            convert_detail::bgrToGreyRowsAvx512(bgr, copy, grey, y0, y1);
            return;
        case KernelPath::Avx2:
            convert_detail::bgrToGreyRowsAvx2(bgr, copy, grey, y0, y1);
            return;
#endif
        default:
            for (int y = y0; y < y1; ++y) {
                convert_detail::bgrRowTail(bgr.data + y * bgr.stride, bgr.width, 0,
                                           copy.data ? copy.data + y * copy.stride : nullptr,
                                           grey.data + y * grey.stride);
            }
            return;
    }
}
