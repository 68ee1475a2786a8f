// Image::draw painted into a QImage and read back pixel by pixel against a naive
// whole-pixel mapping: target pixel (tx, ty) of a w × h rectangle shows picture pixel
// (tx × width / w, ty × height / h), picture row 0 being the top line.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cstring>

#include "bmpSupport.h"
#include "image/Image.h"

namespace {

const QRgb background = qRgb(255, 0, 255);

// The colour of picture pixel (px, py) of a packed, top-line-first grey or BGR picture.
QRgb pictureColour(const Bytes& picture, int width, int bitCount, int px, int py) {
    const std::size_t bytes = static_cast<std::size_t>(bitCount / 8);
    const unsigned char* p = picture.data() + (static_cast<std::size_t>(py) * width + px) * bytes;
    return bitCount == 8 ? qRgb(p[0], p[0], p[0]) : qRgb(p[2], p[1], p[0]);
}

QImage canvas(int w, int h) {
    QImage target(w, h, QImage::Format_RGB32);
    target.fill(background);
    return target;
}

void drawInto(QImage& target, Image& image, int x, int y, int w, int h) {
    QPainter painter(&target);
    image.draw(painter, x, y, w, h);
}

// Every pixel of the canvas: inside the rectangle the mapped picture pixel, outside
// untouched. Reports the first mismatch only.
void expectMapped(const QImage& target, const Bytes& picture, int width, int height, int bitCount,
                  int x, int y, int w, int h) {
    for (int ty = 0; ty < target.height(); ++ty) {
        for (int tx = 0; tx < target.width(); ++tx) {
            const bool inside = tx >= x && tx < x + w && ty >= y && ty < y + h;
            const QRgb expected = inside
                                      ? pictureColour(picture, width, bitCount,
                                                      (tx - x) * width / w, (ty - y) * height / h)
                                      : background;
            ASSERT_EQ(target.pixel(tx, ty), expected)
                << "picture " << width << "x" << height << "x" << bitCount << " drawn at " << x
                << "," << y << " size " << w << "x" << h << ", pixel " << tx << "," << ty;
        }
    }
}

TEST(ImageDraw, WholePixelMappingOverSizesAndDepths) {
    for (int bits : {8, 24}) {
        for (int width = 1; width <= 9; ++width) {
            for (int height : {1, 2, 5}) {
                const Bytes picture =
                    randomBytes(static_cast<std::size_t>(width * height * bits / 8),
                                static_cast<unsigned>(width * 7 + height));
                Image image;
                ASSERT_TRUE(image.setData(picture.data(), width, height, bits));
                for (int w : {1, 3, 7, 10, 23}) {
                    for (int h : {1, 4, 11}) {
                        QImage target = canvas(w + 5, h + 4);
                        drawInto(target, image, 2, 3, w, h);
                        expectMapped(target, picture, width, height, bits, 2, 3, w, h);
                    }
                }
            }
        }
    }
}

// A camera frame into a view of another shape, as the painting does every frame.
TEST(ImageDraw, CameraFrameIntoAView) {
    const Bytes frame = randomBytes(64 * 48, 11);
    Image image;
    ASSERT_TRUE(image.setData(frame.data(), 64, 48, 8));
    QImage target = canvas(20, 30);
    drawInto(target, image, 0, 0, 20, 30);
    expectMapped(target, frame, 64, 48, 8, 0, 0, 20, 30);
    EXPECT_EQ(target.pixel(19, 29), pictureColour(frame, 64, 8, 60, 46));
}

// Grey pictures from a little wider than the view to many times wider, as camera frames
// into the two views: the fast row paths (four columns per shuffle, four per store) and
// their ends at the right edge of the picture show the same pixels as the plain mapping.
TEST(ImageDraw, GreyFramesOfManyWidthsIntoViews) {
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{213, 7}, std::pair{837, 5},
                                        std::pair{1046, 3}, std::pair{1919, 4}, std::pair{65, 9}}) {
        const Bytes frame = randomBytes(static_cast<std::size_t>(width * height),
                                        static_cast<unsigned>(width + height));
        Image image;
        ASSERT_TRUE(image.setData(frame.data(), width, height, 8));
        for (const auto& [w, h] :
             {std::pair{209, 280}, std::pair{203, 5}, std::pair{4, 3}, std::pair{61, 2}}) {
            QImage target = canvas(w + 3, h + 2);
            drawInto(target, image, 1, 2, w, h);
            expectMapped(target, frame, width, height, 8, 1, 2, w, h);
        }
    }
}

// The surface and column table kept between frames follow changes of the rectangle,
// the picture size and the depth.
TEST(ImageDraw, KeptSurfaceFollowsRectangleAndPictureChanges) {
    const Bytes grey = randomBytes(6 * 4, 21);
    const Bytes colour = randomBytes(5 * 3 * 3, 22);
    const Bytes wide = randomBytes(11 * 4, 23);
    Image image;
    ASSERT_TRUE(image.setData(grey.data(), 6, 4, 8));
    QImage a = canvas(20, 20);
    drawInto(a, image, 0, 0, 13, 9);
    expectMapped(a, grey, 6, 4, 8, 0, 0, 13, 9);
    QImage b = canvas(20, 20);
    drawInto(b, image, 1, 1, 5, 17);
    expectMapped(b, grey, 6, 4, 8, 1, 1, 5, 17);

    ASSERT_TRUE(image.setData(colour.data(), 5, 3, 24));
    QImage c = canvas(20, 20);
    drawInto(c, image, 1, 1, 5, 17);
    expectMapped(c, colour, 5, 3, 24, 1, 1, 5, 17);

    ASSERT_TRUE(image.setData(wide.data(), 11, 4, 8));
    QImage d = canvas(20, 20);
    drawInto(d, image, 1, 1, 5, 17);
    expectMapped(d, wide, 11, 4, 8, 1, 1, 5, 17);
}

// 8-bit pictures are shown through the palette held in bitmapInfo, not as raw grey.
TEST(ImageDraw, EightBitPicturesGoThroughThePalette) {
    Image image;
    ASSERT_TRUE(image.create(2, 1, 8));
    unsigned char* entry7 = image.bitmapInfo.get() + 40 + 4 * 7;
    entry7[0] = 10;   // blue
    entry7[1] = 20;   // green
    entry7[2] = 200;  // red
    const Bytes picture = {7, 8};
    ASSERT_TRUE(image.setData(picture.data(), 2, 1, 8));
    QImage target = canvas(2, 1);
    drawInto(target, image, 0, 0, 2, 1);
    EXPECT_EQ(target.pixel(0, 0), qRgb(200, 20, 10));
    EXPECT_EQ(target.pixel(1, 0), qRgb(8, 8, 8));
}

// A top-down file's block says so, and the picture shows right side up.
TEST(ImageDraw, TopDownFileShowsItsFirstRowAtTheTop) {
    const Bytes picture = randomBytes(4 * 3 * 3, 31);
    TempDir dir;
    writeFile(dir.file("td.bmp"), buildBmp({4, -3, 24, 40, 0, fileRows(picture, 4, 3, 24, true)}));
    Image image;
    ASSERT_TRUE(image.readBmp(dir.file("td.bmp").c_str()));
    QImage target = canvas(8, 9);
    drawInto(target, image, 0, 0, 8, 9);
    expectMapped(target, picture, 4, 3, 24, 0, 0, 8, 9);
}

TEST(ImageDraw, NothingIsDrawnWithoutAPictureOrArea) {
    QImage target = canvas(6, 6);
    Image empty;
    drawInto(target, empty, 0, 0, 6, 6);
    Image image;
    const Bytes picture(4, 100);
    ASSERT_TRUE(image.setData(picture.data(), 2, 2, 8));
    drawInto(target, image, 0, 0, 0, 6);
    drawInto(target, image, 0, 0, 6, -1);
    Image fourBit;
    ASSERT_TRUE(fourBit.create(4, 4, 4));
    drawInto(target, fourBit, 0, 0, 6, 6);
    EXPECT_EQ(target, canvas(6, 6));
}

}  // namespace
