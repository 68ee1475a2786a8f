#include "image/Image.h"

#include <cstdio>
#include <cstring>

Image::Image() = default;

Image::~Image() {
    reset();
}

void Image::reset() {
    width = 0;
    height = 0;
    rowBytes = 0;
    width4bytes = 0;
    bitCount = 0;
    fileHeader = BitmapFileHeader{};
    pixels.reset();
    bitmapInfo.reset();
    bitmapInfoBytes = 0;
}

bool Image::rowGeometry(std::int64_t w, std::int64_t h, std::int64_t bits, int& rowBytesOut,
                        int& width4bytesOut) {
    if (w <= 0 || h <= 0 || bits <= 0 || bits > 0xFFFF)
        return false;
    // Both products stay far below 2^63: w < 2^31, bits < 2^16, and the stride is checked
    // against the limit before it meets h.
    const std::int64_t rowBits = w * bits;
    const std::int64_t stride = (rowBits + 31) / 32 * 4;
    if (stride > maxPixelBytes || stride * h > maxPixelBytes)
        return false;
    rowBytesOut = static_cast<int>(rowBits / 8);
    width4bytesOut = static_cast<int>(stride);
    return true;
}

bool Image::create(int newWidth, int newHeight, int newBitCount) {
    int newRowBytes = 0;
    int newWidth4bytes = 0;
    if (!rowGeometry(newWidth, newHeight, newBitCount, newRowBytes, newWidth4bytes)) {
        return false;
    }
    width = newWidth;
    height = newHeight;
    bitCount = newBitCount;
    rowBytes = newRowBytes;
    width4bytes = newWidth4bytes;

    // Zero-filled, so that a picture stored before any data arrives is plain black.
    const auto pixelBytes = static_cast<std::uint32_t>(width4bytes) * std::uint32_t(height);
    pixels.reset();
    pixels = std::make_unique<unsigned char[]>(pixelBytes);

    const std::uint32_t colours = bitCount <= 8 ? std::uint32_t{1} << bitCount : 0;
    bitmapInfo.reset();
    bitmapInfoBytes = sizeof(BitmapInfoHeader) + 4 * colours;
    bitmapInfo = std::make_unique<unsigned char[]>(bitmapInfoBytes);
    BitmapInfoHeader info{};
    info.size = sizeof info;
    info.width = width;
    info.height = height;  // positive: bottom line first
    info.planes = 1;
    info.bitCount = static_cast<std::uint16_t>(bitCount);
    info.compression = 0;  // uncompressed
    info.sizeImage = pixelBytes;
    info.clrUsed = colours;
    std::memcpy(bitmapInfo.get(), &info, sizeof info);
    // Linear grey ramp: an 8-bit picture shows its byte values as grey levels.
    for (std::uint32_t i = 0; i < colours; ++i) {
        unsigned char* entry = bitmapInfo.get() + sizeof info + 4 * i;
        entry[0] = entry[1] = entry[2] = static_cast<unsigned char>(i);
        entry[3] = 0;
    }

    const std::uint32_t offBits = 54 + 4 * colours;
    fileHeader = BitmapFileHeader{0x4D42, pixelBytes + offBits, 0, 0, offBits};
    return true;
}

bool Image::setData(const unsigned char* source, int newWidth, int newHeight, int newBitCount) {
    if (source == nullptr)
        return false;
    // The block is reused while the geometry holds: every block is made by create(), bottom
    // line first.
    const bool reuse = pixels != nullptr && newWidth == width && newHeight == height &&
                       newBitCount == bitCount;
    if (!reuse) {
        reset();
        if (!create(newWidth, newHeight, newBitCount))
            return false;
    }
    const std::size_t stride = static_cast<std::size_t>(width4bytes);
    const std::size_t bytes = static_cast<std::size_t>(rowBytes);
    for (int r = 0; r < height; ++r) {
        unsigned char* row = pixels.get() + static_cast<std::size_t>(height - 1 - r) * stride;
        std::memcpy(row, source + static_cast<std::size_t>(r) * bytes, bytes);
        std::memset(row + bytes, 0, stride - bytes);
    }
    return true;
}

void Image::getData(unsigned char*& destination) const {
    if (pixels == nullptr)
        return;
    const std::size_t stride = static_cast<std::size_t>(width4bytes);
    const std::size_t bytes = static_cast<std::size_t>(rowBytes);
    auto* packed = new unsigned char[bytes * static_cast<std::size_t>(height)];
    for (int r = 0; r < height; ++r) {
        std::memcpy(packed + static_cast<std::size_t>(r) * bytes,
                    pixels.get() + static_cast<std::size_t>(height - 1 - r) * stride, bytes);
    }
    delete[] destination;
    destination = packed;
}

std::string Image::headerText() const {
    char text[160];
    std::snprintf(text, sizeof text,
                  "width = %d\nheight = %d\nbitCount = %d\nwidth4bytes = %d\nimageSize = %d", width,
                  height, bitCount, width4bytes, width4bytes * height);
    return text;
}
