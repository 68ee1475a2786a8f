// The colour and grey conversions of the frame pipeline as row-range kernels over plain
// planes. Every kernel path gives the bytes of the per-pixel definitions below.
#pragma once

#include "cpu/kernelPath.h"
#include "cpu/planeView.h"

// Rows [y0, y1) (clipped to the source's height) of a packed YUV 4:2:2 frame (Y0 U Y1 V per
// pixel pair) to blue, green, red and, when grey.data is not null, to grey as well. An odd
// width ends each row with half a group, Y0 and U, whose V would lie in the next row: that
// last pixel is its luma alone, with neutral chroma. The planes share the source's width
// and height; no row is touched outside the range.
void yuy2ToBgrGreyRows(KernelPath path, ConstPlane yuy2, Plane bgr, Plane grey, int y0, int y1);

// Rows [y0, y1) of a blue, green, red frame to grey and, when copy.data is not null, copied
// unchanged to copy as well.
//
// Both run on `path`, or on the best path this processor has where it cannot run that one.
void bgrToGreyRows(KernelPath path, ConstPlane bgr, Plane copy, Plane grey, int y0, int y1);

namespace convert_detail {

// BT.601 studio-range YCbCr to RGB factors, × 65536 and rounded: 1.164 for luma, 2.018 U
// to blue, 0.813 V and 0.391 U to green, 1.596 V to red.
constexpr int kLuma = 76284;
constexpr int kBlueU = 132252;
constexpr int kGreenV = 53281;
constexpr int kGreenU = 25625;
constexpr int kRedV = 104595;

inline unsigned char clampByte(int value) {
    return static_cast<unsigned char>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

// One pixel from its luma and the pair's chroma differences d = U − 128, e = V − 128, in
// 16.16 fixed point. No intermediate leaves 32 bits; >> on a negative int is arithmetic.
inline void yuvPixel(int luma, int d, int e, unsigned char* bgr) {
    const int k = (luma - 16) * kLuma;
    bgr[0] = clampByte((k + kBlueU * d) >> 16);
    bgr[1] = clampByte((k - kGreenV * e - kGreenU * d) >> 16);
    bgr[2] = clampByte((k + kRedV * e) >> 16);
}

// The unweighted mean of blue, green and red, rounded down.
inline unsigned char greyOf(const unsigned char* bgr) {
    return static_cast<unsigned char>((bgr[0] + bgr[1] + bgr[2]) / 3);
}

// The vector paths divide a sum s of three bytes by 3 as (s · 43691) >> 17: the same
// quotient for every s from 0 to 765.
constexpr bool thirdByMultiplyIsExact() {
    for (int s = 0; s <= 765; ++s) {
        if ((s * 43691) >> 17 != s / 3) {
            return false;
        }
    }
    return true;
}
static_assert(thirdByMultiplyIsExact());
constexpr int kThird = 43691;
constexpr int kThirdShift = 17;

// Columns [x0, width) of one row, pixel by pixel: the tails of the vector paths.
void yuy2RowTail(const unsigned char* yuy2, int width, int x0, unsigned char* bgr,
                 unsigned char* grey);
void bgrRowTail(const unsigned char* bgr, int width, int x0, unsigned char* copy,
                unsigned char* grey);

#if defined(__x86_64__)
void yuy2ToBgrGreyRowsAvx2(ConstPlane yuy2, Plane bgr, Plane grey, int y0, int y1);
void yuy2ToBgrGreyRowsAvx512(ConstPlane yuy2, Plane bgr, Plane grey, int y0, int y1);
void bgrToGreyRowsAvx2(ConstPlane bgr, Plane copy, Plane grey, int y0, int y1);
void bgrToGreyRowsAvx512(ConstPlane bgr, Plane copy, Plane grey, int y0, int y1);
#endif

}  // namespace convert_detail
