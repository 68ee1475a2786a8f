// The warp on every kernel path this processor runs, against the per-pixel reference: random
// source and target sizes, padded rows, row ranges (nothing outside them is touched), random
// perspectives, tables whose points are not finite, beyond the int range, behind the camera
// or on the last row and column, and lens maps: random ones (points out of order along a
// row: a fast neighbour window taken from the first point alone; factors not interpolated),
// two entries, points exactly at the last entry's q (a range test <= or a read past the
// table) and a centre outside the source.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cmath>

#include "calib/warpKernels.h"
#include "tests/support/naiveReference.h"

namespace {

// clang-format off
const HomographyRows special[] = {
    {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {{{1, 0, 0.5}, {0, 1, 0.75}, {0, 0, 1}}},
    {{{1, 0, -0.5}, {0, 1, 0}, {0, 0, 1}}}, {{{1, 0, 0}, {0, 1, -0.25}, {0, 0, 1}}},
    {{{1, 0, 0}, {0, 1, 0}, {0, 0, 0}}}, {{{1, 0, NAN}, {0, 1, 0}, {0, 0, 1}}},
    {{{1, 0, 0}, {0, 1, INFINITY}, {0, 0, 1}}}, {{{1, 0, -INFINITY}, {0, 1, 0}, {0, 0, 1}}},
    {{{1, 0, 2147483648.0}, {0, 1, 0}, {0, 0, 1}}}, {{{1, 0, -2147483648.0}, {0, 1, 0}, {0, 0, 1}}},
    {{{1e300, 0, 1e300}, {0, 1e300, 1e300}, {0, 0, 1}}}, {{{1, 0, 1}, {0, 1, 1}, {0, 0, -1}}},
    {{{1, 0.5, 2}, {0.25, 1, 1}, {-0.125, 0, 2.5}}}};  // w = 0 in column 20
// clang-format on

// Lens maps on the identity at 41 × 7: q = 1 at (4, 3); q = 25 at (16, 6); centre outside.
const ReferenceLens specialLens[] = {{{1.0, 1.2}, 20, 3, 1 / 256.0},
                                     {std::vector<double>(26, 0.9), 20, 3, 1.0},
                                     {{1.3, 1.1, 0.9}, -30, -10, 2 / 5300.0}};

ReferenceLens randomLens(int width, int height, std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    ReferenceLens lens{std::vector<double>(2 + rng() % 63), (2 * unit(rng) - 0.5) * width,
                       (2 * unit(rng) - 0.5) * height, 0};
    std::generate(lens.factor.begin(), lens.factor.end(), [&] { return 0.8 + 0.5 * unit(rng); });
    // Roughly covering the source from the centre, some points beyond.
    const double reach = std::max(std::abs(lens.cx), std::abs(width - lens.cx)) +
                         std::max(std::abs(lens.cy), std::abs(height - lens.cy));
    lens.invStep =
        static_cast<double>(lens.factor.size() - 1) / (reach * reach * (0.5 + unit(rng)));
    return lens;
}

void warp(KernelPath path, const HomographyRows& rows, ConstPlane from, Plane to, int y0, int y1,
          const ReferenceLens* lens = nullptr) {
    HomographyTable h;
    std::copy_n(&rows[0][0], 9, &h[0][0]);
    warpRows(path, h,
             lens ? RadialTable{lens->factor, lens->cx, lens->cy, lens->invStep} : RadialTable{},
             from, to, y0, y1);
}

TEST(WarpKernels, EveryPathMatchesTheReference) {
    std::mt19937 rng(1);
    auto upTo = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (KernelPath path : availableKernelPaths()) {
        for (int trial = 0; trial < 500; ++trial) {
            const int specials = static_cast<int>(std::size(special)), lensed = trial - specials;
            const bool isSpecial = trial < specials + static_cast<int>(std::size(specialLens));
            // Sources up to 100 wide: AVX-512's row-piece window needs 65 columns.
            const int sw = isSpecial ? 41 : 1 + upTo(100), sh = isSpecial ? 7 : 1 + upTo(20);
            // Some targets wider than the lensed AVX-512 path's blocks of 256 columns.
            const int tw = isSpecial ? sw : 1 + upTo(trial % 8 == 1 ? 700 : 100);
            const int th = isSpecial ? sh : 1 + upTo(20);
            const int sStride = sw + upTo(5), tStride = tw + upTo(5);
            const auto src = randomBytes(static_cast<std::size_t>(sStride * sh), rng);
            const HomographyRows h = trial < specials ? special[trial]
                                     : isSpecial      ? special[0]
                                                      : randomPerspective(sw, sh, rng);
            const ReferenceLens lens = lensed < 0  ? ReferenceLens{}
                                       : isSpecial ? specialLens[lensed]
                                                   : randomLens(sw, sh, rng);
            // A third of the random trials keep the lens off.
            const ReferenceLens* const lensOrNone =
                lensed < 0 || (!isSpecial && trial % 3 == 0) ? nullptr : &lens;
            auto out = randomBytes(static_cast<std::size_t>(tStride * th), rng), expected = out;
            const bool whole = isSpecial || trial % 2 == 0;
            const int y0 = whole ? 0 : upTo(th + 3) - 2, y1 = whole ? th : upTo(th + 3);
            warp(path, h, {src.data(), sw, sh, sStride}, {out.data(), tw, th, tStride}, y0, y1,
                 lensOrNone);
            for (int y = std::max(y0, 0); y < std::min(y1, th); ++y)
                for (int x = 0; x < tw; ++x)
                    expected[static_cast<std::size_t>(y * tStride + x)] =
                        referenceWarpPixel(src.data(), sw, sh, sStride, h, x, y, lensOrNone);
            ASSERT_EQ(out, expected) << kernelPathName(path) << " trial " << trial;
        }
        std::vector<unsigned char> out(12, 0xA5);  // nothing to sample: all outside
        warp(path, special[0], {nullptr, 0, 0, 0}, {out.data(), 4, 3, 4}, 0, 3);
        EXPECT_EQ(out, std::vector<unsigned char>(12, 0));
    }
}

// Rows 2^31 bytes apart: offsets leave the 32-bit reads of the vector paths. Only the pages
// of the two rows are touched.
TEST(WarpKernels, SourceWhoseOffsetsLeaveThirtyTwoBits) {
    const std::ptrdiff_t stride = std::ptrdiff_t{1} << 31;
    const int width = 64;
    void* block = mmap(nullptr, stride + width, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (block == MAP_FAILED)
        GTEST_SKIP() << "no address space for a 2 GiB view";
    auto* src = static_cast<unsigned char*>(block);
    std::mt19937 rng(9);
    const auto packed = randomBytes(2 * width, rng);
    std::copy_n(packed.data(), width, src);
    std::copy_n(packed.data() + width, width, src + stride);
    const HomographyRows h = {{{0.9, 0.1, 0.3}, {0.01, 0.02, 0.4}, {0.001, 0, 1}}};
    for (KernelPath path : availableKernelPaths()) {
        std::vector<unsigned char> out(2 * width, 0xA5);
        warp(path, h, {src, width, 2, stride}, {out.data(), width, 2, width}, 0, 2);
        EXPECT_EQ(out, referenceWarp(packed.data(), width, 2, h)) << kernelPathName(path);
    }
    munmap(block, stride + width);
}

}  // namespace
