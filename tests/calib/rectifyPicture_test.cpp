// The horizon cut of a whole picture: exactly the pixels whose w has not the kept sign are 0.
// Each view sends every pixel to one source point, (10, 7), on both sides of its horizon (X
// and Y are multiples of w), so a pixel cut or kept wrongly next to the horizon shows.
#include <gtest/gtest.h>

#include "calib/rectifyPicture.h"
#include "tests/support/naiveReference.h"

namespace {

TEST(RectifyPicture, CutsEveryPixelBeyondTheHorizonAndNoOther) {
    std::mt19937 rng(3);
    Bytes source = randomBytes(64 * 48, rng);
    source[7 * 64 + 10] = 200;  // never 0, as the cut pixels are
    // w = x − 20.5 + y / 2, its negative, w = y − 3.5 (constant along each row), and
    // w = x / 8 + y − 6.5, whose rows up to 1 and from 7 lie wholly on one side.
    const double ws[][3] = {{1, 0.5, -20.5}, {-1, -0.5, 20.5}, {0, 1, -3.5}, {0.125, 1, -6.5}};
    for (const auto& w : ws)
        for (const int horizon : {1, -1}) {
            const HomographyTable h = {{10 * w[0], 10 * w[1], 10 * w[2]},
                                       {7 * w[0], 7 * w[1], 7 * w[2]},
                                       {w[0], w[1], w[2]}};
            Bytes out(40 * 9, 0xA5);
            rectifyPicture(h, {}, source.data(), 64, 48, out.data(), 40, 9, 1, horizon);
            int cut = 0;
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 40; ++x) {
                    const bool beyond = !(horizon * (w[0] * x + w[1] * y + w[2]) > 0);
                    cut += beyond;
                    EXPECT_EQ(out[y * 40 + x],
                              beyond ? 0 : referenceWarpPixel(source.data(), 64, 48, 64, h, x, y))
                        << "w " << w[0] << " horizon " << horizon << " at " << x << "," << y;
                }
            EXPECT_GT(cut, 0);
            EXPECT_LT(cut, 40 * 9);
        }
}

}  // namespace
