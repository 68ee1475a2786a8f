// The conversions on AVX2: eight pixels per step in 32-bit lanes, the same integer
// arithmetic as yuvPixel and greyOf, so the same bytes.
#include "capture/convertKernels.h"

#if defined(__x86_64__)

#include "cpu/avx2.h"

namespace convert_detail {

namespace {

// (b + g + r) / 3 of eight pixels held as blue, green, red, 0 in 32-bit lanes, in the low 8
// bytes of the result.
PLANDIS_AVX2_INLINE __m128i greyOfLanes(__m256i pixels) {
    const __m256i pairs = _mm256_maddubs_epi16(pixels, _mm256_set1_epi8(1));  // b+g, r
    const __m256i sums = _mm256_madd_epi16(pairs, _mm256_set1_epi16(1));      // b+g+r
    const __m256i grey =
        _mm256_srli_epi32(_mm256_mullo_epi32(sums, _mm256_set1_epi32(kThird)), kThirdShift);
    const __m128i words =
        _mm_packs_epi32(_mm256_castsi256_si128(grey), _mm256_extracti128_si256(grey, 1));
    return _mm_packus_epi16(words, words);
}

PLANDIS_AVX2_INLINE __m256i clampByte(__m256i value) {
    return _mm256_min_epi32(_mm256_max_epi32(value, _mm256_setzero_si256()),
                            _mm256_set1_epi32(255));
}

// Eight pixels (four pairs) of YUY2 as blue, green, red, 0 in 32-bit lanes.
PLANDIS_AVX2_INLINE __m256i yuy2Pixels(const unsigned char* in) {
    // Lane j: Y of pixel j in the low byte, then U (j even) or V (j odd).
    const __m256i words =
        _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
    const __m256i luma = _mm256_and_si256(words, _mm256_set1_epi32(0xFF));
    const __m256i chroma = _mm256_srli_epi32(words, 8);
    const __m256i swapped = _mm256_shuffle_epi32(chroma, 0xB1);
    const __m256i u = _mm256_blend_epi32(chroma, swapped, 0xAA);
    const __m256i v = _mm256_blend_epi32(swapped, chroma, 0xAA);
    const __m256i d = _mm256_sub_epi32(u, _mm256_set1_epi32(128));
    const __m256i e = _mm256_sub_epi32(v, _mm256_set1_epi32(128));
    const __m256i k =
        _mm256_mullo_epi32(_mm256_sub_epi32(luma, _mm256_set1_epi32(16)), _mm256_set1_epi32(kLuma));
    const __m256i blue = _mm256_srai_epi32(
        _mm256_add_epi32(k, _mm256_mullo_epi32(d, _mm256_set1_epi32(kBlueU))), 16);
    const __m256i green = _mm256_srai_epi32(
        _mm256_sub_epi32(_mm256_sub_epi32(k, _mm256_mullo_epi32(e, _mm256_set1_epi32(kGreenV))),
                         _mm256_mullo_epi32(d, _mm256_set1_epi32(kGreenU))),
        16);
    const __m256i red =
        _mm256_srai_epi32(_mm256_add_epi32(k, _mm256_mullo_epi32(e, _mm256_set1_epi32(kRedV))), 16);
    return _mm256_or_si256(_mm256_or_si256(clampByte(blue), _mm256_slli_epi32(clampByte(green), 8)),
                           _mm256_slli_epi32(clampByte(red), 16));
}

// Blue, green, red, 0 in 32-bit lanes to 24 packed bytes: 12 in each 128-bit half, then
// the halves joined.
PLANDIS_AVX2_INLINE __m256i packPixels(__m256i pixels) {
    const __m256i squeeze =
        _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6,
                         8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    return _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(pixels, squeeze),
                                       _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
}

// 24 packed bytes of blue, green, red to blue, green, red, 0 in 32-bit lanes.
PLANDIS_AVX2_INLINE __m256i unpackPixels(__m256i bytes) {
    const __m256i spread =
        _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0));
    const __m256i widen = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                           1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    return _mm256_shuffle_epi8(spread, widen);
}

PLANDIS_AVX2_INLINE void store24(unsigned char* out, __m256i packed) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(packed, 1));
}

PLANDIS_AVX2_INLINE __m256i load24(const unsigned char* in) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in))),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 16)), 1);
}

}  // namespace

PLANDIS_AVX2 void yuy2ToBgrGreyRowsAvx2(ConstPlane yuy2, Plane bgr, Plane grey, int y0, int y1) {
    const int width = yuy2.width;
    for (int y = y0; y < y1; ++y) {
        const unsigned char* in = yuy2.data + y * yuy2.stride;
        unsigned char* out = bgr.data + y * bgr.stride;
        unsigned char* greyRow = grey.data != nullptr ? grey.data + y * grey.stride : nullptr;
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            const __m256i pixels = yuy2Pixels(in + 2 * x);
            store24(out + 3 * x, packPixels(pixels));
            if (greyRow != nullptr) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(greyRow + x), greyOfLanes(pixels));
            }
        }
        yuy2RowTail(in, width, x, out, greyRow);
    }
}

PLANDIS_AVX2 void bgrToGreyRowsAvx2(ConstPlane bgr, Plane copy, Plane grey, int y0, int y1) {
    const int width = bgr.width;
    for (int y = y0; y < y1; ++y) {
        const unsigned char* in = bgr.data + y * bgr.stride;
        unsigned char* copyRow = copy.data != nullptr ? copy.data + y * copy.stride : nullptr;
        unsigned char* greyRow = grey.data + y * grey.stride;
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            // The 24 bytes sit in the low 16 bytes of the first half and the low 8 of the
            // second: dwords 0 to 3 and 4, 5.
            const __m256i bytes = load24(in + 3 * x);
            if (copyRow != nullptr) {
                store24(copyRow + 3 * x, bytes);
            }
            _mm_storel_epi64(reinterpret_cast<__m128i*>(greyRow + x),
                             greyOfLanes(unpackPixels(bytes)));
        }
        bgrRowTail(in, width, x, copyRow, greyRow);
    }
}

}  // namespace convert_detail

#endif
