// Image's drawing adapter, the one piece of image/ that needs Qt.
//
// The picture is scaled by whole pixels into an off-screen surface of the target
// rectangle's size, which is then copied to the target unscaled. Target pixel (tx, ty)
// shows picture pixel (tx × width / w, ty × height / h), integer division, so nothing is
// blended and the mapping does not depend on the painter's own sampling.

#include <QImage>
#include <QPainter>

#include <array>
#include <cstring>
#include <vector>

#include "image/Image.h"

// Kept between frames; made again only when the rectangle or the picture geometry changes.
struct DrawSurface {
    QImage scaled;                           // w × h, opaque 32-bit
    std::vector<std::size_t> columnOffsets;  // per target column: byte offset in a buffer row
    int pictureWidth = 0;
    int pictureBitCount = 0;
};

namespace {

void destroySurface(DrawSurface* surface) {
    delete surface;
}

// Colour of each 8-bit value from the palette that follows the info header in the block.
// Values without an entry (a short palette) show black.
std::array<QRgb, 256> paletteColours(const unsigned char* block, std::size_t blockBytes) {
    BitmapInfoHeader info{};
    std::memcpy(&info, block, sizeof info);
    std::array<QRgb, 256> colours;
    colours.fill(qRgb(0, 0, 0));
    const std::size_t start = info.size < sizeof info ? sizeof info : info.size;
    std::size_t count = start < blockBytes ? (blockBytes - start) / 4 : 0;
    if (info.clrUsed != 0 && info.clrUsed < count)
        count = info.clrUsed;
    if (count > colours.size())
        count = colours.size();
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* entry = block + start + 4 * i;  // blue, green, red, 0
        colours[i] = qRgb(entry[2], entry[1], entry[0]);
    }
    return colours;
}

}  // namespace

void Image::draw(QPainter& target, int x, int y, int w, int h) {
    if (pixels == nullptr || w <= 0 || h <= 0 || (bitCount != 8 && bitCount != 24))
        return;
    if (surface == nullptr) {
        surface = std::unique_ptr<DrawSurface, DrawSurfaceDeleter>(
            new DrawSurface, DrawSurfaceDeleter{&destroySurface});
    }
    DrawSurface& s = *surface;
    if (s.scaled.width() != w || s.scaled.height() != h) {
        s.scaled = QImage(w, h, QImage::Format_RGB32);
    }
    if (s.pictureWidth != width || s.pictureBitCount != bitCount ||
        s.columnOffsets.size() != static_cast<std::size_t>(w)) {
        const std::size_t pixelBytes = static_cast<std::size_t>(bitCount / 8);
        s.columnOffsets.resize(static_cast<std::size_t>(w));
        for (int tx = 0; tx < w; ++tx) {
            const auto column = static_cast<std::size_t>(std::int64_t{tx} * width / w);
            s.columnOffsets[static_cast<std::size_t>(tx)] = column * pixelBytes;
        }
        s.pictureWidth = width;
        s.pictureBitCount = bitCount;
    }

    std::array<QRgb, 256> colours{};
    if (bitCount == 8)
        colours = paletteColours(bitmapInfo.get(), bitmapInfoBytes);
    // DIB rows are bottom line first unless the info header's height is negative.
    const bool topDown = infoHeader().height < 0;
    const std::size_t* offsets = s.columnOffsets.data();
    auto* out = reinterpret_cast<QRgb*>(s.scaled.bits());
    const unsigned char* previousRow = nullptr;
    for (int ty = 0; ty < h; ++ty, out += w) {
        const int row = static_cast<int>(std::int64_t{ty} * height / h);  // 0 = top line
        const int bufferRow = topDown ? row : height - 1 - row;
        const unsigned char* in =
            pixels.get() + static_cast<std::size_t>(bufferRow) * std::size_t(width4bytes);
        if (in == previousRow) {  // enlarged: the line above shows the same picture row
            std::memcpy(out, out - w, static_cast<std::size_t>(w) * sizeof(QRgb));
            continue;
        }
        previousRow = in;
        if (bitCount == 8) {
            for (int tx = 0; tx < w; ++tx)
                out[tx] = colours[in[offsets[tx]]];
        } else {
            for (int tx = 0; tx < w; ++tx) {
                const unsigned char* p = in + offsets[tx];  // blue, green, red
                out[tx] = qRgb(p[2], p[1], p[0]);
            }
        }
    }
    target.drawImage(QPoint(x, y), s.scaled);
}
