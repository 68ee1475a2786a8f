// Test-side BMP files, written field by field so that Image's reader and writer are checked
// against an independent layout, and a temporary folder.
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
