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
#include <vector>

using Bytes = std::vector<unsigned char>;

inline void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> 8 * i);
}
inline std::uint32_t get32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24;
}

// Row stride of a BMP file: the row's bytes rounded up to whole 4-byte words.
inline std::size_t bmpStride(int width, int bitCount) {
    return (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
}

// A whole file: 40-byte info header (height negative for top-down), a grey palette of
// `colours` entries, then `rows` as they are to stand in the file.
inline Bytes buildBmp(int width, int height, int bitCount, std::uint32_t colours,
                      const Bytes& rows) {
    const auto size = static_cast<std::uint32_t>(rows.size()), offBits = 54 + 4 * colours;
    Bytes b(offBits, 0);
    // clang-format off
    const std::uint32_t fields[][2] = {{0, 0x4D42}, {2, offBits + size}, {10, offBits}, {14, 40},
        {18, std::uint32_t(width)}, {22, std::uint32_t(height)}, {26, 1 | std::uint32_t(bitCount) << 16},
        {34, size}, {46, colours}};
    // clang-format on
    for (const auto& field : fields)
        put32(b, field[0], field[1]);
    for (std::uint32_t i = 0; i < colours; ++i)
        put32(b, 54 + 4 * i, i * 0x010101);
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
