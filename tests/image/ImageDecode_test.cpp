// Picture files through loadPicture: one small hand-built file per BMP kind, and a PNG
// file, each against the 5 × 2 picture it was made from.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <fstream>

#include "image/Image.h"
#include "image/ImageDecode.h"

namespace {

using Bytes = std::vector<unsigned char>;
constexpr int W = 5, H = 2;
constexpr int pattern[H][W] = {{0, 0, 1, 0, 1}, {1, 1, 0, 0, 0}};     // top line first
constexpr unsigned char colour[2][3] = {{255, 0, 0}, {0, 255, 255}};  // blue; yellow (B,G,R)
constexpr unsigned char grey[2] = {40, 200};

struct Kind {
    const char* name;
    int bits, compression, headerSize;
    bool topDown, ramp;  // ramp: 256 grey entries, indices are grey levels
};

void put(Bytes& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

std::uint32_t bgr(const unsigned char* c) {
    return c[0] | c[1] << 8 | c[2] << 16;
}

// The pattern as a PNG file (compression -1), as Qt writes it.
Bytes pngFile() {
    QImage made(W, H, QImage::Format_RGB32);
    for (int p = 0; p < W * H; ++p)
        made.setPixel(p % W, p / W, 0xFF000000 | bgr(colour[pattern[p / W][p % W]]));
    QByteArray png;
    QBuffer buffer(&png);
    made.save(&buffer, "PNG");
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
            else if (k.bits == 16)  // 5 bits each
                put(row, (c[2] >> 3) << 10 | (c[1] >> 3) << 5 | c[0] >> 3, 2);
            else
                put(row, bgr(c), k.bits / 8);
        }
        row.insert(row.end(), {0, 0});  // end of line (RLE) or padding
        row.resize(rle ? row.size() : (row.size() + 1) / 4 * 4);
        rows.insert(rows.end(), row.begin(), row.end());
    }
    rows.insert(rows.end(), {0, static_cast<unsigned char>(rle)});  // end of picture (RLE)
    Bytes file = {'B', 'M'};
    put(file, std::uint32_t(14 + info.size() + rows.size()), 4);
    put(file, 0, 4);
    put(file, std::uint32_t(14 + info.size()), 4);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

// loadPicture of a file with these bytes; the picture packed top line first.
bool load(const Bytes& file, Bytes& packed, std::string& header) {
    const std::string path = testing::TempDir() + "decode_test_file";
    std::ofstream(path).write(reinterpret_cast<const char*>(file.data()), long(file.size()));
    Image picture;
    unsigned char* data = nullptr;
    const bool ok = loadPicture(path.c_str(), picture, header);
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
    ASSERT_TRUE(load(k.compression < 0 ? pngFile() : bmpFile(k), got, header));
    EXPECT_NE(header.find("bitCount = " + std::to_string(k.bits)), std::string::npos);
    for (const auto& line : pattern)
        for (int i : line)
            want.insert(want.end(), k.ramp ? grey + i : colour[i],
                        k.ramp ? grey + i + 1 : colour[i] + 3);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)  // Qt widens 5 bits by shifting
        EXPECT_NEAR(got[i], want[i], k.bits == 16 ? 7 : 0) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BmpKind,
    testing::Values(
        Kind{"gray8", 8, 0, 40, false, true}, Kind{"gray8TopDown", 8, 0, 40, true, true},
        Kind{"bgr24", 24, 0, 40, false, false}, Kind{"bgr24TopDown", 24, 0, 40, true, false},
        Kind{"palette1", 1, 0, 40, false, false}, Kind{"palette4", 4, 0, 40, false, false},
        Kind{"palette8", 8, 0, 40, false, false}, Kind{"rle4", 4, 2, 40, false, false},
        Kind{"rle8", 8, 1, 40, false, false}, Kind{"rgb555", 16, 0, 40, false, false},
        Kind{"bitfields555", 16, 3, 40, false, false}, Kind{"bgr32", 32, 0, 40, false, false},
        Kind{"bitfields32", 32, 3, 40, false, false}, Kind{"os2palette8", 8, 0, 12, false, false},
        Kind{"v5palette4", 4, 0, 124, false, false}, Kind{"png", 24, -1, 0, false, false}),
    [](const auto& row) { return std::string(row.param.name); });

// Refused: what no reader decodes, an impossible bit count, and a tiny file that declares
// a huge picture.
TEST(BmpKind, WhatCannotBeDecodedIsRefused) {
    Bytes odd = bmpFile({"", 24, 0, 40, false, false}),
          huge = bmpFile({"", 1, 0, 40, false, false}), got;
    std::string header;
    odd[28] = 7;
    huge[18] = huge[19] = huge[22] = huge[23] = 0x1F;  // 7967 × 7967
    for (const Bytes& file : {Bytes(64, 'x'), odd, huge})
        EXPECT_FALSE(load(file, got, header));
}

}  // namespace
