// FrameDrawing painted into a QImage and read back pixel by pixel against the whole-pixel
// mapping: target pixel (tx, ty) of a w × h rectangle shows frame pixel
// (tx × width / w, ty × height / h), frame row 0 being the top line.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>

#include "image/frameDrawing.h"
#include "tests/support/naiveReference.h"

namespace {

const QRgb background = qRgb(255, 0, 255);

QImage drawn(FrameDrawing& drawing, const unsigned char* frame, int width, int height, int bits,
             int w, int h) {
    QImage target(std::max(w, 4) + 3, std::max(h, 4) + 4, QImage::Format_RGB32);
    target.fill(background);
    QPainter painter(&target);
    drawing.draw(painter, frame, width, height, bits, 1, 2, w, h);
    return target;
}

// One drawing through frames of both depths and many widths (several times wider than the
// view for the fast grey rows) and rectangles, so the kept surface follows every change.
TEST(FrameDrawing, WholePixelMappingOfEachDepthAndNothingToDraw) {
    std::mt19937 rng(4);
    FrameDrawing drawing;
    const int frames[][2] = {{1, 1}, {5, 2}, {9, 5}, {640, 480}, {837, 5}, {1919, 4}, {65, 9}};
    // The last rectangle as wide as the first, and depths 8, 24, 8: a new width alone and a
    // new depth alone must each renew the kept column offsets.
    const int rectangles[][2] = {{23, 4}, {1, 1}, {7, 11}, {209, 280}, {61, 2}, {120, 3}, {23, 9}};
    for (const auto& [w, h] : frames)
        for (int bits : {8, 24, 8}) {
            const Bytes frame = randomBytes(std::size_t(w * h * bits / 8), rng);
            for (const auto& [rw, rh] : rectangles) {
                const QImage target = drawn(drawing, frame.data(), w, h, bits, rw, rh);
                for (int ty = 0; ty < target.height(); ++ty)
                    for (int tx = 0; tx < target.width(); ++tx) {
                        const int x = tx - 1, y = ty - 2;  // the canvas: at least 7 x 8
                        const unsigned char* px =
                            &frame[std::size_t((y * h / rh) * w + x * w / rw) *
                                   std::size_t(bits / 8)];
                        const QRgb expected = !(x >= 0 && x < rw && y >= 0 && y < rh) ? background
                                              : bits == 8 ? qRgb(px[0], px[0], px[0])
                                                          : qRgb(px[2], px[1], px[0]);
                        ASSERT_EQ(target.pixel(tx, ty), expected)
                            << w << "x" << h << "x" << bits << " into " << rw << "x" << rh << " at "
                            << tx << "," << ty;
                    }
            }
        }
    QImage untouched(7, 8, QImage::Format_RGB32);
    untouched.fill(background);
    const Bytes four(16 * 3, 9);
    for (const auto& [frame, width, bits, w] :
         {std::tuple{four.data(), 4, 16, 4}, {four.data(), 0, 8, 4}, {four.data(), 4, 8, 0},
          {static_cast<const unsigned char*>(nullptr), 4, 8, 4}})
        EXPECT_EQ(drawn(drawing, frame, width, 4, bits, w, 4), untouched)
            << width << "x4x" << bits << " into " << w;
}

}  // namespace
