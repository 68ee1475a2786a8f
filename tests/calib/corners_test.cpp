// Sub-pixel corners and the chessboard finder against boards rendered from their own
// geometry (tests/support/renderChart.h), blur σ 0.8 px and noise σ 2 grey levels.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "calib/chessboard.h"
#include "tests/support/renderChart.h"

namespace {

chart::Frame board(double tilt, double roll, unsigned seed, int cols = 9, int rows = 6,
                   std::vector<chart::Occluder> occluders = {}) {
    chart::Scene s;
    s.cols = cols, s.rows = rows, s.seed = seed, s.occluders = std::move(occluders);
    s.planeToFrame =
        chart::tiltedView(1280, 720, tilt, 900, 12, {(cols - 1) / 2.0, (rows - 1) / 2.0}, roll);
    return chart::render(s);
}
ConstPlane planeOf(const chart::Frame& f) {
    return {f.grey.data(), 1280, 720, 1280};
}

// Catches a half-pixel convention error or any asymmetric window (bias), a wrong sign or
// scale in the solve (error), and a snap that stops short of the corner from 3 px off.
class Corners : public testing::TestWithParam<std::tuple<int, unsigned>> {};

TEST_P(Corners, RefinedSnappedAndNothingElseAwayFromXCorners) {
    const auto [tilt, seed] = GetParam();
    const chart::Frame f = board(tilt, 7.0 * seed, seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> off(-3, 3);
    double sx = 0, sy = 0, ss = 0, snapped = 0;
    for (const chart::Xy& c : f.corners) {
        const auto p = refineCorner(planeOf(f), {std::round(c.x), std::round(c.y)});
        const auto q = snapToCorner(planeOf(f),
                                    {std::round(c.x) + off(random), std::round(c.y) + off(random)});
        ASSERT_TRUE(p && q) << c.x << "," << c.y << " " << bool(p);
        sx += p->x - c.x, sy += p->y - c.y;
        ss += std::pow(p->x - c.x, 2) + std::pow(p->y - c.y, 2);
        snapped += std::pow(q->x - c.x, 2) + std::pow(q->y - c.y, 2);
    }
    const double n = static_cast<double>(f.corners.size());
    EXPECT_LE(std::sqrt(ss / n), 0.05);
    EXPECT_LE(std::sqrt(snapped / n), 0.05);
    EXPECT_LE(std::abs(sx / n), 0.01);
    EXPECT_LE(std::abs(sy / n), 0.01);
    // Catches a snap that takes a flat area or a straight edge for a corner (the white margin,
    // the board's outer edge midway between two corners), and an L-corner (the margin's outer
    // corners) snapped short of the truth or not at all, and a refinement that takes any of
    // them for an X-corner; in plane units, on an unturned board.
    const chart::Frame upright = board(tilt, 0, seed);
    const chart::Homography h = chart::tiltedView(1280, 720, tilt, 900, 12, {4, 2.5});
    const chart::Xy places[] = {{-1.25, 2.5}, {-1, 2.5},  {-1.5, -1.5},
                                {9.5, -1.5},  {9.5, 6.5}, {-1.5, 6.5}};
    for (const chart::Xy plane : places) {
        const chart::Xy t = chart::apply(h, plane);
        const auto p = snapToCorner(planeOf(upright), {std::round(t.x) + 2, std::round(t.y) - 2});
        EXPECT_EQ(bool(p), plane.x != -1.25 && plane.x != -1) << plane.x << "," << plane.y;
        EXPECT_LT(p ? std::hypot(p->x - t.x, p->y - t.y) : 0, 0.25) << plane.x << "," << plane.y;
        EXPECT_FALSE(refineCorner(planeOf(upright), {std::round(t.x), std::round(t.y)})) << plane.x;
    }
}

INSTANTIATE_TEST_SUITE_P(Tilts, Corners,
                         testing::Combine(testing::Values(0, 30, 50), testing::Values(1u, 2u)),
                         [](const auto& name) {
                             return "tilt" + std::to_string(std::get<0>(name.param)) + "_seed" +
                                    std::to_string(std::get<1>(name.param));
                         });

// The order rule: truth index (i, j) expected at each output place, for a board seen
// upright, upside down, turned a quarter (rows then run down the frame), and a square board
// turned a quarter (rows run along the side nearer +x). Catches a flipped or transposed order,
// and corners left as first found, without the last refinement sized to the squares.
TEST(Chessboard, FoundInOrder) {
    // Truth (i, j) of place (r, c) from (c, r): swapped, then mirrored in i, in j.
    for (const auto& [roll, cols, rows, swap, flipI, flipJ] :
         {std::tuple{3.0, 9, 6, false, false, false},
          {183.0, 9, 6, false, true, true},
          {93.0, 9, 6, false, false, true},
          {93.0, 6, 6, true, false, true}}) {
        const chart::Frame f = board(20, roll, 4, cols, rows);
        const std::vector<PointD> found = findChessboard(planeOf(f), cols, rows);
        ASSERT_EQ(found.size(), f.corners.size()) << roll;
        double squares = 0;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                const int i = (swap ? r : c), j = (swap ? c : r);
                const chart::Xy t =
                    f.corners[(flipJ ? rows - 1 - j : j) * cols + (flipI ? cols - 1 - i : i)];
                const PointD p = found[r * cols + c];
                EXPECT_LT(std::hypot(p.x - t.x, p.y - t.y), 0.15) << roll << ": " << r << "," << c;
                squares += std::pow(p.x - t.x, 2) + std::pow(p.y - t.y, 2);
            }
        EXPECT_LE(std::sqrt(squares / double(found.size())), 0.04) << roll;
    }
}

// Catches growth that gives up at a damaged border row, and one that accepts a grid of the
// wrong size, texture or with a hole: the last row's outer squares covered 0.7 squares deep
// over four squares, in several greys; no board, noise, other counts, an inner corner covered.
TEST(Chessboard, FoundOccludedNotFoundWithout) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        const double grey = 60.0 * seed;
        const chart::Frame f = board(10.0 * seed, 10, seed, 9, 6,
                                     {{{{1.5, 5.3}, {5.5, 5.3}, {5.5, 7}, {1.5, 7}}, grey}});
        EXPECT_EQ(findChessboard(planeOf(f), 9, 6).size(), 54u) << seed;
    }
    std::vector<unsigned char> noise(1280 * 720, 128);
    EXPECT_TRUE(findChessboard({noise.data(), 1280, 720, 1280}, 9, 6).empty());
    std::generate(noise.begin(), noise.end(), std::mt19937(5));
    EXPECT_TRUE(findChessboard({noise.data(), 1280, 720, 1280}, 9, 6).empty());
    EXPECT_TRUE(findChessboard(planeOf(board(20, 3, 1)), 9, 5).empty());
    EXPECT_TRUE(findChessboard(planeOf(board(20, 3, 1)), 10, 6).empty());
    const chart::Occluder hole{{{3.6, 2.6}, {4.4, 2.6}, {4.4, 3.4}, {3.6, 3.4}}, 128};
    EXPECT_TRUE(findChessboard(planeOf(board(20, 3, 1, 9, 6, {hole})), 9, 6).empty());
}

}  // namespace
