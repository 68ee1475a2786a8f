// Every warp kernel path this processor can run, byte for byte against a per-pixel
// reference written from the definition: random frames and perspectives over sizes from
// 1 × 1 to odd widths and heights, points that land on the last row and column, points that
// are not finite, row ranges, padded rows and sources whose offsets leave 32 bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "calib/kernelPath.h"
#include "calib/warpKernels.h"
#include "tests/support/naiveReference.h"

void PrintTo(KernelPath path, std::ostream* out) {
    *out << kernelPathName(path);
}

namespace {

using Bytes = std::vector<unsigned char>;
using Matrix = HomographyRows;

struct Table {
    HomographyTable h;
    explicit Table(const Matrix& m) {
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                h[r][c] = m[r][c];
            }
        }
    }
};

// Homographies that send many points to the last column or row, to the exact edges, and
// just past them, where the neighbours are clamped and the reads end at the last byte.
Matrix edgeHomography(int width, int height, std::mt19937& rng) {
    std::uniform_real_distribution<double> fraction(0.0, 1.0);
    switch (rng() % 4) {
        case 0:  // everything on the last column, fractional part kept
            return {{{0, 0, width - 1 + fraction(rng)}, {0, 1, 0}, {0, 0, 1}}};
        case 1:  // everything on the last row
            return {{{1, 0, 0}, {0, 0, height - 1 + fraction(rng)}, {0, 0, 1}}};
        case 2:  // the whole frame shifted by less than a pixel either way
            return {{{1, 0, fraction(rng) - 0.5}, {0, 1, fraction(rng) - 0.5}, {0, 0, 1}}};
        default:  // the output squeezed onto the bottom-right corner pixel and around it
            return {{{0.01, 0, width - 1.5 + fraction(rng)},
                     {0, 0.01, height - 1.5 + fraction(rng)},
                     {0, 0, 1}}};
    }
}

struct Size {
    int width;
    int height;
};

void PrintTo(const Size& size, std::ostream* out) {
    *out << size.width << "x" << size.height;
}

// The warp of a packed source of the given size into a packed target of the same size
// that starts out 0xA5.
Bytes runWarp(KernelPath path, const Bytes& src, Size size, const Matrix& h) {
    Bytes out(src.size(), 0xA5);
    const Table table(h);
    warpRows(path, table.h, ConstPlane{src.data(), size.width, size.height, size.width},
             Plane{out.data(), size.width, size.height, size.width}, 0, size.height);
    return out;
}

Bytes reference(const Bytes& src, Size size, const Matrix& h) {
    return referenceWarp(src.data(), size.width, size.height, h);
}

std::string pathName(KernelPath path) {
    std::string name = kernelPathName(path);
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

using PathAndSize = std::tuple<KernelPath, Size>;

class WarpPathSizes : public ::testing::TestWithParam<PathAndSize> {};

TEST_P(WarpPathSizes, RandomPerspectivesMatchTheReference) {
    const auto [path, size] = GetParam();
    std::mt19937 rng(static_cast<unsigned>(size.width * 7919 + size.height));
    for (int round = 0; round < 30; ++round) {
        const Bytes src = randomBytes(static_cast<std::size_t>(size.width * size.height), rng);
        const Matrix h = randomPerspective(size.width, size.height, rng);
        ASSERT_EQ(runWarp(path, src, size, h), reference(src, size, h)) << "round " << round;
    }
}

TEST_P(WarpPathSizes, PointsOnTheLastRowAndColumnMatchTheReference) {
    const auto [path, size] = GetParam();
    std::mt19937 rng(static_cast<unsigned>(size.width * 104729 + size.height));
    for (int round = 0; round < 40; ++round) {
        const Bytes src = randomBytes(static_cast<std::size_t>(size.width * size.height), rng);
        const Matrix h = edgeHomography(size.width, size.height, rng);
        ASSERT_EQ(runWarp(path, src, size, h), reference(src, size, h)) << "round " << round;
    }
}

TEST_P(WarpPathSizes, IdentityReproducesTheSource) {
    const auto [path, size] = GetParam();
    std::mt19937 rng(3);
    const Bytes src = randomBytes(static_cast<std::size_t>(size.width * size.height), rng);
    EXPECT_EQ(runWarp(path, src, size, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}), src);
}

const Size kSizes[] = {{1, 1},  {2, 1},   {1, 2},  {1, 4},   {4, 1},   {2, 2},    {3, 1},
                       {1, 3},  {5, 1},   {3, 3},  {7, 5},   {8, 8},   {9, 2},    {15, 3},
                       {16, 9}, {17, 13}, {31, 7}, {33, 20}, {64, 48}, {101, 77}, {255, 3}};

INSTANTIATE_TEST_SUITE_P(Paths, WarpPathSizes,
                         ::testing::Combine(::testing::ValuesIn(availableKernelPaths()),
                                            ::testing::ValuesIn(kSizes)),
                         [](const ::testing::TestParamInfo<PathAndSize>& row) {
                             const Size size = std::get<1>(row.param);
                             return pathName(std::get<0>(row.param)) + "_W" +
                                    std::to_string(size.width) + "xH" + std::to_string(size.height);
                         });

class WarpPaths : public ::testing::TestWithParam<KernelPath> {};

// Zero w, NaN, infinities, floors beyond the int range and points far outside: all 0.
TEST_P(WarpPaths, PointsThatAreNotFiniteOrFarOutsideAreZero) {
    const Size size{37, 11};
    std::mt19937 rng(5);
    const Bytes src = randomBytes(37 * 11, rng);
    const Matrix cases[] = {
        {{{1, 0, 0}, {0, 1, 0}, {0, 0, 0}}},
        {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
        {{{1, 0, NAN}, {0, 1, 0}, {0, 0, 1}}},
        {{{1, 0, 0}, {0, 1, INFINITY}, {0, 0, 1}}},
        {{{1, 0, -INFINITY}, {0, 1, 0}, {0, 0, 1}}},
        {{{1, 0, 1e12}, {0, 1, -1e12}, {0, 0, 1}}},
        {{{1, 0, 2147483648.0}, {0, 1, 0}, {0, 0, 1}}},
        {{{1, 0, -2147483648.0}, {0, 1, 0}, {0, 0, 1}}},
        {{{1e300, 0, 1e300}, {0, 1e300, 1e300}, {0, 0, 1}}},
        {{{1, 0, 37}, {0, 1, 0}, {0, 0, 1}}},
        {{{1, 0, 0}, {0, 1, -11.0001}, {0, 0, 1}}},
        {{{1, 0, 1}, {0, 1, 1}, {0, 0, -1}}},
    };
    for (const Matrix& h : cases) {
        EXPECT_EQ(runWarp(GetParam(), src, size, h), Bytes(src.size(), 0))
            << h[0][2] << " " << h[1][2] << " " << h[2][2];
    }
}

// Some output columns have w exactly 0 and their neighbours w of either sign.
TEST_P(WarpPaths, ColumnsWhereWIsZeroMatchTheReference) {
    const Size size{40, 6};
    std::mt19937 rng(6);
    const Bytes src = randomBytes(40 * 6, rng);
    const Matrix h = {{{1, 0.5, 2}, {0.25, 1, 1}, {-0.125, 0, 2.5}}};  // w = 0 at x = 20
    EXPECT_EQ(runWarp(GetParam(), src, size, h), reference(src, size, h));
}

// Only rows [y0, y1) are written, so that disjoint ranges can be shared out.
TEST_P(WarpPaths, WritesOnlyItsRowRange) {
    const Size size{45, 20};
    std::mt19937 rng(7);
    const Bytes src = randomBytes(45 * 20, rng);
    const Matrix h = randomPerspective(45, 20, rng);
    const Bytes whole = reference(src, size, h);
    const Table table(h);
    for (const auto& [y0, y1] : {std::pair{0, 1}, std::pair{3, 11}, std::pair{19, 20},
                                 std::pair{-5, 4}, std::pair{17, 40}, std::pair{8, 8}}) {
        Bytes out(src.size(), 0xA5);
        warpRows(GetParam(), table.h, ConstPlane{src.data(), 45, 20, 45},
                 Plane{out.data(), 45, 20, 45}, y0, y1);
        for (int y = 0; y < 20; ++y) {
            const bool written = y >= y0 && y < y1;
            for (int x = 0; x < 45; ++x) {
                const std::size_t i = static_cast<std::size_t>(y * 45 + x);
                ASSERT_EQ(out[i], written ? whole[i] : 0xA5)
                    << "range " << y0 << ".." << y1 << " at " << x << "," << y;
            }
        }
    }
}

// Padded rows on both sides, and a target of another size than the source: the padding of
// the source never shows, the padding of the target is never written.
TEST_P(WarpPaths, PaddedRowsAndAnotherTargetSize) {
    std::mt19937 rng(8);
    for (int round = 0; round < 20; ++round) {
        const int width = 1 + static_cast<int>(rng() % 50);
        const int height = 1 + static_cast<int>(rng() % 30);
        const int srcStride = width + static_cast<int>(rng() % 9);
        const int outWidth = 1 + static_cast<int>(rng() % 60);
        const int outHeight = 1 + static_cast<int>(rng() % 40);
        const int outStride = outWidth + static_cast<int>(rng() % 9);
        const Bytes src = randomBytes(static_cast<std::size_t>(srcStride * height), rng);
        const Matrix h = round % 2 == 0 ? randomPerspective(width, height, rng)
                                        : edgeHomography(width, height, rng);
        const Table table(h);
        Bytes out(static_cast<std::size_t>(outStride * outHeight), 0xA5);
        warpRows(GetParam(), table.h, ConstPlane{src.data(), width, height, srcStride},
                 Plane{out.data(), outWidth, outHeight, outStride}, 0, outHeight);
        for (int y = 0; y < outHeight; ++y) {
            for (int x = 0; x < outStride; ++x) {
                const unsigned char expected =
                    x < outWidth ? referenceWarpPixel(src.data(), width, height, srcStride, h, x, y)
                                 : 0xA5;
                ASSERT_EQ(out[static_cast<std::size_t>(y * outStride + x)], expected)
                    << "round " << round << " at " << x << "," << y;
            }
        }
    }
}

#if defined(__linux__)
// Rows 2^31 bytes apart: offsets no longer fit the 32-bit reads of the vector paths, which
// must still give the reference bytes. Only the pages of the two rows are ever touched.
TEST_P(WarpPaths, SourceWhoseOffsetsLeaveThirtyTwoBits) {
    const std::ptrdiff_t stride = std::ptrdiff_t{1} << 31;
    const int width = 64;
    const std::size_t bytes = static_cast<std::size_t>(stride) + width;
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (block == MAP_FAILED) {
        GTEST_SKIP() << "no address space for a 2 GiB view";
    }
    auto* src = static_cast<unsigned char*>(block);
    std::mt19937 rng(9);
    Bytes packed = randomBytes(2 * width, rng);  // the same picture, packed
    std::copy_n(packed.data(), width, src);
    std::copy_n(packed.data() + width, width, src + stride);
    const Matrix h = {{{0.9, 0.1, 0.3}, {0.01, 0.02, 0.4}, {0.001, 0, 1}}};
    const Table table(h);
    Bytes out(2 * width, 0xA5);
    warpRows(GetParam(), table.h, ConstPlane{src, width, 2, stride},
             Plane{out.data(), width, 2, width}, 0, 2);
    munmap(block, bytes);
    EXPECT_EQ(out, reference(packed, Size{width, 2}, h));
}
#endif

TEST_P(WarpPaths, EmptySourceGivesZeros) {
    const Matrix identity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    const Table table(identity);
    Bytes out(12, 0xA5);
    warpRows(GetParam(), table.h, ConstPlane{nullptr, 0, 0, 0}, Plane{out.data(), 4, 3, 4}, 0, 3);
    EXPECT_EQ(out, Bytes(12, 0));
}

INSTANTIATE_TEST_SUITE_P(Paths, WarpPaths, ::testing::ValuesIn(availableKernelPaths()),
                         [](const ::testing::TestParamInfo<KernelPath>& row) {
                             return pathName(row.param);
                         });

TEST(KernelPaths, ScalarFirstAndTheBestLast) {
    const std::vector<KernelPath> paths = availableKernelPaths();
    ASSERT_FALSE(paths.empty());
    EXPECT_EQ(paths.front(), KernelPath::Scalar);
    EXPECT_EQ(paths.back(), bestKernelPath());
    EXPECT_STREQ(kernelPathName(KernelPath::Avx512), "avx512");
}

}  // namespace
