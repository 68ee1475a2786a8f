// The colour and grey conversions on every kernel path this processor runs,
// against the per-pixel references: random bytes (every Y, U and V meet many
// times over), sizes, odd widths, padded rows, row ranges (nothing outside them
// is touched) and an absent grey or copy plane.
#include <gtest/gtest.h>

#include "capture/convertKernels.h"
#include "tests/support/naiveReference.h"

namespace {

const Plane none{nullptr, 0, 0, 0};

TEST(ConvertKernels, RandomPlanesAndRowRangesMatchTheReference) {
    std::mt19937 rng(2);
    auto upTo = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (KernelPath path : availableKernelPaths())
        for (int trial = 0; trial < 300; ++trial) {
            const int w = 1 + upTo(trial < 100 ? 9 : 140), h = 1 + upTo(5), pad = upTo(7);
            const int inStride = w * 2 + pad, bgrStride = w * 3 + pad, greyStride = w + pad;
            const int y0 = trial % 2 ? 0 : upTo(h + 2) - 1, y1 = trial % 2 ? h : upTo(h + 2);
            const bool withGrey = trial % 3 != 0;  // for 24-bit frames: with a copy plane
            const auto bytes = [&](int stride) {
                return randomBytes(std::size_t(stride * h), rng);
            };
            const Bytes in = bytes(inStride), colour = bytes(bgrStride);
            Bytes bgr = bytes(bgrStride), grey = bytes(greyStride), copy = bytes(bgrStride);
            Bytes wantBgr = bgr, wantGrey = grey, wantCopy = copy;
            const auto eachPixel = [&](auto set) {  // of the row range
                for (int y = std::max(y0, 0); y < std::min(y1, h); ++y)
                    for (int x = 0; x < w; ++x)
                        set(y * bgrStride + 3 * x, y * greyStride + x, &in[y * inStride], x);
            };
            yuy2ToBgrGreyRows(path, {in.data(), w, h, inStride}, {bgr.data(), w, h, bgrStride},
                              withGrey ? Plane{grey.data(), w, h, greyStride} : none, y0, y1);
            eachPixel([&](int at, int greyAt, const unsigned char* row, int x) {
                referenceYuy2Pixel(row, w, x, &wantBgr[at]);
                wantGrey[greyAt] = withGrey ? referenceGreyPixel(&wantBgr[at]) : wantGrey[greyAt];
            });
            ASSERT_EQ(bgr, wantBgr) << kernelPathName(path) << " trial " << trial;
            ASSERT_EQ(grey, wantGrey) << kernelPathName(path) << " trial " << trial;
            // 24-bit frames: copied unchanged (when a copy plane is given) and averaged.
            bgrToGreyRows(path, {colour.data(), w, h, bgrStride},
                          withGrey ? Plane{copy.data(), w, h, bgrStride} : none,
                          {grey.data(), w, h, greyStride}, y0, y1);
            eachPixel([&](int at, int greyAt, const unsigned char*, int) {
                wantGrey[greyAt] = referenceGreyPixel(&colour[at]);
                for (int c = 0; withGrey && c < 3; ++c)
                    wantCopy[at + c] = colour[at + c];
            });
            ASSERT_EQ(copy, wantCopy) << kernelPathName(path) << " trial " << trial;
            ASSERT_EQ(grey, wantGrey) << kernelPathName(path) << " trial " << trial;
        }
}

}  // namespace
