// The warp of the grey frame through homographyTable: its defining edge cases, and
// byte-for-byte agreement with a per-pixel reference on random frames and random
// perspective homographies.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "app/sharedState.h"
#include "calib/rectify.h"
#include "tests/support/naiveReference.h"
#include "tests/support/sharedStateReset.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Homography = HomographyRows;

const Homography kIdentity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

Homography translation(double tx, double ty) {
    return {{{1, 0, tx}, {0, 1, ty}, {0, 0, 1}}};
}

std::size_t at(int width, int x, int y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
           static_cast<std::size_t>(x);
}

// Runs the real warp into an output frame that starts out filled with `fill`.
Bytes warp(const Bytes& grey, int width, int height, const Homography& h,
           unsigned char fill = 0xA5) {
    frameWidth = width;
    frameHeight = height;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            homographyTable[r][c] = h[r][c];
        }
    }
    Bytes out(grey.size(), fill);
    unsigned char* output = out.data();
    rectifyFrame(grey.data(), output);
    return out;
}

Bytes randomFrame(int width, int height, std::mt19937& rng) {
    return randomBytes(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), rng);
}

class Rectify : public ::testing::Test {
  protected:
    void TearDown() override { resetFrameState(); }
};

struct FrameSize {
    int width;
    int height;
};

std::string sizeName(const ::testing::TestParamInfo<FrameSize>& info) {
    return "W" + std::to_string(info.param.width) + "xH" + std::to_string(info.param.height);
}

class RectifySizes : public Rectify, public ::testing::WithParamInterface<FrameSize> {};

TEST_P(RectifySizes, IdentityReproducesTheWholeFrameIncludingLastRowAndColumn) {
    const auto [width, height] = GetParam();
    std::mt19937 rng(static_cast<unsigned>(width * 31 + height));
    const Bytes grey = randomFrame(width, height, rng);
    EXPECT_EQ(warp(grey, width, height, kIdentity), grey);
}

TEST_P(RectifySizes, MatchesThePerPixelReferenceOnRandomPerspectives) {
    const auto [width, height] = GetParam();
    std::mt19937 rng(static_cast<unsigned>(width * 7919 + height));
    for (int round = 0; round < 25; ++round) {
        const Bytes grey = randomFrame(width, height, rng);
        const Homography h = randomPerspective(width, height, rng);
        ASSERT_EQ(warp(grey, width, height, h), referenceWarp(grey.data(), width, height, h))
            << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, RectifySizes,
                         ::testing::Values(FrameSize{1, 1}, FrameSize{1, 7}, FrameSize{9, 1},
                                           FrameSize{2, 3}, FrameSize{3, 5}, FrameSize{7, 2},
                                           FrameSize{13, 11}, FrameSize{30, 17}, FrameSize{37, 29},
                                           FrameSize{101, 77}),
                         sizeName);

// Columns alternate between two grey levels; a shift of half a pixel to the right
// averages each pixel with its right-hand neighbour, truncating.
struct HalfShiftCase {
    const char* name;
    unsigned char left;
    unsigned char right;
    unsigned char mean;
};

class HalfPixelShift : public Rectify, public ::testing::WithParamInterface<HalfShiftCase> {};

TEST_P(HalfPixelShift, TruncatesTheMeanOfNeighbours) {
    const HalfShiftCase& c = GetParam();
    const int width = 6;
    const int height = 4;
    Bytes grey(24);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            grey[at(width, x, y)] = x % 2 == 0 ? c.left : c.right;
        }
    }
    const Bytes out = warp(grey, width, height, translation(0.5, 0));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width - 1; ++x) {
            EXPECT_EQ(out[at(width, x, y)], c.mean) << "x " << x << " y " << y;
        }
        // The last column has no right-hand neighbour: it keeps its own level.
        EXPECT_EQ(out[at(width, width - 1, y)], grey[at(width, width - 1, y)]) << "y " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, HalfPixelShift,
                         ::testing::Values(HalfShiftCase{"TenAndElevenGiveTen", 10, 11, 10},
                                           HalfShiftCase{"TenAndTwelveGiveEleven", 10, 12, 11}),
                         [](const ::testing::TestParamInfo<HalfShiftCase>& row) {
                             return std::string(row.param.name);
                         });

TEST_F(Rectify, HalfPixelShiftLeftBlanksTheFirstColumnBecauseFloorIsMinusOne) {
    const int width = 9;
    const int height = 5;
    std::mt19937 rng(4);
    const Bytes grey = randomFrame(width, height, rng);
    const Bytes out = warp(grey, width, height, translation(-0.5, 0));
    for (int y = 0; y < height; ++y) {
        EXPECT_EQ(out[at(width, 0, y)], 0) << "y " << y;
        for (int x = 1; x < width; ++x) {
            const int mean = (grey[at(width, x - 1, y)] + grey[at(width, x, y)]) / 2;
            EXPECT_EQ(out[at(width, x, y)], mean) << "x " << x << " y " << y;
        }
    }
}

TEST_F(Rectify, LastRowAndColumnBlendWithThemselves) {
    // Shifted by half a pixel both ways, the corner pixel has no neighbour but itself, and
    // the rest of the last column blends only with the pixel below.
    const Bytes grey = {0, 0, 10,  //
                        0, 0, 21,  //
                        0, 0, 40};
    const Bytes out = warp(grey, 3, 3, translation(0.5, 0.5));
    EXPECT_EQ(out[at(3, 2, 0)], 15);
    EXPECT_EQ(out[at(3, 2, 1)], 30);
    EXPECT_EQ(out[at(3, 2, 2)], 40);
}

struct BlankCase {
    const char* name;
    Homography h;
};

class BlanksWholeFrame : public Rectify, public ::testing::WithParamInterface<BlankCase> {};

TEST_P(BlanksWholeFrame, EveryOutputByteIsZero) {
    const int width = 16;
    const int height = 12;
    std::mt19937 rng(8);
    const Bytes grey = randomFrame(width, height, rng);
    EXPECT_EQ(warp(grey, width, height, GetParam().h), Bytes(grey.size(), 0));
}

INSTANTIATE_TEST_SUITE_P(
    Homographies, BlanksWholeFrame,
    ::testing::Values(BlankCase{"ZeroThirdRow", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 0}}}},
                      BlankCase{"AllZero", {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}},
                      BlankCase{"TranslationByWidth", translation(16, 0)},
                      BlankCase{"TranslationByHeight", translation(0, 12)},
                      BlankCase{"TranslationByMinusWidth", translation(-16, 0)},
                      BlankCase{"TranslationByMinusHeight", translation(0, -12.0001)},
                      BlankCase{"BeyondIntRange", translation(1e12, -1e12)},
                      BlankCase{"HugeScale", {{{1e300, 0, 1e300}, {0, 1e300, 1e300}, {0, 0, 1}}}},
                      BlankCase{"NotANumber", {{{1, 0, NAN}, {0, 1, 0}, {0, 0, 1}}}},
                      BlankCase{"Infinite", {{{1, 0, INFINITY}, {0, 1, 0}, {0, 0, 1}}}},
                      BlankCase{"NegativeW", {{{1, 0, 1}, {0, 1, 1}, {0, 0, -1}}}}),
    [](const ::testing::TestParamInfo<BlankCase>& row) { return std::string(row.param.name); });

TEST_F(Rectify, EveryOutputByteIsRewrittenOnEachCall) {
    const int width = 23;
    const int height = 19;
    std::mt19937 rng(21);
    const Bytes grey = randomFrame(width, height, rng);
    const Homography h = randomPerspective(width, height, rng);
    const Bytes expected = referenceWarp(grey.data(), width, height, h);
    EXPECT_EQ(warp(grey, width, height, h, 0x00), expected);
    EXPECT_EQ(warp(grey, width, height, h, 0xFF), expected);
}

TEST_F(Rectify, ProjectPointDividesByW) {
    const Homography h = {{{2, 0, 1}, {0, 3, -2}, {0, 0, 2}}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            homographyTable[r][c] = h[r][c];
        }
    }
    const SourcePoint p = projectPoint(4, 5);
    EXPECT_EQ(p.u, 4.5);
    EXPECT_EQ(p.v, 6.5);

    homographyTable[2][2] = 0.0;
    EXPECT_FALSE(std::isfinite(projectPoint(0, 0).u));
    EXPECT_FALSE(std::isfinite(projectPoint(3, 0).u));
}

TEST_F(Rectify, EmptyFrameSizeWritesNothing) {
    Bytes out(4, 0x77);
    unsigned char* output = out.data();
    const Bytes grey(4, 9);
    for (const auto [width, height] : {FrameSize{0, 0}, FrameSize{-2, 2}, FrameSize{2, -2}}) {
        frameWidth = width;
        frameHeight = height;
        rectifyFrame(grey.data(), output);
    }
    EXPECT_EQ(out, Bytes(4, 0x77));
}

}  // namespace
