// Every conversion kernel path this processor can run, byte for byte against per-pixel
// references written from the definitions: YUY2 to blue, green, red in 16.16 fixed point,
// the grey mean, over every Y, U, V combination, random frames from 1 × 1 to odd widths,
// row ranges and padded rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "calib/kernelPath.h"
#include "capture/convertKernels.h"
#include "tests/support/naiveReference.h"

void PrintTo(KernelPath path, std::ostream* out) {
    *out << kernelPathName(path);
}

namespace {

using Bytes = std::vector<unsigned char>;

std::string pathName(KernelPath path) {
    std::string name = kernelPathName(path);
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

class ConvertPaths : public ::testing::TestWithParam<KernelPath> {};

// Every (Y, U, V): row U · 256 + V holds the pairs (Y, U, 255 − Y, V) for Y from 0 to 255,
// so each luma meets each chroma in both the left and the right pixel of a pair.
TEST_P(ConvertPaths, EveryYuvCombinationMatchesTheFormula) {
    const int width = 512;
    const int rows = 256;  // one U at a time, every V
    Bytes frame(static_cast<std::size_t>(width) * 2 * rows);
    Bytes bgr(static_cast<std::size_t>(width) * 3 * rows);
    Bytes grey(static_cast<std::size_t>(width) * rows);
    for (int u = 0; u < 256; ++u) {
        for (int v = 0; v < rows; ++v) {
            unsigned char* row = frame.data() + static_cast<std::size_t>(v) * width * 2;
            for (int y = 0; y < 256; ++y) {
                row[4 * y + 0] = static_cast<unsigned char>(y);
                row[4 * y + 1] = static_cast<unsigned char>(u);
                row[4 * y + 2] = static_cast<unsigned char>(255 - y);
                row[4 * y + 3] = static_cast<unsigned char>(v);
            }
        }
        yuy2ToBgrGreyRows(GetParam(), ConstPlane{frame.data(), width, rows, width * 2},
                          Plane{bgr.data(), width, rows, width * 3},
                          Plane{grey.data(), width, rows, width}, 0, rows);
        for (int v = 0; v < rows; ++v) {
            const unsigned char* row = frame.data() + static_cast<std::size_t>(v) * width * 2;
            for (int x = 0; x < width; ++x) {
                unsigned char expected[3];
                referenceYuy2Pixel(row, width, x, expected);
                const std::size_t at = static_cast<std::size_t>(v) * width + x;
                ASSERT_TRUE(bgr[3 * at] == expected[0] && bgr[3 * at + 1] == expected[1] &&
                            bgr[3 * at + 2] == expected[2])
                    << "Y " << int{row[2 * x]} << " U " << u << " V " << v << " pixel " << x;
                ASSERT_EQ(grey[at], referenceGreyPixel(expected)) << "U " << u << " V " << v;
            }
        }
    }
}

// Every sum of three bytes, for the division by 3 of the vector paths.
TEST_P(ConvertPaths, GreyOfEveryChannelSumIsTheMeanRoundedDown) {
    Bytes bgr;
    for (int s = 0; s <= 765; ++s) {
        const int blue = s < 255 ? s : 255;
        const int green = s - blue < 255 ? s - blue : 255;
        const int red = s - blue - green;
        bgr.insert(bgr.end(), {static_cast<unsigned char>(blue), static_cast<unsigned char>(green),
                               static_cast<unsigned char>(red)});
    }
    const int width = 766;
    Bytes grey(width, 0xA5);
    bgrToGreyRows(GetParam(), ConstPlane{bgr.data(), width, 1, width * 3}, Plane{nullptr, 0, 0, 0},
                  Plane{grey.data(), width, 1, width}, 0, 1);
    for (int s = 0; s <= 765; ++s) {
        ASSERT_EQ(grey[static_cast<std::size_t>(s)], s / 3) << "sum " << s;
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, ConvertPaths, ::testing::ValuesIn(availableKernelPaths()),
                         [](const ::testing::TestParamInfo<KernelPath>& row) {
                             return pathName(row.param);
                         });

struct Size {
    int width;
    int height;
};

void PrintTo(const Size& size, std::ostream* out) {
    *out << size.width << "x" << size.height;
}

using PathAndSize = std::tuple<KernelPath, Size>;

class ConvertPathSizes : public ::testing::TestWithParam<PathAndSize> {
  protected:
    // Row padding on every plane, filled with a marker that must survive.
    static constexpr int kPad = 5;
    static constexpr unsigned char kMarker = 0xA5;
};

TEST_P(ConvertPathSizes, Yuy2ToColourAndGreyMatchTheReference) {
    const auto [path, size] = GetParam();
    const auto [width, height] = size;
    std::mt19937 rng(static_cast<unsigned>(width * 7919 + height));
    const int inStride = width * 2 + kPad;
    const int bgrStride = width * 3 + kPad;
    const int greyStride = width + kPad;
    for (const bool withGrey : {true, false}) {
        const Bytes frame = randomBytes(static_cast<std::size_t>(inStride) * height, rng);
        Bytes bgr(static_cast<std::size_t>(bgrStride) * height, kMarker);
        Bytes grey(static_cast<std::size_t>(greyStride) * height, kMarker);
        yuy2ToBgrGreyRows(path, ConstPlane{frame.data(), width, height, inStride},
                          Plane{bgr.data(), width, height, bgrStride},
                          Plane{withGrey ? grey.data() : nullptr, width, height, greyStride}, 0,
                          height);
        for (int y = 0; y < height; ++y) {
            const unsigned char* in = frame.data() + static_cast<std::size_t>(y) * inStride;
            const unsigned char* outRow = bgr.data() + static_cast<std::size_t>(y) * bgrStride;
            const unsigned char* greyRow = grey.data() + static_cast<std::size_t>(y) * greyStride;
            for (int x = 0; x < width; ++x) {
                unsigned char expected[3];
                referenceYuy2Pixel(in, width, x, expected);
                for (int c = 0; c < 3; ++c) {
                    ASSERT_EQ(outRow[3 * x + c], expected[c])
                        << "pixel " << x << "," << y << " channel " << c;
                }
                ASSERT_EQ(greyRow[x], withGrey ? referenceGreyPixel(expected) : kMarker)
                    << "pixel " << x << "," << y;
            }
            for (int p = 0; p < kPad; ++p) {
                ASSERT_EQ(outRow[3 * width + p], kMarker) << "row " << y;
                ASSERT_EQ(greyRow[width + p], kMarker) << "row " << y;
            }
        }
    }
}

TEST_P(ConvertPathSizes, ColourToGreyWithAndWithoutCopyMatchesTheReference) {
    const auto [path, size] = GetParam();
    const auto [width, height] = size;
    std::mt19937 rng(static_cast<unsigned>(width * 104729 + height));
    const int stride = width * 3 + kPad;
    const int greyStride = width + kPad;
    for (const bool withCopy : {true, false}) {
        const Bytes bgr = randomBytes(static_cast<std::size_t>(stride) * height, rng);
        Bytes copy(bgr.size(), kMarker);
        Bytes grey(static_cast<std::size_t>(greyStride) * height, kMarker);
        bgrToGreyRows(path, ConstPlane{bgr.data(), width, height, stride},
                      Plane{withCopy ? copy.data() : nullptr, width, height, stride},
                      Plane{grey.data(), width, height, greyStride}, 0, height);
        for (int y = 0; y < height; ++y) {
            const std::size_t row = static_cast<std::size_t>(y) * stride;
            for (int x = 0; x < width; ++x) {
                const unsigned char* pixel = bgr.data() + row + 3 * x;
                ASSERT_EQ(grey[static_cast<std::size_t>(y) * greyStride + x],
                          referenceGreyPixel(pixel))
                    << "pixel " << x << "," << y;
            }
            for (int i = 0; i < stride; ++i) {
                const unsigned char expected = withCopy && i < 3 * width ? bgr[row + i] : kMarker;
                ASSERT_EQ(copy[row + i], expected) << "byte " << i << " of row " << y;
            }
            ASSERT_EQ(grey[static_cast<std::size_t>(y) * greyStride + width], kMarker);
        }
    }
}

const Size kSizes[] = {{1, 1},  {2, 1},  {3, 1},  {1, 3},  {4, 2},   {7, 3},   {8, 5},
                       {9, 4},  {15, 2}, {16, 3}, {17, 5}, {31, 2},  {32, 3},  {33, 7},
                       {47, 3}, {63, 2}, {64, 3}, {65, 4}, {101, 7}, {318, 5}, {641, 3}};

INSTANTIATE_TEST_SUITE_P(Paths, ConvertPathSizes,
                         ::testing::Combine(::testing::ValuesIn(availableKernelPaths()),
                                            ::testing::ValuesIn(kSizes)),
                         [](const ::testing::TestParamInfo<PathAndSize>& row) {
                             const Size size = std::get<1>(row.param);
                             return pathName(std::get<0>(row.param)) + "_W" +
                                    std::to_string(size.width) + "xH" + std::to_string(size.height);
                         });

// Only rows [y0, y1) are written, so that disjoint ranges can be shared out.
TEST_P(ConvertPaths, WritesOnlyItsRowRange) {
    const int width = 37;
    const int height = 9;
    std::mt19937 rng(12);
    const Bytes frame = randomBytes(static_cast<std::size_t>(width) * 2 * height, rng);
    const Bytes colour = randomBytes(static_cast<std::size_t>(width) * 3 * height, rng);
    for (const auto& [y0, y1] : {std::pair{0, 1}, std::pair{2, 7}, std::pair{8, 9},
                                 std::pair{-3, 2}, std::pair{6, 30}, std::pair{4, 4}}) {
        Bytes bgr(colour.size(), 0xA5);
        Bytes grey(static_cast<std::size_t>(width) * height, 0xA5);
        yuy2ToBgrGreyRows(GetParam(), ConstPlane{frame.data(), width, height, width * 2},
                          Plane{bgr.data(), width, height, width * 3},
                          Plane{grey.data(), width, height, width}, y0, y1);
        Bytes copy(colour.size(), 0xA5);
        Bytes grey24(grey.size(), 0xA5);
        bgrToGreyRows(GetParam(), ConstPlane{colour.data(), width, height, width * 3},
                      Plane{copy.data(), width, height, width * 3},
                      Plane{grey24.data(), width, height, width}, y0, y1);
        for (int y = 0; y < height; ++y) {
            const bool written = y >= y0 && y < y1;
            for (int x = 0; x < width; ++x) {
                const std::size_t at = static_cast<std::size_t>(y) * width + x;
                unsigned char expected[3];
                referenceYuy2Pixel(frame.data() + static_cast<std::size_t>(y) * width * 2, width, x,
                                   expected);
                ASSERT_EQ(bgr[3 * at], written ? expected[0] : 0xA5) << x << "," << y;
                ASSERT_EQ(grey[at], written ? referenceGreyPixel(expected) : 0xA5) << x << "," << y;
                ASSERT_EQ(copy[3 * at + 2], written ? colour[3 * at + 2] : 0xA5) << x << "," << y;
                ASSERT_EQ(grey24[at], written ? referenceGreyPixel(&colour[3 * at]) : 0xA5)
                    << x << "," << y;
            }
        }
    }
}

}  // namespace
