// BMP files written: the file header, the bitmapInfo block and the pixel rows, stored byte
// for byte as the image holds them. Reading is bmpDecode's, for every kind of BMP.

#include "image/Image.h"
#include "image/atomicFile.h"

bool Image::writeBmp(const char* path, const unsigned char* source, int newWidth, int newHeight,
                     int newBitCount) {
    if (source != nullptr)
        setData(source, newWidth, newHeight, newBitCount);
    if (pixels == nullptr || path == nullptr)
        return false;

    return writeFileAtomically(path, [this](int fd) {
        return writeAll(fd, &fileHeader, sizeof fileHeader) &&
               writeAll(fd, bitmapInfo.get(), bitmapInfoBytes) &&
               writeAll(fd, pixels.get(),
                        static_cast<std::size_t>(width4bytes) * std::size_t(height));
    });
}
