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

INSTANTIATE_TEST_SUITE_P(Kinds, BmpKind, testing::ValuesIn(pictureKinds));

// Refused: what no reader decodes, an impossible bit count, a bit field that is not one run
// of bits, and a tiny file that declares a huge picture.
TEST(BmpKind, WhatCannotBeDecodedIsRefused) {
    Bytes odd = kindFile({24, 0, 40, 0, 0}), huge = kindFile({1, 0, 40, 0, 0}), got;
    Bytes gap = kindFile({16, 3, 40, 0, 0, 0, {5, 5, 5}});
    std::string header;
    odd[28] = 7;
    huge[18] = huge[19] = huge[22] = huge[23] = 0x1F;  // 7967 × 7967
    gap[54] = 0x05;                                    // red mask 0x7C05
    for (const Bytes& file : {Bytes(64, 'x'), odd, huge, gap})
        EXPECT_FALSE(load(file, got, header));
}

}  // namespace
