// Test-side BMP files, written field by field so that Image's reader and writer are checked
// against an independent layout, and a temporary folder.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline void put32(Bytes& b, std::size_t at, std::uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i)
        b[at + std::size_t(i)] = static_cast<unsigned char>(v >> 8 * i);
}

// Row stride of a BMP file: the row's bytes rounded up to whole 4-byte words.
inline std::size_t bmpStride(int width, int bitCount) {
    return (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
}

// Palette entries 0x00RRGGBB: entry v is grey v.
inline std::vector<std::uint32_t> greyRamp(std::uint32_t colours) {
    std::vector<std::uint32_t> ramp(colours);
    for (std::uint32_t i = 0; i < colours; ++i)
        ramp[i] = i * 0x010101;
    return ramp;
}

// A whole file: an info header of infoSize bytes (12: OS/2, with 16-bit sizes and 3-byte
// palette entries; height negative for top-down), the palette, then `rows` as they stand.
inline Bytes buildBmp(int width, int height, int bitCount,
                      const std::vector<std::uint32_t>& palette, const Bytes& rows,
                      std::uint32_t infoSize = 40, std::uint32_t compression = 0) {
    const std::uint32_t entry = infoSize == 12 ? 3 : 4, colours = std::uint32_t(palette.size());
    const auto size = std::uint32_t(rows.size()), offBits = 14 + infoSize + entry * colours;
    const auto w = std::uint32_t(width), h = std::uint32_t(height), bits = std::uint32_t(bitCount);
    Bytes b(offBits, 0);
    put32(b, 0, 0x4D42), put32(b, 2, offBits + size), put32(b, 10, offBits), put32(b, 14, infoSize);
    if (infoSize == 12)
        put32(b, 18, (w & 0xFFFF) | h << 16), put32(b, 22, 1 | bits << 16);
    else
        put32(b, 18, w), put32(b, 22, h), put32(b, 26, 1 | bits << 16), put32(b, 30, compression),
            put32(b, 34, size), put32(b, 46, colours);
    for (std::uint32_t i = 0; i < colours; ++i)
        put32(b, 14 + infoSize + entry * i, palette[i], int(entry));
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// A fresh folder under /tmp, removed with everything in it at the end of the test.
struct TempDir {
    std::string path = [] {
        std::string name = "/tmp/plandis-test-XXXXXX";
        return ::mkdtemp(name.data()) != nullptr ? name : std::string();
    }();
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::vector<std::string> entries() const {  // sorted: shows a temporary left behind
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// The 5 × 2 picture every kind of picture file in the tests is made from: two colours (or
// two grey levels) in a pattern, top line first. The colours hold levels that a narrow bit
// field keeps only approximately.
namespace sample {
constexpr int W = 5, H = 2;
constexpr int pattern[H][W] = {{0, 0, 1, 0, 1}, {1, 1, 0, 0, 0}};
constexpr std::uint32_t colour[2] = {0x1F8040, 0xE0C0FF};  // 0xRRGGBB
constexpr unsigned char grey[2] = {40, 200};
}  // namespace sample

struct PictureKind {
    int bits, compression, headerSize;  // 12: OS/2; compression 1: RLE8, 2: RLE4, 3: bit
                                        // fields, 6: bit fields with alpha, -1: a PNG file
    int topDown, ramp;  // ramp: 256 grey (2: blue) entries, indices are their levels
    int variant = 0;    // 2: the file ends after its first line; RLE: 1 a delta skips each
                        // line's first pixel, 3 absolute runs; palettes: 1 two entries only
    std::array<int, 4> fields = {};  // bits of red, green, blue, alpha, blue lowest; none:
                                     // 5-5-5 (16 bits) or 8-8-8 (32 bits)
};

inline std::array<int, 4> fieldBits(const PictureKind& k) {
    return k.fields[0] ? k.fields : k.bits == 16 ? std::array{5, 5, 5, 0} : std::array{8, 8, 8, 0};
}
// An 8-bit level in n bits: its top bits, or shifted up.
inline std::uint64_t narrowed(std::uint32_t level, int n) {
    return n <= 8 ? level >> (8 - n) : std::uint64_t{level} << (n - 8);
}
// The 16- or 32-bit pixel of a colour, alpha all ones, and its masks.
inline std::uint64_t fieldPixel(const PictureKind& k, std::uint32_t rgb, std::uint32_t* masks) {
    const std::array<int, 4> n = fieldBits(k);
    std::uint64_t pixel = 0;
    for (int f : {2, 1, 0, 3}) {  // blue lowest, alpha highest
        const int shift = (f == 2 ? 0 : f == 1 ? n[2] : f == 0 ? n[2] + n[1] : n[2] + n[1] + n[0]);
        const std::uint64_t ones = (std::uint64_t{1} << n[f]) - 1;
        masks[f] = std::uint32_t(ones << shift);
        pixel |= (f == 3 ? ones : narrowed(rgb >> 8 * (2 - f) & 255, n[f])) << shift;
    }
    return pixel;
}

// The file a BMP writer of this kind makes from the sample picture.
inline Bytes kindFile(const PictureKind& k) {
    using namespace sample;
    const bool rle = k.compression == 1 || k.compression == 2;
    std::uint32_t masks[4] = {};
    Bytes rows;
    for (int y = 0; y < H && !(k.variant == 2 && y == 1); ++y) {
        const int* line = pattern[k.topDown ? y : H - 1 - y];
        const auto index = [&](int x) { return std::uint32_t(k.ramp ? grey[line[x]] : line[x]); };
        Bytes packed, row;  // packed: the line's pixels, indices from the top bits down
        for (int x = 0; x < W; ++x)
            if (k.bits <= 8 && x * k.bits % 8 == 0)
                packed.push_back(static_cast<unsigned char>(index(x) << (8 - k.bits)));
            else if (k.bits <= 8)
                packed.back() |=
                    static_cast<unsigned char>(index(x) << (8 - k.bits - x * k.bits % 8));
            else
                for (int b = 0; b < k.bits; b += 8)
                    packed.push_back(static_cast<unsigned char>(
                        (k.bits == 24 ? colour[line[x]] : fieldPixel(k, colour[line[x]], masks)) >>
                        b));
        if (rle && k.variant == 3) {  // one absolute run of the whole line, word-aligned
            row = {0, static_cast<unsigned char>(W)};
            row.insert(row.end(), packed.begin(), packed.end());
            row.resize((row.size() + 1) / 2 * 2);
        } else if (rle) {        // runs of one pixel, or two whose indices alternate (RLE4)
            if (k.variant == 1)  // delta: one pixel right
                row = {0, 2, 1, 0};
            for (int x = k.variant == 1, n = 1; x < W; x += n) {
                n = k.bits == 4 && x + 1 < W ? 2 : 1;
                row.insert(row.end(),
                           {static_cast<unsigned char>(n),
                            static_cast<unsigned char>(index(x) << (k.bits == 4 ? 4 : 0) |
                                                       (n == 2 ? index(x + 1) : 0))});
            }
        } else
            row = packed, row.resize((row.size() + 3) / 4 * 4);
        if (rle)
            row.insert(row.end(), {0, 0});  // end of line
        rows.insert(rows.end(), row.begin(), row.end());
    }
    if (rle && k.variant != 2)
        rows.insert(rows.end(), {0, 1});  // end of picture
    std::vector<std::uint32_t> palette = k.ramp ? greyRamp(256) : std::vector<std::uint32_t>{};
    for (std::uint32_t& entry : palette)  // ramp 2: blue levels, not greys
        entry &= k.ramp == 2 ? 0xFF : 0xFFFFFF;
    for (int i = 0; !k.ramp && i < (k.bits <= 8 ? k.variant == 1 ? 2 : 1 << k.bits : 0); ++i)
        palette.push_back(colour[std::min(i, 1)]);
    if (k.compression == 3 || k.compression == 6)  // the masks follow the 40-byte header
        palette.assign(masks, masks + (k.compression == 6 ? 4 : 3));
    return buildBmp(W, k.topDown ? -H : H, k.bits, palette, rows, std::uint32_t(k.headerSize),
                    std::uint32_t(k.compression));
}

// The picture a file of this kind shows, top line first, blue, green, red: a bit field of n
// bits widened to the nearest of 255 / (2^n − 1) steps; pixels an RLE file skips or lacks
// black, missing bytes of other files 0.
inline Bytes kindPicture(const PictureKind& k) {
    using namespace sample;
    const bool rle = k.compression == 1 || k.compression == 2,
               fields = k.bits == 16 || k.bits == 32;
    const std::array<int, 4> n = fieldBits(k);
    Bytes picture;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int f = 2; f >= 0; --f) {  // blue, green, red
                const bool missing = k.variant == 2 && y == 0, palette = k.bits <= 8 && !k.ramp;
                const int i = missing && palette ? 0 : pattern[y][x];  // bytes 0: entry 0
                const std::uint32_t rgb =
                    k.ramp ? grey[i] * (k.ramp == 1 ? 0x010101u : 1) : colour[i];
                const std::uint32_t level = rgb >> 8 * (2 - f) & 255;
                const double top = double((std::uint64_t{1} << n[f]) - 1);
                const bool unset =
                    (rle && k.variant == 1 && x == 0) || (missing && !palette) || (missing && rle);
                picture.push_back(unset    ? 0
                                  : fields ? static_cast<unsigned char>(std::lround(
                                                 double(narrowed(level, n[f])) * 255 / top))
                                           : static_cast<unsigned char>(level));
            }
    return picture;
}

// clang-format off
// Every kind of file Load BMP shows, in the Load BMP and the rectify tests alike.
inline const PictureKind pictureKinds[] = {
    {8, 0, 40, 0, 1}, {8, 0, 40, 1, 1}, {24, 0, 40, 0, 0}, {24, 0, 40, 1, 0}, {1, 0, 40, 0, 0},
    {4, 0, 40, 0, 0}, {8, 0, 40, 0, 0}, {8, 1, 40, 0, 1}, {16, 0, 40, 0, 0}, {32, 0, 40, 0, 0},
    {8, 0, 12, 0, 0}, {4, 0, 124, 0, 0}, {8, 0, 40, 0, 2}, {24, -1, 0, 0, 0},
    {8, 0, 40, 1, 0}, {1, 0, 40, 1, 0}, {8, 0, 12, 0, 0, 1}, {4, 0, 40, 0, 0, 1},
    {8, 1, 40, 0, 0, 1}, {8, 1, 40, 0, 0, 2}, {8, 1, 40, 0, 0, 3},
    {4, 2, 40, 0, 0}, {4, 2, 40, 0, 0, 1}, {4, 2, 40, 0, 0, 2}, {4, 2, 40, 0, 0, 3},
    {16, 3, 40, 0, 0, 0, {2, 3, 1}}, {16, 3, 40, 1, 0, 0, {3, 10, 3}}, {16, 3, 40, 0, 0, 0, {5, 6, 5}},
    {32, 3, 40, 0, 0, 0, {11, 11, 10}}, {32, 3, 40, 0, 0, 0, {7, 18, 7}},
    {16, 6, 40, 0, 0, 0, {4, 4, 4, 4}}, {16, 6, 40, 0, 0, 0, {9, 2, 4, 1}},
    {32, 6, 40, 0, 0, 0, {10, 10, 10, 2}}, {8, 0, 40, 0, 1, 2}, {24, 0, 40, 0, 0, 2},
    {4, 0, 40, 0, 0, 2}};
// clang-format on
