// Test-side BMP files, written field by field so that Image's reader and writer are checked
// against an independent layout; the pinned outcome of each hostile file in tests/data/bmp;
// and a temporary folder.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline void put32(Bytes& b, std::size_t at, std::uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i)
        b[at + std::size_t(i)] = static_cast<unsigned char>(v >> 8 * i);
}
inline std::uint32_t get32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24;
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
    using Field = std::pair<std::size_t, std::uint32_t>;
    const std::uint32_t entry = infoSize == 12 ? 3 : 4, colours = std::uint32_t(palette.size());
    const auto size = std::uint32_t(rows.size()), offBits = 14 + infoSize + entry * colours;
    const auto w = std::uint32_t(width), h = std::uint32_t(height), bits = std::uint32_t(bitCount);
    Bytes b(offBits, 0);
    for (const auto& [at, v] :
         {Field{0, 0x4D42}, {2, offBits + size}, {10, offBits}, {14, infoSize}})
        put32(b, at, v);
    if (infoSize == 12)
        put32(b, 18, (w & 0xFFFF) | h << 16), put32(b, 22, 1 | bits << 16);
    else
        for (const auto& [at, v] : {Field{18, w},
                                    {22, h},
                                    {26, 1 | bits << 16},
                                    {30, compression},
                                    {34, size},
                                    {46, colours}})
            put32(b, at, v);
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

// What each file of tests/data/bmp gives: its geometry, or a refusal (width 0).
struct BmpCase {
    std::string name;
    int width = 0, height = 0, bitCount = 0;
    bool loads = false;
    std::size_t pixelBytes = 0;  // width4bytes × height
};
inline std::vector<BmpCase> bmpCases() {
    // clang-format off
    std::vector<BmpCase> all = {
        {"bottomup_8bit_5x3", 5, 3, 8}, {"bottomup_24bit_3x2", 3, 2, 24}, {"topdown_24bit_3x2", 3, 2, 24},
        {"topdown_8bit_7x3", 7, 3, 8}, {"onebit_width8_accepted", 8, 2, 1}, {"fourbit_5x2", 5, 2, 4},
        {"large_info_header_108", 5, 3, 8}, {"large_info_header_124", 3, 2, 24},
        {"short_palette_8bit", 5, 3, 8}, {"truncated_rows_8bit", 5, 3, 8}, {"no_pixel_rows_8bit", 5, 3, 8},
        {"missing_rows_at_limit", 4096, 4096, 8}, {"onebit_width7_refused"}, {"not_bm_signature"},
        {"empty"}, {"header_only"}, {"info_header_cut_short"}, {"palette_cut_short"}, {"offset_below_54"},
        {"offset_zero"}, {"offset_beyond_file_end"}, {"offset_max"}, {"width_zero"}, {"width_negative"},
        {"width_int_min"}, {"width_int_max"}, {"height_zero"}, {"height_int_min"}, {"height_int_max"},
        {"bitcount_zero"}, {"width_times_bitcount_wraps"}, {"rows_beyond_limit"},
        {"declared_huge_in_tiny_file"}};
    // clang-format on
    for (BmpCase& c : all) {
        c.loads = c.width > 0;
        c.pixelBytes = c.loads ? bmpStride(c.width, c.bitCount) * std::size_t(c.height) : 0;
    }
    return all;
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
