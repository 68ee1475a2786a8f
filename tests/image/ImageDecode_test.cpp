// Picture files through loadPicture: one small file per BMP kind, and a PNG file, each
// against the picture it was made from (tests/support/bmpFiles.h).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include "image/Image.h"
#include "image/ImageDecode.h"
#include "tests/support/bmpFiles.h"

namespace {

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

class BmpKind : public testing::TestWithParam<PictureKind> {};

TEST_P(BmpKind, ShowsThePictureItWasMadeFrom) {
    const PictureKind k = GetParam();
    Bytes got, want = kindPicture(k);  // 8-bit grey levels as stored, else 24-bit B,G,R
    std::string header;
    QByteArray png;  // as Qt writes it, from the 24-bit picture
    QBuffer buffer(&png);
    if (k.compression < 0)
        QImage(want.data(), sample::W, sample::H, sample::W * 3, QImage::Format_BGR888)
            .save(&buffer, "PNG");
    if (k.ramp == 1 && k.compression == 0)
        for (std::size_t i = 0; i < want.size() / 3; ++i)
            want[i] = want[3 * i];
    want.resize(k.ramp == 1 && k.compression == 0 ? want.size() / 3 : want.size());
    ASSERT_TRUE(load(k.compression < 0 ? Bytes(png.begin(), png.end()) : kindFile(k), got, header));
    EXPECT_NE(header.find("bitCount = " + std::to_string(k.bits)), std::string::npos);
    EXPECT_EQ(got, want);
}

// A row's name from its fields: bmp8Grey, bmp4Rle4Cut, bmp16Fields_5_6_5, png24…
std::string kindName(const testing::TestParamInfo<PictureKind>& info) {
    const PictureKind& k = info.param;
    const char* compressions[] = {"", "Rle8", "Rle4", "Fields", "", "", "FieldsAlpha"};
    const char* ramps[] = {"", "Grey", "BlueRamp"};
    const char* variants[] = {"", k.compression > 0 ? "Delta" : "TwoEntries", "Cut", "Absolute"};
    std::string name = (k.compression < 0 ? "png" : "bmp") + std::to_string(k.bits) +
                       compressions[std::max(k.compression, 0)];
    name += k.headerSize == 12 ? "Os2" : k.headerSize == 124 ? "V5" : "";
    name += (k.topDown ? "TopDown" : "") + std::string(ramps[k.ramp]) + variants[k.variant];
    for (int f = 0; f < 4 && k.fields[std::size_t(f)] > 0; ++f)
        name += "_" + std::to_string(k.fields[std::size_t(f)]);
    return name;
}
INSTANTIATE_TEST_SUITE_P(Kinds, BmpKind, testing::ValuesIn(pictureKinds), kindName);

// Refused: what no reader decodes, an impossible bit count, a bit field not one run of bits or
// past 16 bits, masks in the rows, top-down RLE, a tiny file that declares a huge picture.
TEST(BmpKind, WhatCannotBeDecodedIsRefused) {
    Bytes odd = kindFile({24, 0, 40, 0, 0}), huge = kindFile({1, 0, 40, 0, 0}), got;
    Bytes gap = kindFile({16, 3, 40, 0, 0, 0, {5, 5, 5}}), wide = gap, inRows = gap;
    std::string header;
    odd[28] = 7;
    huge[18] = huge[19] = huge[22] = huge[23] = 0x1F;  // 7967 × 7967
    gap[54] = 0x05;                                    // red mask 0x7C05
    wide[55] = 0xFC, wide[56] = 1;                     // red mask 0x1FC00: past 16 bits
    put32(inRows, 10, 54);                             // the masks where the rows start
    for (const auto& [name, file] : {std::pair{"noReaderDecodes", Bytes(64, 'x')},
                                     {"bitCount7", odd},
                                     {"huge", huge},
                                     {"maskWithAGap", gap},
                                     {"maskPast16Bits", wide},
                                     {"masksInTheRows", inRows},
                                     {"rle8TopDown", kindFile({8, 1, 40, 1, 1})},
                                     {"rle4TopDown", kindFile({4, 2, 40, 1, 0})}})
        EXPECT_FALSE(load(file, got, header)) << name;
    Bytes overlong = kindFile({8, 1, 40, 0, 0, 1});
    overlong[72] = 3;  // the bottom line's last run goes 2 pixels past its end: clipped
    EXPECT_TRUE(load(overlong, got, header) && got == kindPicture({8, 1, 40, 0, 0, 1}));
}

}  // namespace
