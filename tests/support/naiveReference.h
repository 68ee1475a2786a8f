// Per-pixel references written straight from the definitions, and the random inputs the
// tests feed both them and the real kernels: the YUY2 conversion in 16.16 fixed point, the
// grey mean, the bilinear warp, random bytes and random perspective homographies.
// Header-only and toolkit-free, for the unit tests and the fuzz targets alike.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

using HomographyRows = std::array<std::array<double, 3>, 3>;

inline int clampReference(int value) {
    return value < 0 ? 0 : value > 255 ? 255 : value;
}

// Blue, green, red of pixel x of a YUY2 row of the given width.
inline void referenceYuy2Pixel(const unsigned char* row, int width, int x, unsigned char* bgr) {
    const unsigned char* group = row + 2 * (x - x % 2);
    const int luma = group[x % 2 == 0 ? 0 : 2];
    const bool lonePixel = x % 2 == 0 && x == width - 1;  // odd width: no V in the row
    const int d = lonePixel ? 0 : group[1] - 128;
    const int e = lonePixel ? 0 : group[3] - 128;
    const int k = (luma - 16) * 76284;
    bgr[0] = static_cast<unsigned char>(clampReference((k + 132252 * d) >> 16));
    bgr[1] = static_cast<unsigned char>(clampReference((k - 53281 * e - 25625 * d) >> 16));
    bgr[2] = static_cast<unsigned char>(clampReference((k + 104595 * e) >> 16));
}

// A packed YUY2 frame as packed blue, green, red.
inline std::vector<unsigned char> referenceYuy2(const unsigned char* yuy2, int width, int height) {
    const auto w = static_cast<std::size_t>(width);
    std::vector<unsigned char> bgr(w * static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            referenceYuy2Pixel(
                yuy2 + static_cast<std::size_t>(y) * w * 2, width, x,
                &bgr[(static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)) * 3]);
        }
    }
    return bgr;
}

// The grey of one blue, green, red pixel: the mean rounded down.
inline unsigned char referenceGreyPixel(const unsigned char* bgr) {
    return static_cast<unsigned char>((bgr[0] + bgr[1] + bgr[2]) / 3);
}

// The grey of a packed blue, green, red frame.
inline std::vector<unsigned char> referenceGrey(const std::vector<unsigned char>& bgr) {
    std::vector<unsigned char> grey(bgr.size() / 3);
    for (std::size_t i = 0; i < grey.size(); ++i) {
        grey[i] = referenceGreyPixel(&bgr[3 * i]);
    }
    return grey;
}

// One output pixel of the warp: project, floor, range test (which also turns away points
// that are not finite or beyond the int range), bilinear blend with the right and lower
// neighbours clamped to the last column and row, summed in the stated order, truncated.
// `h` is any 3 × 3 table indexed h[row][column].
template <typename Rows>
unsigned char referenceWarpPixel(const unsigned char* src, int width, int height,
                                 std::ptrdiff_t stride, const Rows& h, int x, int y) {
    const double px = x;
    const double py = y;
    const double w = h[2][0] * px + h[2][1] * py + h[2][2] * 1.0;
    const double u = (h[0][0] * px + h[0][1] * py + h[0][2] * 1.0) / w;
    const double v = (h[1][0] * px + h[1][1] * py + h[1][2] * 1.0) / w;
    const double floorU = std::floor(u);
    const double floorV = std::floor(v);
    if (!(floorU >= 0.0 && floorU <= width - 1.0 && floorV >= 0.0 && floorV <= height - 1.0)) {
        return 0;
    }
    const int ix = static_cast<int>(floorU);
    const int iy = static_cast<int>(floorV);
    const double fx = u - ix;
    const double fy = v - iy;
    auto pixel = [&](int cx, int cy) -> double {
        return src[static_cast<std::size_t>(std::min(cy, height - 1) * stride +
                                            std::min(cx, width - 1))];
    };
    const double value = (1 - fx) * pixel(ix, iy) * (1 - fy) + pixel(ix + 1, iy) * fx * (1 - fy) +
                         pixel(ix + 1, iy + 1) * fx * fy + (1 - fx) * pixel(ix, iy + 1) * fy;
    return static_cast<unsigned char>(static_cast<int>(value));
}

// The warp of a packed source into a packed target of the same size.
template <typename Rows>
std::vector<unsigned char> referenceWarp(const unsigned char* src, int width, int height,
                                         const Rows& h) {
    const auto w = static_cast<std::size_t>(width);
    std::vector<unsigned char> out(w * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            out[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)] =
                referenceWarpPixel(src, width, height, width, h, x, y);
        }
    }
    return out;
}

inline std::vector<unsigned char> randomBytes(std::size_t count, std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<unsigned char> bytes(count);
    for (unsigned char& b : bytes) {
        b = static_cast<unsigned char>(byte(rng));
    }
    return bytes;
}

// Rotation, scale, shift and a perspective row strong enough that w changes sign inside
// some frames; now and then an overall factor, since h33 need not be 1.
inline HomographyRows randomPerspective(int width, int height, std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const double angle = 0.4 * unit(rng);
    const double scale = 1.0 + 0.4 * unit(rng);
    HomographyRows h = {
        {{scale * std::cos(angle), -scale * std::sin(angle), 0.3 * width * unit(rng)},
         {scale * std::sin(angle), scale * std::cos(angle), 0.3 * height * unit(rng)},
         {1.5 * unit(rng) / width, 1.5 * unit(rng) / height, 1.0}}};
    if (unit(rng) > 0.5) {
        const double factor = 1.5 + unit(rng);
        for (auto& row : h) {
            for (double& e : row) {
                e *= factor;
            }
        }
    }
    return h;
}
