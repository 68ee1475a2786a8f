#include "image/frameDrawing.h"

#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "cpu/kernelPath.h"

struct FrameDrawing::Surface {
    QImage scaled;                             // w × h, opaque 32-bit
    std::vector<std::uint32_t> columnOffsets;  // per target column: byte offset in a buffer row
    // For 8-bit pictures: the leading groups of four target columns whose bytes lie within
    // 16 bytes of a row, and per group the byte shuffle that spreads them into colours.
    std::vector<unsigned char> shuffles;
    int shuffleGroups = 0;
    int frameWidth = 0;
    int frameBitCount = 0;
};

using DrawSurface = FrameDrawing::Surface;

namespace {

// Groups of four target columns of an 8-bit frame whose bytes lie within 16 bytes of a row
// (a frame at most about five times as wide as the view) and not past the row's end.
void findShuffleGroups(DrawSurface& s, int w, int rowBytes) {
    s.shuffles.clear();
    s.shuffleGroups = 0;
    const std::uint32_t* offsets = s.columnOffsets.data();
    for (int g = 0; 4 * g + 3 < w; ++g) {
        const std::uint32_t start = offsets[4 * g];
        if (offsets[4 * g + 3] - start > 15 || start + 16 > static_cast<std::uint32_t>(rowBytes))
            break;
        for (int k = 0; k < 4; ++k) {
            const auto at = static_cast<unsigned char>(offsets[4 * g + k] - start);
            s.shuffles.insert(s.shuffles.end(), {at, at, at, 0x80});  // v v v, then 0
        }
        ++s.shuffleGroups;
    }
}

#if defined(__x86_64__)
// The shuffle groups of one row: one 16-byte load and one byte shuffle give four colours.
__attribute__((target("ssse3"))) int shuffledGreyGroups(const unsigned char* in,
                                                        const DrawSurface& s, QRgb* out) {
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const std::uint32_t* offsets = s.columnOffsets.data();
    for (int g = 0; g < s.shuffleGroups; ++g) {
        const __m128i bytes =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + offsets[4 * g]));
        const __m128i spread =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.shuffles.data() + 16 * g));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * g),
                         _mm_or_si128(_mm_shuffle_epi8(bytes, spread), opaque));
    }
    return 4 * s.shuffleGroups;
}
#endif

// One target row of an 8-bit frame: the grey level v shows as (v, v, v). The
// loop is bound by its loads and stores, so it gathers four levels into one word and spreads
// them into four colours with one store. A large picture's rows lie far apart: the bytes the
// next target row will read (from `next`, when not null) are fetched meanwhile.
void greyRow(const unsigned char* in, const unsigned char* next, const DrawSurface& s, int w,
             QRgb* out) {
    const std::uint32_t* offsets = s.columnOffsets.data();
    int tx = 0;
#if defined(__x86_64__)
    if (s.shuffleGroups > 0 && bestKernelPath() != KernelPath::Scalar)  // AVX2 has SSSE3
        tx = shuffledGreyGroups(in, s, out);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; tx + 4 <= w; tx += 4) {
        std::uint64_t first;
        std::uint64_t second;
        std::memcpy(&first, offsets + tx, 8);  // two offsets per load
        std::memcpy(&second, offsets + tx + 2, 8);
        if (next != nullptr) {
            __builtin_prefetch(next + static_cast<std::uint32_t>(first));
            __builtin_prefetch(next + static_cast<std::uint32_t>(second));
        }
        const std::uint32_t levels = in[static_cast<std::uint32_t>(first)] |
                                     std::uint32_t{in[first >> 32]} << 8 |
                                     std::uint32_t{in[static_cast<std::uint32_t>(second)]} << 16 |
                                     std::uint32_t{in[second >> 32]} << 24;
        __m128i grey = _mm_cvtsi32_si128(static_cast<int>(levels));
        grey = _mm_unpacklo_epi8(grey, grey);   // v v per pixel
        grey = _mm_unpacklo_epi16(grey, grey);  // v v v v per pixel
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + tx), _mm_or_si128(grey, opaque));
    }
#endif
    for (; tx < w; ++tx) {
        out[tx] = 0xFF000000u | in[offsets[tx]] * 0x010101u;
    }
}

}  // namespace

FrameDrawing::FrameDrawing() = default;
FrameDrawing::~FrameDrawing() = default;

void FrameDrawing::draw(QPainter& target, const unsigned char* frame, int width, int height,
                        int bitCount, int x, int y, int w, int h) {
    if (frame == nullptr || width <= 0 || height <= 0 || w <= 0 || h <= 0 ||
        (bitCount != 8 && bitCount != 24))
        return;
    if (surface == nullptr)
        surface = std::make_unique<Surface>();
    Surface& s = *surface;
    if (s.scaled.width() != w || s.scaled.height() != h) {
        s.scaled = QImage(w, h, QImage::Format_RGB32);
    }
    const std::size_t pixelBytes = static_cast<std::size_t>(bitCount / 8);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * pixelBytes;
    if (s.frameWidth != width || s.frameBitCount != bitCount ||
        s.columnOffsets.size() != static_cast<std::size_t>(w)) {
        s.columnOffsets.resize(static_cast<std::size_t>(w));
        for (int tx = 0; tx < w; ++tx) {
            const auto column = static_cast<std::size_t>(std::int64_t{tx} * width / w);
            s.columnOffsets[static_cast<std::size_t>(tx)] =
                static_cast<std::uint32_t>(column * pixelBytes);
        }
        if (bitCount == 8)
            findShuffleGroups(s, w, width);
        s.frameWidth = width;
        s.frameBitCount = bitCount;
    }

    const std::uint32_t* offsets = s.columnOffsets.data();
    auto* out = reinterpret_cast<QRgb*>(s.scaled.bits());
    const unsigned char* previousRow = nullptr;
    auto frameRowOf = [&](int ty) {
        const auto row = static_cast<std::size_t>(std::int64_t{ty} * height / h);
        return frame + row * rowBytes;
    };
    for (int ty = 0; ty < h; ++ty, out += w) {
        const unsigned char* in = frameRowOf(ty);
        if (in == previousRow) {  // enlarged: the line above shows the same frame row
            std::memcpy(out, out - w, static_cast<std::size_t>(w) * sizeof(QRgb));
            continue;
        }
        previousRow = in;
        if (bitCount == 8) {
            greyRow(in, s.shuffleGroups == 0 && ty + 1 < h ? frameRowOf(ty + 1) : nullptr, s, w,
                    out);
        } else {
            for (int tx = 0; tx < w; ++tx) {
                const unsigned char* p = in + offsets[tx];  // blue, green, red
                out[tx] = qRgb(p[2], p[1], p[0]);
            }
        }
    }
    target.drawImage(QPoint(x, y), s.scaled);
}
