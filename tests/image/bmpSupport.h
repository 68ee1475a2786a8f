// Test-side BMP files and temporary folders. The builder writes the BMP layout on its own,
// field by field, so Image's reader and writer are checked against an independent oracle.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// The packed BMP header fields may sit at odd addresses, so they must not bind to the
// references the test macros take: compare copies instead.
template <typename T>
T field(T value) {
    return value;
}

inline void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
inline void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}
inline std::uint32_t get32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24;
}

// Row stride of a BMP file: the row's bytes rounded up to whole 4-byte words.
inline std::size_t bmpStride(int width, int bitCount) {
    const std::size_t bytes = (static_cast<std::size_t>(width) * bitCount + 7) / 8;
    return (bytes + 3) / 4 * 4;
}

inline Bytes randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    Bytes b(n);
    for (auto& v : b)
        v = static_cast<unsigned char>(random());
    return b;
}

// The rows of a packed, top-line-first picture as a file holds them: bottom line first
// (or top line first for a top-down file), each padded with 0 to the stride.
inline Bytes fileRows(const Bytes& picture, int width, int height, int bitCount, bool topDown) {
    const std::size_t packed = static_cast<std::size_t>(width) * bitCount / 8;
    const std::size_t stride = bmpStride(width, bitCount);
    Bytes rows(stride * height, 0);
    for (int r = 0; r < height; ++r) {
        const int fileRow = topDown ? r : height - 1 - r;
        std::copy_n(picture.begin() + static_cast<long>(packed * r), packed,
                    rows.begin() + static_cast<long>(stride * fileRow));
    }
    return rows;
}

struct BmpParts {
    std::int32_t width = 1;
    std::int32_t height = 1;  // as stored: negative for a top-down file
    std::uint16_t bitCount = 8;
    std::uint32_t infoSize = 40;
    std::uint32_t colours = 256;  // grey palette entries written after the info header
    Bytes rows;                   // pixel rows in file order
};

// A complete BMP file: file header, info header of infoSize bytes, grey palette, rows.
inline Bytes buildBmp(const BmpParts& p) {
    const std::uint32_t offBits = 14 + p.infoSize + 4 * p.colours;
    Bytes b(offBits, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, offBits + static_cast<std::uint32_t>(p.rows.size()));
    put32(b, 10, offBits);
    put32(b, 14, p.infoSize);
    put32(b, 18, static_cast<std::uint32_t>(p.width));
    put32(b, 22, static_cast<std::uint32_t>(p.height));
    put16(b, 26, 1);
    put16(b, 28, p.bitCount);
    put32(b, 34, static_cast<std::uint32_t>(p.rows.size()));
    put32(b, 46, p.colours);
    for (std::uint32_t i = 0; i < p.colours; ++i) {
        const std::size_t at = 14 + p.infoSize + 4 * i;
        b[at] = b[at + 1] = b[at + 2] = static_cast<unsigned char>(i);
    }
    b.insert(b.end(), p.rows.begin(), p.rows.end());
    return b;
}

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// A fresh folder under /tmp, removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir() {
        std::string name = "/tmp/plandis-image-XXXXXX";
        path_ = ::mkdtemp(name.data()) != nullptr ? name : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Names in the folder, sorted: shows any temporary file a write left behind.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::string path_;
};
