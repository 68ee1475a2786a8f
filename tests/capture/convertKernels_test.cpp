// The colour and grey conversions on every kernel path this processor runs,
// against the per-pixel references: random bytes (every Y, U and V meet many
// times over), sizes, odd widths, padded rows, row ranges (nothing outside them
// is touched) and an absent grey or copy plane.
#include <gtest/gtest.h>

#include "capture/convertKernels.h"
#include "tests/support/naiveReference.h"

namespace {

using Bytes = std::vector<unsigned char>;
const Plane none{nullptr, 0, 0, 0};

TEST(ConvertKernels, RandomPlanesAndRowRangesMatchTheReference) {
    std::mt19937 rng(2);
    auto upTo = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (KernelPath path : availableKernelPaths()) {
        for (int trial = 0; trial < 300; ++trial) {
            const int w = 1 + upTo(trial < 100 ? 9 : 140), h = 1 + upTo(5), pad = upTo(7);
            const int inStride = w * 2 + pad, bgrStride = w * 3 + pad, greyStride = w + pad;
            const int y0 = trial % 2 ? 0 : upTo(h + 2) - 1, y1 = trial % 2 ? h : upTo(h + 2);
            const bool withGrey = trial % 3 != 0;
            const Bytes in = randomBytes(static_cast<std::size_t>(inStride * h), rng);
            Bytes bgr = randomBytes(static_cast<std::size_t>(bgrStride * h), rng);
            Bytes grey = randomBytes(static_cast<std::size_t>(greyStride * h), rng);
            Bytes wantBgr = bgr, wantGrey = grey;
            yuy2ToBgrGreyRows(path, {in.data(), w, h, inStride}, {bgr.data(), w, h, bgrStride},
                              withGrey ? Plane{grey.data(), w, h, greyStride} : none, y0, y1);
            for (int y = std::max(y0, 0); y < std::min(y1, h); ++y)
                for (int x = 0; x < w; ++x) {
                    unsigned char* px = &wantBgr[y * bgrStride + 3 * x];
                    referenceYuy2Pixel(&in[y * inStride], w, x, px);
                    if (withGrey)
                        wantGrey[y * greyStride + x] = referenceGreyPixel(px);
                }
            ASSERT_EQ(bgr, wantBgr) << kernelPathName(path) << " trial " << trial;
            ASSERT_EQ(grey, wantGrey) << kernelPathName(path) << " trial " << trial;

            // 24-bit frames: copied unchanged (when a copy plane is given) and
            // averaged.
            const Bytes colour = randomBytes(static_cast<std::size_t>(bgrStride * h), rng);
            Bytes copy = randomBytes(colour.size(), rng), wantCopy = copy;
            wantGrey = grey;
            bgrToGreyRows(path, {colour.data(), w, h, bgrStride},
                          withGrey ? Plane{copy.data(), w, h, bgrStride} : none,
                          {grey.data(), w, h, greyStride}, y0, y1);
            for (int y = std::max(y0, 0); y < std::min(y1, h); ++y)
                for (int x = 0; x < w; ++x) {
                    wantGrey[y * greyStride + x] =
                        referenceGreyPixel(&colour[y * bgrStride + 3 * x]);
                    for (int c = 0; withGrey && c < 3; ++c)
                        wantCopy[y * bgrStride + 3 * x + c] = colour[y * bgrStride + 3 * x + c];
                }
            ASSERT_EQ(copy, wantCopy) << kernelPathName(path) << " trial " << trial;
            ASSERT_EQ(grey, wantGrey) << kernelPathName(path) << " trial " << trial;
        }
    }
}

}  // namespace
