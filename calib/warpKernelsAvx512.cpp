// The warp on AVX-512: eight output pixels per step, everything in eight 64-bit lanes: the
// projection and the blend in double, the same operations in the same order as warpPixel,
// so the bytes are the same.
//
// The four neighbours of each point are fetched one of two ways. Along a row the source
// points of eight neighbouring pixels usually lie within two source rows and 64 columns:
// then three 64-byte row pieces are loaded and the neighbours picked out of them with byte
// permutes. Otherwise (a rotated or strongly scaled view, points partly outside, a narrow
// source) each neighbour pair is read with a gather.
#include "calib/warpKernels.h"
#include "cpu/avx512.h"

#if defined(__x86_64__)

#include <algorithm>
#include <cstdint>

namespace warp_detail {

namespace {

// What does not change over the frame.
struct Frame {
    __m512d h00, h10, h20;
    __m512d widthLast, heightLast;  // source width − 1 and height − 1
    __m512d stride;                 // source row stride, 0 for a single row
    __m512d lastRead;               // offset of the last 8 source bytes, the last gather read
    const unsigned char* base;
    std::ptrdiff_t rowStride;
    int width, rowLast;
    // The last source column a window may start from, so that it ends left of the last
    // column; −1 for a source too narrow for any window.
    double windowLastColumn;
    // The lens: centre, 1 / step, the last entry's q, and the factors.
    __m512d cx, cy, invStep, lastQ;
    const double* factor;
};

struct Row {
    __m512d u, v, w, cu, cv, cw;
};

// The row's terms in every lane.
PLANDIS_AVX512_INLINE Row broadcast(const RowTerms& t) {
    return {_mm512_set1_pd(t.u),  _mm512_set1_pd(t.v),  _mm512_set1_pd(t.w),
            _mm512_set1_pd(t.cu), _mm512_set1_pd(t.cv), _mm512_set1_pd(t.cw)};
}

// The four neighbours of eight points, each as eight doubles.
struct Neighbours {
    __m512d p00, p10, p11, p01;
};

PLANDIS_AVX512_INLINE __m512d greyLevels(__m512i bytes) {
    return _mm512_cvtepi64_pd(bytes);  // 0 to 255 in each 64-bit lane
}

// The 64 bytes of source row `row` from column x on (the row holds them all).
PLANDIS_AVX512_INLINE __m512i rowPiece(const Frame& f, int row, int x) {
    return _mm512_loadu_si512(f.base + row * f.rowStride + x);
}

// Eight output pixels: the source point and its floor.
struct Half {
    __m512d u, v, floorU, floorV;
};

// The lens step of moveRadially on eight points; NaN where a point has no image, which every
// later step treats as outside. The factors are read only where q lies in [0, last entry).
PLANDIS_AVX512_INLINE void moveRadially(const Frame& f, __m512d& u, __m512d& v) {
    const __m512d dx = _mm512_sub_pd(u, f.cx);
    const __m512d dy = _mm512_sub_pd(v, f.cy);
    const __m512d q =
        _mm512_mul_pd(_mm512_add_pd(_mm512_mul_pd(dx, dx), _mm512_mul_pd(dy, dy)), f.invStep);
    const __m512d zero = _mm512_setzero_pd();
    const __mmask8 imaged =
        _mm512_cmp_pd_mask(q, zero, _CMP_GE_OQ) & _mm512_cmp_pd_mask(q, f.lastQ, _CMP_LT_OQ);
    const __m512d inTable = _mm512_maskz_mov_pd(imaged, q);  // 0 elsewhere: a harmless index
    const __m256i i = _mm512_cvttpd_epi32(inTable);
    const __m512d t = _mm512_sub_pd(inTable, _mm512_cvtepi32_pd(i));
    const __m512d f0 = _mm512_mask_i32gather_pd(zero, imaged, i, f.factor, 8);
    const __m512d f1 = _mm512_mask_i32gather_pd(zero, imaged, i, f.factor + 1, 8);
    const __m512d s = _mm512_add_pd(f0, _mm512_mul_pd(_mm512_sub_pd(f1, f0), t));
    const __m512d none = _mm512_set1_pd(NAN);
    u = _mm512_mask_blend_pd(imaged, none, _mm512_add_pd(f.cx, _mm512_mul_pd(dx, s)));
    v = _mm512_mask_blend_pd(imaged, none, _mm512_add_pd(f.cy, _mm512_mul_pd(dy, s)));
}

PLANDIS_AVX512_INLINE Half withFloors(__m512d u, __m512d v) {
    return {u, v, _mm512_roundscale_pd(u, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC),
            _mm512_roundscale_pd(v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC)};
}

template <bool Lensed>
PLANDIS_AVX512_INLINE Half project(const Frame& f, const Row& r, __m512d xs) {
    const __m512d w = _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(f.h20, xs), r.w), r.cw);
    __m512d u = _mm512_div_pd(_mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(f.h00, xs), r.u), r.cu), w);
    __m512d v = _mm512_div_pd(_mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(f.h10, xs), r.v), r.cv), w);
    if constexpr (Lensed) {
        moveRadially(f, u, v);
    }
    return withFloors(u, v);
}

// Points inside the source: ordered comparisons, so NaN is outside; a floor in range is an
// exact int index.
PLANDIS_AVX512_INLINE __mmask8 insideMask(const Frame& f, const Half& p) {
    const __m512d zero = _mm512_setzero_pd();
    return _mm512_cmp_pd_mask(p.floorU, zero, _CMP_GE_OQ) &
           _mm512_cmp_pd_mask(p.floorU, f.widthLast, _CMP_LE_OQ) &
           _mm512_cmp_pd_mask(p.floorV, zero, _CMP_GE_OQ) &
           _mm512_cmp_pd_mask(p.floorV, f.heightLast, _CMP_LE_OQ);
}

// Where the points of a half lie in a window of two rows and 63 columns from (x0, y0): the
// byte index of each point in the two rows' 64-byte pieces (0 to 62 the upper row, 64 to
// 126 the lower), and whether every point fits. The window lies inside the source and left
// of its last column, so every point in it is inside and has its right-hand neighbour at
// the next index.
struct WindowIndex {
    __m512i at;
    bool fits;
};

PLANDIS_AVX512_INLINE WindowIndex windowIndex(const Half& p, __m512d x0, __m512d y0) {
    const __m512d column = _mm512_sub_pd(p.floorU, x0);
    const __m512d row = _mm512_sub_pd(p.floorV, y0);
    const __m512d zero = _mm512_setzero_pd();
    const __mmask8 fits = _mm512_cmp_pd_mask(column, zero, _CMP_GE_OQ) &
                          _mm512_cmp_pd_mask(column, _mm512_set1_pd(62.0), _CMP_LE_OQ) &
                          _mm512_cmp_pd_mask(row, zero, _CMP_GE_OQ) &
                          _mm512_cmp_pd_mask(row, _mm512_set1_pd(1.0), _CMP_LE_OQ);
    return {_mm512_cvttpd_epi64(_mm512_add_pd(_mm512_mul_pd(row, _mm512_set1_pd(64.0)), column)),
            fits == 0xFF};
}

// The neighbours from the pieces of rows y0, y0 + 1 and y0 + 2 (a row below the last being
// the last row itself): each picked byte lands in the low byte of its 64-bit lane.
PLANDIS_AVX512_INLINE Neighbours fromRowPieces(__m512i at, __m512i rowA, __m512i rowB,
                                               __m512i rowC) {
    const __mmask64 lowBytes = 0x0101010101010101;
    const __m512i atRight = _mm512_add_epi64(at, _mm512_set1_epi64(1));
    return {greyLevels(_mm512_maskz_permutex2var_epi8(lowBytes, rowA, at, rowB)),
            greyLevels(_mm512_maskz_permutex2var_epi8(lowBytes, rowA, atRight, rowB)),
            greyLevels(_mm512_maskz_permutex2var_epi8(lowBytes, rowB, atRight, rowC)),
            greyLevels(_mm512_maskz_permutex2var_epi8(lowBytes, rowB, at, rowC))};
}

// Neighbours of any points inside: each pair is read as the 8 bytes from its offset, moved
// back where those would run past the last source byte; a shift then finds the pixel.
// Offsets are below 2^31, so exact in double.
PLANDIS_AVX512_INLINE Neighbours fromGathers(const Frame& f, const Half& p, __mmask8 inside) {
    const __mmask8 right = _mm512_cmp_pd_mask(p.floorU, f.widthLast, _CMP_LT_OQ);
    const __mmask8 down = _mm512_cmp_pd_mask(p.floorV, f.heightLast, _CMP_LT_OQ);
    const __m512d top = _mm512_add_pd(_mm512_mul_pd(p.floorV, f.stride), p.floorU);
    const __m512d bottom = _mm512_mask_add_pd(top, down, top, f.stride);
    const __m512d topAt = _mm512_min_pd(top, f.lastRead);
    const __m512d bottomAt = _mm512_min_pd(bottom, f.lastRead);
    const __m512d eight = _mm512_set1_pd(8.0);
    const __m512i topShift = _mm512_cvttpd_epi64(_mm512_mul_pd(_mm512_sub_pd(top, topAt), eight));
    const __m512i bottomShift =
        _mm512_cvttpd_epi64(_mm512_mul_pd(_mm512_sub_pd(bottom, bottomAt), eight));
    const __m512i rightShift = _mm512_maskz_mov_epi64(right, _mm512_set1_epi64(8));
    const __m512i zero = _mm512_setzero_si512();
    const __m512i topBytes =
        _mm512_mask_i32gather_epi64(zero, inside, _mm512_cvttpd_epi32(topAt), f.base, 1);
    const __m512i bottomBytes =
        _mm512_mask_i32gather_epi64(zero, inside, _mm512_cvttpd_epi32(bottomAt), f.base, 1);
    const __m512i byteMask = _mm512_set1_epi64(0xFF);
    auto pick = [&](__m512i bytes, __m512i shift) PLANDIS_AVX512 {
        return greyLevels(_mm512_and_si512(_mm512_srlv_epi64(bytes, shift), byteMask));
    };
    return {pick(topBytes, topShift), pick(topBytes, _mm512_add_epi64(topShift, rightShift)),
            pick(bottomBytes, _mm512_add_epi64(bottomShift, rightShift)),
            pick(bottomBytes, bottomShift)};
}

// (1−fx)·P00·(1−fy) + P10·fx·(1−fy) + P11·fx·fy + (1−fx)·P01·fy, left to right, truncated.
PLANDIS_AVX512_INLINE __m512i blend(const Half& p, const Neighbours& n) {
    const __m512d fx = _mm512_sub_pd(p.u, p.floorU);  // u − ix inside, where floor is exact
    const __m512d fy = _mm512_sub_pd(p.v, p.floorV);
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d gx = _mm512_sub_pd(one, fx);
    const __m512d gy = _mm512_sub_pd(one, fy);
    __m512d value = _mm512_mul_pd(_mm512_mul_pd(gx, n.p00), gy);
    value = _mm512_add_pd(value, _mm512_mul_pd(_mm512_mul_pd(n.p10, fx), gy));
    value = _mm512_add_pd(value, _mm512_mul_pd(_mm512_mul_pd(n.p11, fx), fy));
    value = _mm512_add_pd(value, _mm512_mul_pd(_mm512_mul_pd(gx, n.p01), fy));
    return _mm512_cvttpd_epi64(value);
}

// Eight output pixels of points anywhere: the bytes in the low 8 bytes of the result, 0 where
// the point is outside.
PLANDIS_AVX512_INLINE __m128i anywhere(const Frame& f, const Half& p) {
    const __mmask8 inside = insideMask(f, p);
    if (inside == 0) {
        return _mm_setzero_si128();
    }
    return _mm512_maskz_cvtepi64_epi8(inside, blend(p, fromGathers(f, p, inside)));
}

// Sixteen output pixels of the points a then b.
PLANDIS_AVX512_INLINE __m128i sample(const Frame& f, const Half& a, const Half& b) {
    // A window from 24 columns left of the first point, on the first point's row or the row
    // above it when some point lies higher. Every point is checked against it, whatever the
    // guess (so the points need not be in order along the row: a lens moves them); a first
    // point that is not finite or far outside takes the general way.
    const double firstU = _mm512_cvtsd_f64(a.floorU);
    const double firstV = _mm512_cvtsd_f64(a.floorV);
    if (firstU >= 0.0 && firstU <= f.windowLastColumn && firstV >= 0.0 && firstV <= f.rowLast) {
        const __m512d first = _mm512_set1_pd(firstV);
        const bool higher = (_mm512_cmp_pd_mask(a.floorV, first, _CMP_LT_OQ) |
                             _mm512_cmp_pd_mask(b.floorV, first, _CMP_LT_OQ)) != 0;
        const int x0 = std::clamp(static_cast<int>(firstU) - 24, 0, f.width - 65);
        const int y0 = static_cast<int>(firstV) - (higher ? 1 : 0);
        if (y0 >= 0 && y0 < f.rowLast) {
            const __m512d x0s = _mm512_set1_pd(x0);
            const __m512d y0s = _mm512_set1_pd(y0);
            const WindowIndex wa = windowIndex(a, x0s, y0s);
            const WindowIndex wb = windowIndex(b, x0s, y0s);
            if (wa.fits && wb.fits) {
                const __m512i rowA = rowPiece(f, y0, x0);
                const __m512i rowB = rowPiece(f, y0 + 1, x0);
                const __m512i rowC = rowPiece(f, std::min(y0 + 2, f.rowLast), x0);
                // The next output rows read the rows below: fetched now, they are in the cache
                // when those rows come by.
                _mm_prefetch(reinterpret_cast<const char*>(
                                 f.base + std::min(y0 + 3, f.rowLast) * f.rowStride + x0 + 32),
                             _MM_HINT_T0);
                _mm_prefetch(reinterpret_cast<const char*>(
                                 f.base + std::min(y0 + 4, f.rowLast) * f.rowStride + x0 + 32),
                             _MM_HINT_T0);
                const __m512i valueA = blend(a, fromRowPieces(wa.at, rowA, rowB, rowC));
                const __m512i valueB = blend(b, fromRowPieces(wb.at, rowA, rowB, rowC));
                return _mm_unpacklo_epi64(_mm512_cvtepi64_epi8(valueA),
                                          _mm512_cvtepi64_epi8(valueB));
            }
        }
    }
    return _mm_unpacklo_epi64(anywhere(f, a), anywhere(f, b));
}

// Sixteen output pixels from column xs[0] on.
PLANDIS_AVX512_INLINE __m128i warpStep(const Frame& f, const Row& r, __m512d xs) {
    const Half a = project<false>(f, r, xs);
    const Half b = project<false>(f, r, _mm512_add_pd(xs, _mm512_set1_pd(8.0)));
    return sample(f, a, b);
}

PLANDIS_AVX512 void rows(const Frame& f, const HomographyTable& h, Plane target, int y0, int y1) {
    const __m512d firstColumns = _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7);
    const __m512d sixteen = _mm512_set1_pd(16.0);
    const int width = target.width;
    for (int y = y0; y < y1; ++y) {
        const RowTerms t = rowTerms(h, y);
        const Row r = broadcast(t);
        unsigned char* out = target.data + y * target.stride;
        __m512d xs = firstColumns;  // column numbers are exact in double
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), warpStep(f, r, xs));
            xs = _mm512_add_pd(xs, sixteen);
        }
        if (x < width) {
            const __mmask16 rest = static_cast<__mmask16>((1u << (width - x)) - 1);
            _mm_mask_storeu_epi8(out + x, rest, warpStep(f, r, xs));
        }
    }
}

// With a lens, each block of a row in two passes: first every source point (projection and
// lens step), then the sampling. The lens step's long chain of dependent operations (the
// factor reads wait on q, the window on the moved point) then overlaps across many pixels
// instead of stalling each step. The same operations on each point: the same bytes.
PLANDIS_AVX512 void lensedRows(const Frame& f, const HomographyTable& h, Plane target, int y0,
                               int y1) {
    constexpr int block = 256;  // columns; the points of a block stay in the first-level cache
    alignas(64) double us[block], vs[block];
    const __m512d firstColumns = _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7);
    const __m512d eight = _mm512_set1_pd(8.0);
    const int width = target.width;
    for (int y = y0; y < y1; ++y) {
        const RowTerms t = rowTerms(h, y);
        const Row r = broadcast(t);
        unsigned char* out = target.data + y * target.stride;
        for (int x = 0; x < width; x += block) {
            const int columns = std::min(block, width - x);
            // Column numbers are exact in double. Points up to the next multiple of 16: the
            // last step reads them all.
            __m512d xs = _mm512_add_pd(firstColumns, _mm512_set1_pd(x));
            for (int i = 0; i < (columns + 15) / 16 * 16; i += 8) {
                const Half p = project<true>(f, r, xs);
                _mm512_store_pd(us + i, p.u);
                _mm512_store_pd(vs + i, p.v);
                xs = _mm512_add_pd(xs, eight);
            }
            for (int i = 0; i < columns; i += 16) {
                const __m128i bytes =
                    sample(f, withFloors(_mm512_load_pd(us + i), _mm512_load_pd(vs + i)),
                           withFloors(_mm512_load_pd(us + i + 8), _mm512_load_pd(vs + i + 8)));
                if (i + 16 <= columns) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + i), bytes);
                } else {
                    const __mmask16 rest = static_cast<__mmask16>((1u << (columns - i)) - 1);
                    _mm_mask_storeu_epi8(out + x + i, rest, bytes);
                }
            }
        }
    }
}

}  // namespace

PLANDIS_AVX512 void warpRowsAvx512(const HomographyTable& h, const RadialTable& lens,
                                   ConstPlane source, Plane target, int y0, int y1) {
    // The gathers read 8 bytes from 32-bit offsets, the last one ending at the last byte.
    const std::int64_t lastByte =
        std::int64_t{source.height - 1} * source.stride + source.width - 1;
    if (source.stride < source.width || lastByte < 7 || lastByte > INT32_MAX) {
        warpRowsScalar(h, lens, source, target, y0, y1);
        return;
    }
    Frame f;
    f.h00 = _mm512_set1_pd(h[0][0]);
    f.h10 = _mm512_set1_pd(h[1][0]);
    f.h20 = _mm512_set1_pd(h[2][0]);
    f.widthLast = _mm512_set1_pd(source.width - 1);
    f.heightLast = _mm512_set1_pd(source.height - 1);
    f.stride = _mm512_set1_pd(source.height > 1 ? static_cast<double>(source.stride) : 0.0);
    f.lastRead = _mm512_set1_pd(static_cast<double>(lastByte - 7));
    f.base = source.data;
    f.rowStride = source.stride;
    f.width = source.width;
    f.rowLast = source.height - 1;
    f.windowLastColumn = source.width >= 65 ? source.width - 2 : -1.0;
    f.cx = _mm512_set1_pd(lens.cx);
    f.cy = _mm512_set1_pd(lens.cy);
    f.invStep = _mm512_set1_pd(lens.invStep);
    f.lastQ = _mm512_set1_pd(static_cast<double>(lens.factor.size()) - 1.0);
    f.factor = lens.factor.data();
    if (lens.empty()) {
        rows(f, h, target, y0, y1);
    } else {
        lensedRows(f, h, target, y0, y1);
    }
}

}  // namespace warp_detail

#endif
