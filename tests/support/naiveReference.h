// Per-pixel references written straight from the definitions, and the one random source of
// the tests: the YUY2 conversion in 16.16 fixed point, the grey mean, the bilinear warp,
// random bytes and random perspective homographies. Header-only and toolkit-free, for the
// unit tests and the fuzz targets alike.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

using Bytes = std::vector<unsigned char>;
using HomographyRows = std::array<std::array<double, 3>, 3>;

// Blue, green, red of pixel x of a YUY2 row of the given width. An odd width's last pixel
// has no V in its row: its luma alone, with neutral chroma.
inline void referenceYuy2Pixel(const unsigned char* row, int width, int x, unsigned char* bgr) {
    const unsigned char* pair = row + 2 * (x - x % 2);
    const bool alone = x % 2 == 0 && x == width - 1;
    const int k = (pair[x % 2 * 2] - 16) * 76284;
    const int d = alone ? 0 : pair[1] - 128, e = alone ? 0 : pair[3] - 128;
    const int channels[3] = {k + 132252 * d, k - 53281 * e - 25625 * d, k + 104595 * e};
    for (int c = 0; c < 3; ++c)
        bgr[c] = static_cast<unsigned char>(std::clamp(channels[c] >> 16, 0, 255));
}

// The grey of one blue, green, red pixel: the mean rounded down.
inline unsigned char referenceGreyPixel(const unsigned char* bgr) {
    return static_cast<unsigned char>((bgr[0] + bgr[1] + bgr[2]) / 3);
}

// A radial lens map: factors sampled at q = 0, 1/invStep, 2/invStep, … of the squared
// distance from (cx, cy), scaled by invStep.
struct ReferenceLens {
    std::vector<double> factor;
    double cx, cy, invStep;
};

// One output pixel of the warp: project; with a lens, the point moves from the centre by the
// factor interpolated at its q (no image, 0, unless 0 <= q < entries − 1); floor, range test
// (which also turns away points that are not finite or beyond the int range), bilinear blend
// with the right and lower neighbours clamped to the last column and row, summed in the
// stated order, truncated.
template <typename Rows>  // any 3 × 3 table indexed h[row][column]
unsigned char referenceWarpPixel(const unsigned char* src, int width, int height,
                                 std::ptrdiff_t stride, const Rows& h, int x, int y,
                                 const ReferenceLens* lens = nullptr) {
    const double w = h[2][0] * x + h[2][1] * y + h[2][2] * 1.0;
    double u = (h[0][0] * x + h[0][1] * y + h[0][2] * 1.0) / w;
    double v = (h[1][0] * x + h[1][1] * y + h[1][2] * 1.0) / w;
    if (lens != nullptr) {
        const double dx = u - lens->cx, dy = v - lens->cy;
        const double q = (dx * dx + dy * dy) * lens->invStep;
        if (!(q >= 0.0 && q < static_cast<double>(lens->factor.size()) - 1.0))
            return 0;
        const auto& f = lens->factor;
        const int i = static_cast<int>(q);
        const double s = f[i] + (f[i + 1] - f[i]) * (q - i);
        u = lens->cx + dx * s;
        v = lens->cy + dy * s;
    }
    if (!(std::floor(u) >= 0.0 && std::floor(u) <= width - 1.0 && std::floor(v) >= 0.0 &&
          std::floor(v) <= height - 1.0))
        return 0;
    const int ix = static_cast<int>(std::floor(u)), iy = static_cast<int>(std::floor(v));
    const double fx = u - ix, fy = v - iy;
    auto at = [&](int cx, int cy) -> double {
        return src[std::min(cy, height - 1) * stride + std::min(cx, width - 1)];
    };
    const double value = (1 - fx) * at(ix, iy) * (1 - fy) + at(ix + 1, iy) * fx * (1 - fy) +
                         at(ix + 1, iy + 1) * fx * fy + (1 - fx) * at(ix, iy + 1) * fy;
    return static_cast<unsigned char>(static_cast<int>(value));
}

// Whole packed frames: YUY2 to blue, green, red; their grey; the warp of a grey frame.
inline Bytes referenceYuy2(const unsigned char* yuy2, int width, int height) {
    Bytes bgr(std::size_t(width) * std::size_t(height) * 3);
    for (std::size_t i = 0; i < bgr.size() / 3; ++i)
        referenceYuy2Pixel(yuy2 + i / width * width * 2, width, int(i % width), &bgr[3 * i]);
    return bgr;
}
inline Bytes referenceGrey(const Bytes& bgr) {
    Bytes grey(bgr.size() / 3);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = referenceGreyPixel(&bgr[3 * i]);
    return grey;
}
template <typename Rows>
Bytes referenceWarp(const unsigned char* src, int width, int height, const Rows& h) {
    Bytes out(std::size_t(width) * std::size_t(height));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = referenceWarpPixel(src, width, height, width, h, int(i % width), int(i / width));
    return out;
}

inline Bytes randomBytes(std::size_t count, std::mt19937& rng) {
    Bytes bytes(count);
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<unsigned char>(rng()); });
    return bytes;
}

// Rotation, scale, shift and a perspective row strong enough that w changes sign inside
// some frames; now and then an overall factor, since h33 need not be 1.
inline HomographyRows randomPerspective(int width, int height, std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const double angle = 0.4 * unit(rng), scale = 1.0 + 0.4 * unit(rng);
    const double factor = unit(rng) > 0.5 ? 1.5 + unit(rng) : 1.0;
    const double c = factor * scale * std::cos(angle), s = factor * scale * std::sin(angle);
    return {{{c, -s, factor * 0.3 * width * unit(rng)},
             {s, c, factor * 0.3 * height * unit(rng)},
             {factor * 1.5 * unit(rng) / width, factor * 1.5 * unit(rng) / height, factor}}};
}
