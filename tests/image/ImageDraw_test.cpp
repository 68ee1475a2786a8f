// Image::draw painted into a QImage and read back pixel by pixel against the whole-pixel
// mapping: target pixel (tx, ty) of a w × h rectangle shows picture pixel
// (tx × width / w, ty × height / h), picture row 0 being the top line.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "image/Image.h"
#include "tests/support/bmpFiles.h"
#include "tests/support/naiveReference.h"

namespace {

const QRgb background = qRgb(255, 0, 255);

QImage drawn(Image& image, int w, int h, int canvasW, int canvasH) {
    QImage target(canvasW, canvasH, QImage::Format_RGB32);
    target.fill(background);
    QPainter painter(&target);
    image.draw(painter, 1, 2, w, h);
    return target;
}

// One image through pictures of both depths and many widths (several times wider than the
// view for the fast grey rows) and rectangles, so the kept surface follows every change.
TEST(ImageDraw, WholePixelMappingPaletteRowOrderAndNothingToDraw) {
    std::mt19937 rng(4);
    Image image;
    const int pictures[][2] = {{1, 1}, {5, 2}, {9, 5}, {640, 480}, {837, 5}, {1919, 4}, {65, 9}};
    // The last rectangle as wide as the first, and depths 8, 24, 8: a new width alone and a
    // new depth alone must each renew the kept column offsets.
    const int rectangles[][2] = {{23, 4}, {1, 1}, {7, 11}, {209, 280}, {61, 2}, {23, 9}};
    for (const auto& [w, h] : pictures)
        for (int bits : {8, 24, 8}) {
            const Bytes picture = randomBytes(std::size_t(w * h * bits / 8), rng);
            ASSERT_TRUE(image.setData(picture.data(), w, h, bits));
            for (const auto& [rw, rh] : rectangles) {
                const QImage target = drawn(image, rw, rh, rw + 3, rh + 4);
                for (int ty = 0; ty < target.height(); ++ty)
                    for (int tx = 0; tx < target.width(); ++tx) {
                        const int x = tx - 1, y = ty - 2;
                        const unsigned char* px =
                            &picture[std::size_t((y * h / rh) * w + x * w / rw) *
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
    // 8-bit pictures go through the palette in bitmapInfo; a top-down file shows right side up.
    ASSERT_TRUE(image.create(2, 1, 8));
    unsigned char* entry7 = image.bitmapInfo.get() + 40 + 4 * 7;
    entry7[0] = 10, entry7[1] = 20, entry7[2] = 200;
    const Bytes levels = {7, 8};
    ASSERT_TRUE(image.setData(levels.data(), 2, 1, 8));
    EXPECT_EQ(drawn(image, 2, 1, 3, 3).pixel(1, 2), qRgb(200, 20, 10));
    EXPECT_EQ(drawn(image, 2, 1, 3, 3).pixel(2, 2), qRgb(8, 8, 8));

    TempDir dir;
    writeFile(dir.file("td.bmp"), buildBmp(1, -2, 24, {}, {1, 2, 3, 0, 4, 5, 6, 0}));
    ASSERT_TRUE(image.readBmp(dir.file("td.bmp").c_str()));
    EXPECT_EQ(drawn(image, 1, 2, 2, 4).pixel(1, 2), qRgb(3, 2, 1));
    EXPECT_EQ(drawn(image, 1, 2, 2, 4).pixel(1, 3), qRgb(6, 5, 4));

    QImage untouched(6, 6, QImage::Format_RGB32);
    untouched.fill(background);
    Image empty, fourBit;
    ASSERT_TRUE(fourBit.create(4, 4, 4));
    for (const auto& [picture, w, h] :
         {std::tuple{&image, 0, 5}, {&image, 5, -1}, {&empty, 4, 4}, {&fourBit, 4, 4}})
        EXPECT_EQ(drawn(*picture, w, h, 6, 6), untouched) << w << "x" << h;
}

}  // namespace
