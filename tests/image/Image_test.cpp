// Image as a buffer: geometry, headers, palette, and the conversion to and from packed
// top-line-first frame buffers.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "bmpSupport.h"
#include "image/Image.h"

namespace {

BitmapInfoHeader infoOf(const Image& image) {
    BitmapInfoHeader info{};
    std::memcpy(&info, image.bitmapInfo.get(), sizeof info);
    return info;
}

Bytes pixelsOf(const Image& image) {
    const std::size_t n = static_cast<std::size_t>(image.width4bytes) * image.height;
    return Bytes(image.pixels.get(), image.pixels.get() + n);
}

TEST(ImageCreate, Grey320x240HasTheSavedFrameHeaders) {
    Image image;
    ASSERT_TRUE(image.create(320, 240, 8));
    EXPECT_EQ(image.rowBytes, 320);
    EXPECT_EQ(image.width4bytes, 320);
    EXPECT_EQ(image.bitmapInfoBytes, 1064u);
    EXPECT_EQ(field(image.fileHeader.type), 0x4D42);
    EXPECT_EQ(field(image.fileHeader.size), 77878u);
    EXPECT_EQ(field(image.fileHeader.offBits), 1078u);
    EXPECT_EQ(field(image.fileHeader.reserved1), 0);
    EXPECT_EQ(field(image.fileHeader.reserved2), 0);
    const BitmapInfoHeader info = infoOf(image);
    EXPECT_EQ(field(info.size), 40u);
    EXPECT_EQ(field(info.width), 320);
    EXPECT_EQ(field(info.height), 240);
    EXPECT_EQ(field(info.planes), 1);
    EXPECT_EQ(field(info.bitCount), 8);
    EXPECT_EQ(field(info.compression), 0u);
    EXPECT_EQ(field(info.sizeImage), 76800u);
    EXPECT_EQ(field(info.xPelsPerMeter), 0);
    EXPECT_EQ(field(info.yPelsPerMeter), 0);
    EXPECT_EQ(field(info.clrUsed), 256u);
    EXPECT_EQ(field(info.clrImportant), 0u);
    for (int i = 0; i < 256; ++i) {
        const unsigned char* entry = image.bitmapInfo.get() + 40 + 4 * i;
        ASSERT_EQ(entry[0], i);
        ASSERT_EQ(entry[1], i);
        ASSERT_EQ(entry[2], i);
        ASSERT_EQ(entry[3], 0);
    }
}

TEST(ImageCreate, Colour320x240HasNoPalette) {
    Image image;
    ASSERT_TRUE(image.create(320, 240, 24));
    EXPECT_EQ(image.rowBytes, 960);
    EXPECT_EQ(image.width4bytes, 960);
    EXPECT_EQ(image.bitmapInfoBytes, 40u);
    EXPECT_EQ(field(image.fileHeader.offBits), 54u);
    EXPECT_EQ(field(image.fileHeader.size), 230454u);
    EXPECT_EQ(field(infoOf(image).clrUsed), 0u);
}

TEST(ImageCreate, OddWidthsPadRowsToFourBytes) {
    Image image;
    ASSERT_TRUE(image.create(321, 240, 24));
    EXPECT_EQ(image.rowBytes, 963);
    EXPECT_EQ(image.width4bytes, 964);
    ASSERT_TRUE(image.create(321, 240, 8));
    EXPECT_EQ(image.rowBytes, 321);
    EXPECT_EQ(image.width4bytes, 324);
}

// Row sizes over a sweep of widths and every BMP depth, against the file layout's own rule.
TEST(ImageCreate, RowSizesMatchTheFileLayoutForAllDepths) {
    for (int bits : {1, 2, 4, 8, 16, 24, 32}) {
        for (int w = 1; w <= 40; ++w) {
            Image image;
            ASSERT_TRUE(image.create(w, 3, bits));
            EXPECT_EQ(image.rowBytes, w * bits / 8) << w << "x" << bits;
            EXPECT_EQ(static_cast<std::size_t>(image.width4bytes), bmpStride(w, bits))
                << w << "x" << bits;
            const std::size_t colours = bits <= 8 ? std::size_t{1} << bits : 0;
            EXPECT_EQ(image.bitmapInfoBytes, 40 + 4 * colours);
            EXPECT_EQ(field(image.fileHeader.size), 54 + 4 * colours + bmpStride(w, bits) * 3);
        }
    }
}

TEST(ImageCreate, FreshPixelsAreZero) {
    Image image;
    ASSERT_TRUE(image.create(13, 7, 24));
    std::memset(image.pixels.get(), 0xAB, static_cast<std::size_t>(image.width4bytes) * 7);
    image.reset();
    ASSERT_TRUE(image.create(13, 7, 24));
    EXPECT_EQ(pixelsOf(image), Bytes(static_cast<std::size_t>(image.width4bytes) * 7, 0));
}

struct BadGeometry {
    const char* name;
    int width, height, bitCount;
};

class ImageCreateRefuses : public testing::TestWithParam<BadGeometry> {};

TEST_P(ImageCreateRefuses, AndLeavesTheImageAsItWas) {
    Image image;
    ASSERT_TRUE(image.create(5, 4, 8));
    const unsigned char* pixels = image.pixels.get();
    const unsigned char* info = image.bitmapInfo.get();
    const BadGeometry& g = GetParam();
    EXPECT_FALSE(image.create(g.width, g.height, g.bitCount));
    EXPECT_EQ(image.width, 5);
    EXPECT_EQ(image.height, 4);
    EXPECT_EQ(image.bitCount, 8);
    EXPECT_EQ(image.rowBytes, 5);
    EXPECT_EQ(image.width4bytes, 8);
    EXPECT_EQ(image.pixels.get(), pixels);
    EXPECT_EQ(image.bitmapInfo.get(), info);
    EXPECT_EQ(field(image.fileHeader.offBits), 1078u);
}

INSTANTIATE_TEST_SUITE_P(
    Geometry, ImageCreateRefuses,
    testing::Values(BadGeometry{"zero_width", 0, 4, 8}, BadGeometry{"zero_height", 4, 0, 8},
                    BadGeometry{"zero_bitcount", 4, 4, 0}, BadGeometry{"negative_width", -4, 4, 8},
                    BadGeometry{"negative_height", 4, -4, 8},
                    BadGeometry{"negative_bitcount", 4, 4, -8},
                    BadGeometry{"bitcount_beyond_16_bits", 1, 1, 65536},
                    BadGeometry{"width_times_bits_beyond_int", INT_MAX, 1, 24},
                    BadGeometry{"block_just_beyond_limit", 16384, 16385, 8},
                    BadGeometry{"huge_both", INT_MAX, INT_MAX, 8}),
    [](const testing::TestParamInfo<BadGeometry>& row) { return row.param.name; });

// setData then getData hands back the source exactly, over odd widths and both depths;
// the buffer in between is the picture bottom line first with zero alignment bytes.
TEST(ImageSetData, RoundTripsAndStoresRowsBottomUp) {
    for (int bits : {8, 24}) {
        for (int w = 1; w <= 9; ++w) {
            for (int h = 1; h <= 4; ++h) {
                const std::size_t packed = static_cast<std::size_t>(w) * bits / 8;
                const Bytes source = randomBytes(packed * h, static_cast<unsigned>(w * 31 + h));
                Image image;
                ASSERT_TRUE(image.create(w, h, bits));
                std::memset(image.pixels.get(), 0xEE, image.width4bytes * std::size_t(h));
                ASSERT_TRUE(image.setData(source.data(), w, h, bits));
                EXPECT_EQ(pixelsOf(image), fileRows(source, w, h, bits, false))
                    << w << "x" << h << "x" << bits;
                unsigned char* out = nullptr;
                image.getData(out);
                ASSERT_NE(out, nullptr);
                EXPECT_EQ(Bytes(out, out + packed * h), source) << w << "x" << h << "x" << bits;
                delete[] out;
            }
        }
    }
}

TEST(ImageSetData, FirstSourceRowBecomesLastBufferRow) {
    Bytes source(320 * 240, 0);
    std::fill_n(source.begin(), 320, 255);
    Image image;
    ASSERT_TRUE(image.setData(source.data(), 320, 240, 8));
    for (int r = 0; r < 240; ++r) {
        const unsigned char* row = image.pixels.get() + 320 * r;
        const unsigned char expected = r == 239 ? 255 : 0;
        for (int c = 0; c < 320; ++c)
            ASSERT_EQ(row[c], expected) << r << "," << c;
    }
}

TEST(ImageSetData, OneAlignmentByteOfZeroAfterEachOddColourRow) {
    const Bytes source(963 * 240, 0x77);
    Image image;
    ASSERT_TRUE(image.create(321, 240, 24));
    std::memset(image.pixels.get(), 0xFF, 964 * 240);
    ASSERT_TRUE(image.setData(source.data(), 321, 240, 24));
    for (int r = 0; r < 240; ++r) {
        ASSERT_EQ(image.pixels[964 * r + 962], 0x77);
        ASSERT_EQ(image.pixels[964 * r + 963], 0) << r;
    }
}

TEST(ImageSetData, SameGeometryReusesBlocksOtherDepthRemakesThem) {
    const Bytes grey(6 * 5, 1);
    const Bytes colour(6 * 5 * 3, 2);
    Image image;
    ASSERT_TRUE(image.setData(grey.data(), 6, 5, 8));
    const unsigned char* pixels = image.pixels.get();
    const unsigned char* info = image.bitmapInfo.get();
    ASSERT_TRUE(image.setData(grey.data(), 6, 5, 8));
    EXPECT_EQ(image.pixels.get(), pixels);
    EXPECT_EQ(image.bitmapInfo.get(), info);

    ASSERT_TRUE(image.setData(colour.data(), 6, 5, 24));
    EXPECT_EQ(image.bitCount, 24);
    EXPECT_EQ(image.width4bytes, 20);
    EXPECT_EQ(image.bitmapInfoBytes, 40u);
    EXPECT_EQ(field(infoOf(image).bitCount), 24);
    EXPECT_EQ(field(image.fileHeader.offBits), 54u);
    EXPECT_EQ(image.pixels[0], 2);
}

TEST(ImageSetData, NullSourceIsRefusedAndChangesNothing) {
    const Bytes grey(4 * 2, 9);
    Image image;
    ASSERT_TRUE(image.setData(grey.data(), 4, 2, 8));
    const unsigned char* pixels = image.pixels.get();
    EXPECT_FALSE(image.setData(nullptr, 8, 8, 24));
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.bitCount, 8);
    EXPECT_EQ(image.pixels.get(), pixels);
    EXPECT_EQ(image.pixels[0], 9);
}

// A geometry that cannot be created is a failure, not an empty success.
TEST(ImageSetData, UncreatableGeometryIsRefusedAndLeavesTheImageEmpty) {
    const Bytes grey(16, 1);
    Image image;
    ASSERT_TRUE(image.setData(grey.data(), 4, 4, 8));
    EXPECT_FALSE(image.setData(grey.data(), 0, 4, 8));
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0);
    EXPECT_FALSE(image.setData(grey.data(), 4, -4, 8));
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(ImageGetData, ReplacesTheBufferItIsGiven) {
    const Bytes source = randomBytes(7 * 3 * 3, 5);
    Image image;
    ASSERT_TRUE(image.setData(source.data(), 7, 3, 24));
    // The old block is freed (the leak checker would see it otherwise) and the new one
    // holds rowBytes × height bytes (the address checker would see a short one).
    unsigned char* buffer = new unsigned char[2]{1, 2};
    image.getData(buffer);
    EXPECT_EQ(Bytes(buffer, buffer + 63), source);
    delete[] buffer;
}

TEST(ImageGetData, EmptyImageLeavesTheDestinationAlone) {
    Image image;
    unsigned char* buffer = new unsigned char[3]{4, 5, 6};
    unsigned char* before = buffer;
    image.getData(buffer);
    EXPECT_EQ(buffer, before);
    EXPECT_EQ(buffer[2], 6);
    delete[] buffer;
}

TEST(ImageHeaderText, DescribesTheGeometryInFiveLines) {
    Image image;
    ASSERT_TRUE(image.create(320, 240, 8));
    EXPECT_EQ(image.headerText(),
              "width = 320\nheight = 240\nbitCount = 8\nwidth4bytes = 320\nimageSize = 76800");
    ASSERT_TRUE(image.create(321, 240, 24));
    EXPECT_EQ(image.headerText(),
              "width = 321\nheight = 240\nbitCount = 24\nwidth4bytes = 964\nimageSize = 231360");
}

TEST(ImageReset, EmptiesEverything) {
    Image image;
    ASSERT_TRUE(image.create(3, 3, 8));
    image.reset();
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.rowBytes, 0);
    EXPECT_EQ(image.width4bytes, 0);
    EXPECT_EQ(image.bitCount, 0);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.bitmapInfo, nullptr);
    EXPECT_EQ(image.bitmapInfoBytes, 0u);
    const BitmapFileHeader zero{};
    EXPECT_EQ(std::memcmp(&image.fileHeader, &zero, sizeof zero), 0);
    EXPECT_EQ(image.headerText(),
              "width = 0\nheight = 0\nbitCount = 0\nwidth4bytes = 0\nimageSize = 0");
}

}  // namespace
