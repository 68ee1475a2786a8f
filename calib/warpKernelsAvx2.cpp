// The warp on AVX2: eight output pixels per step, the projection and the blend in two halves
// of four doubles, the neighbour reads as 32-bit gathers. Same operations, same order, same
// bytes as warpPixel.
#include "calib/warpKernels.h"

#if defined(__x86_64__)

#include "cpu/avx2.h"

#include <algorithm>
#include <cstdint>

namespace warp_detail {

namespace {

struct Frame256 {
    __m256d h00, h10, h20;
    __m256i widthLast, heightLast;  // source width − 1, height − 1
    __m256i stride;
    __m256i lastDword;  // offset of the last four source bytes that may be read as one
    const int* base;
    const unsigned char* bytes;  // base, as bytes
    std::ptrdiff_t rowStride;
    int width, rowLast;
    // The lens: centre, 1 / step, the last entry's q, and the factors.
    __m256d cx, cy, invStep, lastQ;
    const double* factor;
};

struct Row256 {
    __m256d u, v, w, cu, cv, cw;
};

// The row's terms in every lane.
PLANDIS_AVX2_INLINE Row256 broadcast(const RowTerms& t) {
    return {_mm256_set1_pd(t.u),  _mm256_set1_pd(t.v),  _mm256_set1_pd(t.w),
            _mm256_set1_pd(t.cu), _mm256_set1_pd(t.cv), _mm256_set1_pd(t.cw)};
}

// Four pixels: the source point, its floor and its integer indices.
struct Projected {
    __m256d u, v, floorU, floorV;
    __m128i ix, iy;
};

// The lens step of moveRadially on four points; NaN where a point has no image, which every
// later step treats as outside. The factors are read only where q lies in [0, last entry).
PLANDIS_AVX2 inline void moveRadially(const Frame256& f, __m256d& u, __m256d& v) {
    const __m256d dx = _mm256_sub_pd(u, f.cx);
    const __m256d dy = _mm256_sub_pd(v, f.cy);
    const __m256d q =
        _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)), f.invStep);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d imaged =
        _mm256_and_pd(_mm256_cmp_pd(q, zero, _CMP_GE_OQ), _mm256_cmp_pd(q, f.lastQ, _CMP_LT_OQ));
    const __m256d inTable = _mm256_and_pd(q, imaged);  // 0 elsewhere: a harmless index
    const __m128i i = _mm256_cvttpd_epi32(inTable);
    const __m256d t = _mm256_sub_pd(inTable, _mm256_cvtepi32_pd(i));
    const __m256d f0 = _mm256_mask_i32gather_pd(zero, f.factor, i, imaged, 8);
    const __m256d f1 = _mm256_mask_i32gather_pd(zero, f.factor + 1, i, imaged, 8);
    const __m256d s = _mm256_add_pd(f0, _mm256_mul_pd(_mm256_sub_pd(f1, f0), t));
    const __m256d none = _mm256_set1_pd(NAN);
    u = _mm256_blendv_pd(none, _mm256_add_pd(f.cx, _mm256_mul_pd(dx, s)), imaged);
    v = _mm256_blendv_pd(none, _mm256_add_pd(f.cy, _mm256_mul_pd(dy, s)), imaged);
}

PLANDIS_AVX2 inline Projected withFloors(__m256d u, __m256d v) {
    Projected p;
    p.u = u;
    p.v = v;
    p.floorU = _mm256_round_pd(p.u, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    p.floorV = _mm256_round_pd(p.v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    // NaN or beyond the int range converts to INT_MIN: outside, like any negative index.
    p.ix = _mm256_cvttpd_epi32(p.floorU);
    p.iy = _mm256_cvttpd_epi32(p.floorV);
    return p;
}

template <bool Lensed>
PLANDIS_AVX2 inline Projected project(const Frame256& f, const Row256& r, __m256d xs) {
    const __m256d w = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(f.h20, xs), r.w), r.cw);
    __m256d u = _mm256_div_pd(_mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(f.h00, xs), r.u), r.cu), w);
    __m256d v = _mm256_div_pd(_mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(f.h10, xs), r.v), r.cv), w);
    if constexpr (Lensed) {
        moveRadially(f, u, v);
    }
    return withFloors(u, v);
}

// (1−fx)·P00·(1−fy) + P10·fx·(1−fy) + P11·fx·fy + (1−fx)·P01·fy, left to right, truncated.
PLANDIS_AVX2 inline __m128i blend(const Projected& p, __m128i i00, __m128i i10, __m128i i11,
                                  __m128i i01) {
    const __m256d fx = _mm256_sub_pd(p.u, p.floorU);  // u − ix inside, where floor is exact
    const __m256d fy = _mm256_sub_pd(p.v, p.floorV);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d gx = _mm256_sub_pd(one, fx);
    const __m256d gy = _mm256_sub_pd(one, fy);
    __m256d value = _mm256_mul_pd(_mm256_mul_pd(gx, _mm256_cvtepi32_pd(i00)), gy);
    value = _mm256_add_pd(value, _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(i10), fx), gy));
    value = _mm256_add_pd(value, _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(i11), fx), fy));
    value = _mm256_add_pd(value, _mm256_mul_pd(_mm256_mul_pd(gx, _mm256_cvtepi32_pd(i01)), fy));
    return _mm256_cvttpd_epi32(value);
}

PLANDIS_AVX2 inline __m128i low(__m256i v) {
    return _mm256_castsi256_si128(v);
}
PLANDIS_AVX2 inline __m128i high(__m256i v) {
    return _mm256_extracti128_si256(v, 1);
}

// The four neighbours of eight points, as eight int32 lanes each.
struct Neighbours {
    __m256i p00, p10, p11, p01;
};

// Neighbours of points whose columns lie in [x0, x0 + 14] and rows in [y0, y0 + 1], where
// the window lies inside the source, left of its last column and above its last row: picked
// out of 16-byte pieces of the rows y0, y0 + 1 and y0 + 2 (a row below the last being the
// last row itself) by byte shuffles. False, with nothing read, where some point lies
// elsewhere; the first point's place decides the window, and every point is checked against
// it, so the points need not be in order along the row (a lens moves them).
PLANDIS_AVX2 inline bool fromRowPieces(const Frame256& f, __m256i ix, __m256i iy, Neighbours& n) {
    const int firstColumn = _mm256_cvtsi256_si32(ix);
    const int firstRow = _mm256_cvtsi256_si32(iy);
    if (f.width < 17 || firstColumn < 0 || firstColumn >= f.width || firstRow < 0 ||
        firstRow > f.rowLast) {
        return false;
    }
    const bool higher =
        _mm256_movemask_epi8(_mm256_cmpgt_epi32(_mm256_set1_epi32(firstRow), iy)) != 0;
    const int x0 = std::clamp(firstColumn - 4, 0, f.width - 17);
    const int y0 = firstRow - (higher ? 1 : 0);
    if (y0 < 0 || y0 >= f.rowLast) {
        return false;
    }
    // Unsigned: a negative offset (or a point that is not finite) is beyond every bound.
    const __m256i column = _mm256_sub_epi32(ix, _mm256_set1_epi32(x0));
    const __m256i row = _mm256_sub_epi32(iy, _mm256_set1_epi32(y0));
    const __m256i fits = _mm256_and_si256(
        _mm256_cmpeq_epi32(_mm256_min_epu32(column, _mm256_set1_epi32(14)), column),
        _mm256_cmpeq_epi32(_mm256_min_epu32(row, _mm256_set1_epi32(1)), row));
    if (_mm256_movemask_epi8(fits) != -1) {
        return false;
    }
    auto piece = [&](int r) PLANDIS_AVX2 {
        return _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(f.bytes + r * f.rowStride + x0)));
    };
    const __m256i rowA = piece(y0);
    const __m256i rowB = piece(y0 + 1);
    const __m256i rowC = piece(std::min(y0 + 2, f.rowLast));
    // Shuffle indices: the column in the lane's low byte, the other three bytes cleared; the
    // high bit of the low byte clears it too, choosing the upper or the lower row's piece.
    const __m256i at = _mm256_or_si256(column, _mm256_set1_epi32(static_cast<int>(0x80808000u)));
    const __m256i atRight = _mm256_add_epi32(at, _mm256_set1_epi32(1));
    const __m256i upper = _mm256_slli_epi32(row, 7);                         // 0x80 on row 1
    const __m256i lower = _mm256_xor_si256(upper, _mm256_set1_epi32(0x80));  // 0x80 on row 0
    auto pick = [&](__m256i first, __m256i second, __m256i index) PLANDIS_AVX2 {
        return _mm256_or_si256(_mm256_shuffle_epi8(first, _mm256_or_si256(index, upper)),
                               _mm256_shuffle_epi8(second, _mm256_or_si256(index, lower)));
    };
    n = {pick(rowA, rowB, at), pick(rowA, rowB, atRight), pick(rowB, rowC, atRight),
         pick(rowB, rowC, at)};
    return true;
}

// Neighbours of any points inside: a pair is read as the four bytes from its offset, moved
// back where those would run past the last source byte; the shift then finds the pixel.
PLANDIS_AVX2 inline Neighbours fromGathers(const Frame256& f, __m256i ix, __m256i iy,
                                           __m256i inside) {
    const __m256i right = _mm256_cmpgt_epi32(f.widthLast, ix);  // read only where inside
    const __m256i down = _mm256_cmpgt_epi32(f.heightLast, iy);
    const __m256i top = _mm256_add_epi32(_mm256_mullo_epi32(iy, f.stride), ix);
    const __m256i bottom = _mm256_add_epi32(top, _mm256_and_si256(down, f.stride));
    const __m256i topAt = _mm256_min_epi32(top, f.lastDword);
    const __m256i bottomAt = _mm256_min_epi32(bottom, f.lastDword);
    const __m256i topShift = _mm256_slli_epi32(_mm256_sub_epi32(top, topAt), 3);
    const __m256i bottomShift = _mm256_slli_epi32(_mm256_sub_epi32(bottom, bottomAt), 3);
    const __m256i rightShift = _mm256_and_si256(right, _mm256_set1_epi32(8));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i topPair = _mm256_mask_i32gather_epi32(zero, f.base, topAt, inside, 1);
    const __m256i bottomPair = _mm256_mask_i32gather_epi32(zero, f.base, bottomAt, inside, 1);
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    return {_mm256_and_si256(_mm256_srlv_epi32(topPair, topShift), byteMask),
            _mm256_and_si256(_mm256_srlv_epi32(topPair, _mm256_add_epi32(topShift, rightShift)),
                             byteMask),
            _mm256_and_si256(
                _mm256_srlv_epi32(bottomPair, _mm256_add_epi32(bottomShift, rightShift)), byteMask),
            _mm256_and_si256(_mm256_srlv_epi32(bottomPair, bottomShift), byteMask)};
}

// Eight output pixels of the points a then b: their bytes in the low 8 bytes of the result,
// 0 where the point is outside.
PLANDIS_AVX2_INLINE __m128i sample(const Frame256& f, const Projected& a, const Projected& b) {
    const __m256i ix = _mm256_set_m128i(b.ix, a.ix);
    const __m256i iy = _mm256_set_m128i(b.iy, a.iy);
    // Unsigned: a negative index (INT_MIN included) is beyond every bound.
    const __m256i inside =
        _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_min_epu32(ix, f.widthLast), ix),
                         _mm256_cmpeq_epi32(_mm256_min_epu32(iy, f.heightLast), iy));
    // The next output rows read the source rows below the first point: fetched now, they
    // are in the cache when those rows come by.
    const int firstColumn = _mm256_cvtsi256_si32(ix);
    const int firstRow = _mm256_cvtsi256_si32(iy);
    if (firstColumn >= 0 && firstColumn < f.width && firstRow >= 0 && firstRow <= f.rowLast) {
        for (int below = 3; below <= 4; ++below) {
            _mm_prefetch(
                reinterpret_cast<const char*>(
                    f.bytes + std::min(firstRow + below, f.rowLast) * f.rowStride + firstColumn),
                _MM_HINT_T0);
        }
    }
    Neighbours n;
    if (!fromRowPieces(f, ix, iy, n)) {
        n = fromGathers(f, ix, iy, inside);
    }
    const __m128i valueA = blend(a, low(n.p00), low(n.p10), low(n.p11), low(n.p01));
    const __m128i valueB = blend(b, high(n.p00), high(n.p10), high(n.p11), high(n.p01));
    const __m256i value = _mm256_and_si256(_mm256_set_m128i(valueB, valueA), inside);
    const __m128i words = _mm_packs_epi32(low(value), high(value));
    return _mm_packus_epi16(words, words);
}

// Eight output pixels from column xs[0] on.
PLANDIS_AVX2 inline __m128i warpStep(const Frame256& f, const Row256& r, __m256d xs) {
    const Projected a = project<false>(f, r, xs);
    const Projected b = project<false>(f, r, _mm256_add_pd(xs, _mm256_set1_pd(4.0)));
    return sample(f, a, b);
}

PLANDIS_AVX2 void rows(const Frame256& f, const HomographyTable& h, const RadialTable& lens,
                       ConstPlane source, Plane target, int y0, int y1) {
    const __m256d firstColumns = _mm256_setr_pd(0, 1, 2, 3);
    const __m256d eight = _mm256_set1_pd(8.0);
    const int width = target.width;
    for (int y = y0; y < y1; ++y) {
        const RowTerms t = rowTerms(h, y);
        const Row256 r = broadcast(t);
        unsigned char* out = target.data + y * target.stride;
        __m256d xs = firstColumns;  // column numbers are exact in double
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), warpStep(f, r, xs));
            xs = _mm256_add_pd(xs, eight);
        }
        for (; x < width; ++x) {
            out[x] = warpPixel<false>(h, lens, source, t, x);
        }
    }
}

// With a lens, each block of a row in two passes: first every source point (projection and
// lens step), then the sampling, so that the lens step's long dependent chain overlaps
// across many pixels. The same operations on each point: the same bytes.
PLANDIS_AVX2 void lensedRows(const Frame256& f, const HomographyTable& h, const RadialTable& lens,
                             ConstPlane source, Plane target, int y0, int y1) {
    constexpr int block = 256;  // columns; the points of a block stay in the first-level cache
    alignas(32) double us[block], vs[block];
    const __m256d firstColumns = _mm256_setr_pd(0, 1, 2, 3);
    const __m256d four = _mm256_set1_pd(4.0);
    const int width = target.width;
    const int vectorWidth = width / 8 * 8;
    for (int y = y0; y < y1; ++y) {
        const RowTerms t = rowTerms(h, y);
        const Row256 r = broadcast(t);
        unsigned char* out = target.data + y * target.stride;
        for (int x = 0; x < vectorWidth; x += block) {
            const int columns = std::min(block, vectorWidth - x);         // a multiple of 8
            __m256d xs = _mm256_add_pd(firstColumns, _mm256_set1_pd(x));  // exact in double
            for (int i = 0; i < columns; i += 4) {
                const Projected p = project<true>(f, r, xs);
                _mm256_store_pd(us + i, p.u);
                _mm256_store_pd(vs + i, p.v);
                xs = _mm256_add_pd(xs, four);
            }
            for (int i = 0; i < columns; i += 8) {
                _mm_storel_epi64(
                    reinterpret_cast<__m128i*>(out + x + i),
                    sample(f, withFloors(_mm256_load_pd(us + i), _mm256_load_pd(vs + i)),
                           withFloors(_mm256_load_pd(us + i + 4), _mm256_load_pd(vs + i + 4))));
            }
        }
        for (int x = vectorWidth; x < width; ++x) {
            out[x] = warpPixel<true>(h, lens, source, t, x);
        }
    }
}

}  // namespace

PLANDIS_AVX2 void warpRowsAvx2(const HomographyTable& h, const RadialTable& lens, ConstPlane source,
                               Plane target, int y0, int y1) {
    // The gathers take 32-bit offsets, and the last read starts four bytes before the end.
    const std::int64_t lastByte =
        std::int64_t{source.height - 1} * source.stride + source.width - 1;
    if (source.stride < source.width || lastByte < 3 || lastByte > INT32_MAX) {
        warpRowsScalar(h, lens, source, target, y0, y1);
        return;
    }
    Frame256 f;
    f.h00 = _mm256_set1_pd(h[0][0]);
    f.h10 = _mm256_set1_pd(h[1][0]);
    f.h20 = _mm256_set1_pd(h[2][0]);
    f.widthLast = _mm256_set1_epi32(source.width - 1);
    f.heightLast = _mm256_set1_epi32(source.height - 1);
    f.stride = _mm256_set1_epi32(source.height > 1 ? static_cast<int>(source.stride) : 0);
    f.lastDword = _mm256_set1_epi32(static_cast<int>(lastByte - 3));
    f.base = reinterpret_cast<const int*>(source.data);
    f.bytes = source.data;
    f.rowStride = source.stride;
    f.width = source.width;
    f.rowLast = source.height - 1;
    f.cx = _mm256_set1_pd(lens.cx);
    f.cy = _mm256_set1_pd(lens.cy);
    f.invStep = _mm256_set1_pd(lens.invStep);
    f.lastQ = _mm256_set1_pd(static_cast<double>(lens.factor.size()) - 1.0);
    f.factor = lens.factor.data();
    if (lens.empty()) {
        rows(f, h, lens, source, target, y0, y1);
    } else {
        lensedRows(f, h, lens, source, target, y0, y1);
    }
}

}  // namespace warp_detail

#endif
