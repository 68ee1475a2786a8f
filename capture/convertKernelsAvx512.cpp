// The conversions on AVX-512: sixteen pixels per step in 32-bit lanes, the same integer
// arithmetic as yuvPixel and greyOf, so the same bytes.
#include "capture/convertKernels.h"
#include "cpu/avx512.h"

#if defined(__x86_64__)

namespace convert_detail {

namespace {

// Byte indices that pack sixteen pixels held as blue, green, red, 0 in 32-bit lanes into 48
// bytes of blue, green, red, and the other way round.
PLANDIS_AVX512_INLINE __m512i packIndex() {
    alignas(64) static const unsigned char index[64] = {
        0,  1,  2,  4,  5,  6,  8,  9,  10, 12, 13, 14, 16, 17, 18, 20, 21, 22, 24, 25, 26, 28,
        29, 30, 32, 33, 34, 36, 37, 38, 40, 41, 42, 44, 45, 46, 48, 49, 50, 52, 53, 54, 56, 57,
        58, 60, 61, 62, 0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0};
    return _mm512_load_si512(index);
}

PLANDIS_AVX512_INLINE __m512i unpackIndex() {
    alignas(64) static const unsigned char index[64] = {
        0,  1,  2,  0,  3,  4,  5,  0,  6,  7,  8,  0,  9,  10, 11, 0,  12, 13, 14, 0,  15, 16,
        17, 0,  18, 19, 20, 0,  21, 22, 23, 0,  24, 25, 26, 0,  27, 28, 29, 0,  30, 31, 32, 0,
        33, 34, 35, 0,  36, 37, 38, 0,  39, 40, 41, 0,  42, 43, 44, 0,  45, 46, 47, 0};
    return _mm512_load_si512(index);
}

constexpr __mmask64 kPixelBytes = (__mmask64{1} << 48) - 1;  // 16 pixels of 3 bytes
constexpr __mmask64 kColourBytes = 0x7777777777777777;       // blue, green, red of each lane

// Stores the 48 bytes of sixteen pixels; with `more`, as a whole 64-byte store whose last
// 16 bytes the next step overwrites.
PLANDIS_AVX512_INLINE void storePixels(unsigned char* out, __m512i packed, bool more) {
    if (more) {
        _mm512_storeu_si512(out, packed);
    } else {
        _mm512_mask_storeu_epi8(out, kPixelBytes, packed);
    }
}

// (b + g + r) / 3 of sixteen pixels held as blue, green, red, 0 in 32-bit lanes.
PLANDIS_AVX512_INLINE __m128i greyOfLanes(__m512i pixels) {
    const __m512i pairs = _mm512_maddubs_epi16(pixels, _mm512_set1_epi8(1));  // b+g, r
    const __m512i sums = _mm512_madd_epi16(pairs, _mm512_set1_epi16(1));      // b+g+r
    return _mm512_cvtepi32_epi8(
        _mm512_srli_epi32(_mm512_mullo_epi32(sums, _mm512_set1_epi32(kThird)), kThirdShift));
}

PLANDIS_AVX512_INLINE __m512i clampByte(__m512i value) {
    return _mm512_min_epi32(_mm512_max_epi32(value, _mm512_setzero_si512()),
                            _mm512_set1_epi32(255));
}

// Sixteen pixels (eight pairs) of YUY2 as blue, green, red, 0 in 32-bit lanes.
PLANDIS_AVX512_INLINE __m512i yuy2Pixels(const unsigned char* in) {
    // Lane j: Y of pixel j in the low byte, then U (j even) or V (j odd).
    const __m512i words =
        _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)));
    const __m512i luma = _mm512_and_si512(words, _mm512_set1_epi32(0xFF));
    const __m512i chroma = _mm512_srli_epi32(words, 8);
    const __m512i swapped = _mm512_shuffle_epi32(chroma, _MM_PERM_CDAB);
    const __m512i u = _mm512_mask_blend_epi32(0xAAAA, chroma, swapped);
    const __m512i v = _mm512_mask_blend_epi32(0xAAAA, swapped, chroma);
    const __m512i d = _mm512_sub_epi32(u, _mm512_set1_epi32(128));
    const __m512i e = _mm512_sub_epi32(v, _mm512_set1_epi32(128));
    const __m512i k =
        _mm512_mullo_epi32(_mm512_sub_epi32(luma, _mm512_set1_epi32(16)), _mm512_set1_epi32(kLuma));
    const __m512i blue = _mm512_srai_epi32(
        _mm512_add_epi32(k, _mm512_mullo_epi32(d, _mm512_set1_epi32(kBlueU))), 16);
    const __m512i green = _mm512_srai_epi32(
        _mm512_sub_epi32(_mm512_sub_epi32(k, _mm512_mullo_epi32(e, _mm512_set1_epi32(kGreenV))),
                         _mm512_mullo_epi32(d, _mm512_set1_epi32(kGreenU))),
        16);
    const __m512i red =
        _mm512_srai_epi32(_mm512_add_epi32(k, _mm512_mullo_epi32(e, _mm512_set1_epi32(kRedV))), 16);
    return _mm512_or_si512(_mm512_or_si512(clampByte(blue), _mm512_slli_epi32(clampByte(green), 8)),
                           _mm512_slli_epi32(clampByte(red), 16));
}

}  // namespace

PLANDIS_AVX512 void yuy2ToBgrGreyRowsAvx512(ConstPlane yuy2, Plane bgr, Plane grey, int y0,
                                            int y1) {
    const int width = yuy2.width;
    const __m512i pack = packIndex();
    for (int y = y0; y < y1; ++y) {
        const unsigned char* in = yuy2.data + y * yuy2.stride;
        unsigned char* out = bgr.data + y * bgr.stride;
        unsigned char* greyRow = grey.data != nullptr ? grey.data + y * grey.stride : nullptr;
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            const __m512i pixels = yuy2Pixels(in + 2 * x);
            storePixels(out + 3 * x, _mm512_permutexvar_epi8(pack, pixels), x + 22 <= width);
            if (greyRow != nullptr) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(greyRow + x), greyOfLanes(pixels));
            }
        }
        yuy2RowTail(in, width, x, out, greyRow);
    }
}

PLANDIS_AVX512 void bgrToGreyRowsAvx512(ConstPlane bgr, Plane copy, Plane grey, int y0, int y1) {
    const int width = bgr.width;
    const __m512i unpack = unpackIndex();
    for (int y = y0; y < y1; ++y) {
        const unsigned char* in = bgr.data + y * bgr.stride;
        unsigned char* copyRow = copy.data != nullptr ? copy.data + y * copy.stride : nullptr;
        unsigned char* greyRow = grey.data + y * grey.stride;
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            // Whole 64-byte loads and stores while the row goes on past them: the 16 bytes
            // beyond this step's 48 belong to the next step, which rewrites them.
            const bool more = x + 22 <= width;
            const __m512i bytes = more ? _mm512_loadu_si512(in + 3 * x)
                                       : _mm512_maskz_loadu_epi8(kPixelBytes, in + 3 * x);
            if (copyRow != nullptr) {
                storePixels(copyRow + 3 * x, bytes, more);
            }
            const __m512i pixels = _mm512_maskz_permutexvar_epi8(kColourBytes, unpack, bytes);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(greyRow + x), greyOfLanes(pixels));
        }
        bgrRowTail(in, width, x, copyRow, greyRow);
    }
}

}  // namespace convert_detail

#endif
