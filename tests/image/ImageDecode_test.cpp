// Picture files through loadPicture: one small file per BMP kind, and a PNG file, each
// against the 5 × 2 picture it was made from.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include "image/Image.h"
#include "image/ImageDecode.h"
#include "tests/support/bmpFiles.h"

namespace {

constexpr int W = 5, H = 2;
constexpr int pattern[H][W] = {{0, 0, 1, 0, 1}, {1, 1, 0, 0, 0}};  // top line first
constexpr std::uint32_t colour[2] = {0x0000FF, 0xFFFF00};          // blue; yellow
constexpr unsigned char grey[2] = {40, 200};

struct Kind {  // 12-byte header: OS/2; compression 1: RLE8, -1: a PNG file
    int bits, compression, headerSize;
    int topDown, ramp;  // ramp: 256 grey (2: blue) entries, indices are their levels
};

// The file a BMP writer of this kind makes from the pattern.
Bytes bmpFile(const Kind& k) {
    const bool rle = k.compression == 1;
    Bytes rows;
    for (int y = 0; y < H; ++y) {
        Bytes row;
        for (int x = 0; x < W; ++x) {
            const int i = pattern[k.topDown ? y : H - 1 - y][x], v = k.ramp ? grey[i] : i;
            const std::uint32_t c = colour[i], perByte = 8 / std::uint32_t(std::min(k.bits, 8));
            const std::uint32_t value =  // 16 bits: 5 for each colour
                k.bits == 16 ? (c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31) : c;
            if (rle)  // a run of one pixel each
                row.insert(row.end(), {1, static_cast<unsigned char>(v)});
            else if (k.bits > 8)
                for (int b = 0; b < k.bits; b += 8)
                    row.push_back(static_cast<unsigned char>(value >> b));
            else if (x % perByte == 0)
                row.push_back(static_cast<unsigned char>(v << (8 - k.bits)));
            else
                row.back() |= static_cast<unsigned char>(v << (8 - k.bits * (x % perByte + 1)));
        }
        row.insert(row.end(), {0, 0});  // end of line (RLE) or padding
        row.resize(rle ? row.size() : (row.size() + 1) / 4 * 4);
        rows.insert(rows.end(), row.begin(), row.end());
    }
    rows.insert(rows.end(), {0, static_cast<unsigned char>(rle)});  // end of picture (RLE)
    std::vector<std::uint32_t> palette = k.ramp ? greyRamp(256) : std::vector<std::uint32_t>{};
    for (std::uint32_t& entry : palette)  // ramp 2: blue levels, not greys
        entry &= k.ramp == 2 ? 0xFF : 0xFFFFFF;
    for (int i = 0; !k.ramp && i < (k.bits <= 8 ? 1 << k.bits : 0); ++i)
        palette.push_back(colour[std::min(i, 1)]);
    return buildBmp(W, k.topDown ? -H : H, k.bits, palette, rows, std::uint32_t(k.headerSize),
                    std::uint32_t(k.compression));
}

// loadPicture of a file with these bytes; the picture packed top line first.
bool load(const Bytes& file, Bytes& packed, std::string& header) {
    TempDir dir;  // one file per process: ctest runs the rows side by side
    writeFile(dir.file("p"), file);
    Image picture;
    unsigned char* data = nullptr;
    const bool ok = loadPicture(dir.file("p").c_str(), picture, header);
    picture.getData(data);
    packed.assign(data, data + (ok ? picture.rowBytes * picture.height : 0));
    delete[] data;
    return ok;
}

class BmpKind : public testing::TestWithParam<Kind> {};

TEST_P(BmpKind, ShowsThePictureItWasMadeFrom) {
    const Kind k = GetParam();
    Bytes got, want;  // 8-bit grey levels as stored, else 24-bit B,G,R
    std::string header;
    for (const auto& line : pattern)
        for (int i : line)
            for (int b = 0; b < (k.ramp == 1 && k.compression == 0 ? 8 : 24); b += 8)
                want.push_back(static_cast<unsigned char>(
                    (k.ramp ? grey[i] * (k.ramp == 1 ? 0x010101u : 1) : colour[i]) >> b));
    QByteArray png;  // as Qt writes it, from the 24-bit picture
    QBuffer buffer(&png);
    if (k.compression < 0)
        QImage(want.data(), W, H, W * 3, QImage::Format_BGR888).save(&buffer, "PNG");
    ASSERT_TRUE(load(k.compression < 0 ? Bytes(png.begin(), png.end()) : bmpFile(k), got, header));
    EXPECT_NE(header.find("bitCount = " + std::to_string(k.bits)), std::string::npos);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)  // Qt widens 5 bits by shifting
        EXPECT_NEAR(got[i], want[i], k.bits == 16 ? 7 : 0) << i;
}

const Kind kinds[] = {{8, 0, 40, 0, 1},  {8, 0, 40, 1, 1},  {24, 0, 40, 0, 0}, {24, 0, 40, 1, 0},
                      {1, 0, 40, 0, 0},  {4, 0, 40, 0, 0},  {8, 0, 40, 0, 0},  {8, 1, 40, 0, 1},
                      {16, 0, 40, 0, 0}, {32, 0, 40, 0, 0}, {8, 0, 12, 0, 0},  {4, 0, 124, 0, 0},
                      {8, 0, 40, 0, 2},  {24, -1, 0, 0, 0}};
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
