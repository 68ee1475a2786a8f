// Picture files through loadPicture: one small hand-built file per BMP kind, and a PNG
// file, each against the 5 × 2 picture it was made from.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "image/Image.h"
#include "image/ImageDecode.h"

namespace {

using Bytes = std::vector<unsigned char>;
constexpr int W = 5, H = 2;
constexpr int pattern[H][W] = {{0, 0, 1, 0, 1}, {1, 1, 0, 0, 0}};     // top line first
constexpr unsigned char colour[2][3] = {{255, 0, 0}, {0, 255, 255}};  // blue; yellow (B,G,R)
constexpr unsigned char grey[2] = {40, 200};

struct Kind {  // 12-byte header: OS/2; compression 1, 2: RLE8, RLE4; 3: bit fields
    int bits, compression, headerSize;
    int topDown, ramp;  // ramp: 256 grey entries, indices are grey levels
};

void put(Bytes& b, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

std::uint32_t bgr(const unsigned char* c) {
    return c[0] | c[1] << 8 | c[2] << 16;
}

// A packed B,G,R picture as a PNG file (compression -1), as Qt writes it.
Bytes pngFile(const Bytes& picture) {
    QByteArray png;
    QBuffer buffer(&png);
    QImage(picture.data(), W, H, W * 3, QImage::Format_BGR888).save(&buffer, "PNG");
    return Bytes(png.begin(), png.end());
}

// The file a BMP writer of this kind makes from the pattern.
Bytes bmpFile(const Kind& k) {
    const bool os2 = k.headerSize == 12, rle = k.compression == 1 || k.compression == 2;
    Bytes info, rows;
    put(info, k.headerSize, 4);
    put(info, W, os2 ? 2 : 4);
    put(info, std::uint32_t(k.topDown ? -H : H), os2 ? 2 : 4);
    put(info, 1 | k.bits << 16, 4);
    put(info, k.compression, os2 ? 0 : 4);
    info.resize(k.headerSize);
    const std::uint32_t masks[2][3] = {{0x7C00, 0x3E0, 0x1F}, {0xFF0000, 0xFF00, 0xFF}};
    for (std::uint32_t m : masks[k.bits == 32])  // red, green, blue
        put(info, m, k.compression == 3 ? 4 : 0);
    for (int i = 0; i < (k.bits <= 8 ? 1 << k.bits : 0); ++i)  // the whole palette
        put(info, k.ramp ? i * 0x10101u : bgr(colour[std::min(i, 1)]), os2 ? 3 : 4);
    for (int y = 0; y < H; ++y) {
        Bytes row;
        for (int x = 0; x < W; ++x) {
            const int i = pattern[k.topDown ? y : H - 1 - y][x], v = k.ramp ? grey[i] : i;
            const unsigned char* c = colour[i];
            const int shift = 8 - k.bits * (x % (8 / std::min(k.bits, 8)) + 1);
            if (rle)  // a run of one pixel each
                row.insert(row.end(), {1, static_cast<unsigned char>(k.bits == 4 ? v * 17 : v)});
            else if (k.bits <= 8 && shift == 8 - k.bits)
                row.push_back(static_cast<unsigned char>(v << shift));
            else if (k.bits < 8)
                row.back() = static_cast<unsigned char>(row.back() | v << shift);
            else  // 16 bits: 5 for each colour
                put(row, k.bits == 16 ? (c[2] >> 3) << 10 | (c[1] >> 3) << 5 | c[0] >> 3 : bgr(c),
                    k.bits / 8);
        }
        row.insert(row.end(), {0, 0});  // end of line (RLE) or padding
        row.resize(rle ? row.size() : (row.size() + 1) / 4 * 4);
        rows.insert(rows.end(), row.begin(), row.end());
    }
    rows.insert(rows.end(), {0, static_cast<unsigned char>(rle)});  // end of picture (RLE)
    Bytes file = {'B', 'M'};
    put(file, 14 + info.size() + rows.size(), 8);  // and the reserved fields
    put(file, 14 + info.size(), 4);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

// loadPicture of a file with these bytes; the picture packed top line first.
bool load(const Bytes& file, Bytes& packed, std::string& header) {
    // One file per process: ctest runs the rows side by side.
    const std::string path = testing::TempDir() + "decode_test_" + std::to_string(getpid());
    std::ofstream(path).write(reinterpret_cast<const char*>(file.data()), long(file.size()));
    Image picture;
    unsigned char* data = nullptr;
    const bool ok = loadPicture(path.c_str(), picture, header);
    std::remove(path.c_str());
    picture.getData(data);
    packed.assign(data, data + (ok ? picture.rowBytes * picture.height : 0));
    delete[] data;
    return ok;
}

class BmpKind : public testing::TestWithParam<Kind> {};

TEST_P(BmpKind, ShowsThePictureItWasMadeFrom) {
    const Kind k = GetParam();
    Bytes got, want;  // 8-bit grey levels or 24-bit B,G,R
    std::string header;
    for (const auto& line : pattern)
        for (int i : line)
            want.insert(want.end(), k.ramp ? grey + i : colour[i],
                        k.ramp ? grey + i + 1 : colour[i] + 3);
    ASSERT_TRUE(load(k.compression < 0 ? pngFile(want) : bmpFile(k), got, header));
    EXPECT_NE(header.find("bitCount = " + std::to_string(k.bits)), std::string::npos);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)  // Qt widens 5 bits by shifting
        EXPECT_NEAR(got[i], want[i], k.bits == 16 ? 7 : 0) << i;
}

const Kind kinds[] = {{8, 0, 40, 0, 1},  {8, 0, 40, 1, 1},  {24, 0, 40, 0, 0}, {24, 0, 40, 1, 0},
                      {1, 0, 40, 0, 0},  {4, 0, 40, 0, 0},  {8, 0, 40, 0, 0},  {4, 2, 40, 0, 0},
                      {8, 1, 40, 0, 0},  {16, 0, 40, 0, 0}, {16, 3, 40, 0, 0}, {32, 0, 40, 0, 0},
                      {32, 3, 40, 0, 0}, {8, 0, 12, 0, 0},  {4, 0, 124, 0, 0}, {24, -1, 0, 0, 0}};
INSTANTIATE_TEST_SUITE_P(Kinds, BmpKind, testing::ValuesIn(kinds));

// Refused: what no reader decodes, an impossible bit count, and a tiny file that declares
// a huge picture.
TEST(BmpKind, WhatCannotBeDecodedIsRefused) {
    Bytes odd = bmpFile({24, 0, 40, 0, 0}), huge = bmpFile({1, 0, 40, 0, 0}), got;
    std::string header;
    odd[28] = 7;
    huge[18] = huge[19] = huge[22] = huge[23] = 0x1F;  // 7967 × 7967
    for (const Bytes& file : {Bytes(64, 'x'), odd, huge})
        EXPECT_FALSE(load(file, got, header));
}

}  // namespace
