// Arbitrary bytes as a BMP file, then what Load BMP does with a file that loads: a loaded
// image is consistent with its own geometry, and its packed copy goes back into an image
// unchanged. The sanitizers watch every read.
#include <cstring>

#include "fuzz/fuzzCheck.h"
#include "image/Image.h"

namespace {

// Files declaring far more rows than they hold load as megabytes of zeros, at a cost of page
// faults that would take most of a run; the unit tests load such files, so they are skipped
// here unless the limits refuse them, which costs nothing.
bool tooCostly(const std::uint8_t* data, std::size_t size) {
    std::int32_t width = 0, height = 0;
    std::uint16_t bits = 0;
    if (size < 30)
        return false;
    std::memcpy(&width, data + 18, 4);
    std::memcpy(&height, data + 22, 4);
    std::memcpy(&bits, data + 28, 2);
    const std::int64_t stride = (std::int64_t{width} * bits + 31) / 32 * 4;
    if (stride <= 0 || stride > Image::maxPixelBytes)
        return false;  // refused anyway
    const std::int64_t declared = stride * std::abs(std::int64_t{height});
    return declared > (1 << 18) && declared <= Image::maxPixelBytes &&
           declared - std::int64_t(size) <= Image::maxMissingPixelBytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (tooCostly(data, size))
        return -1;
    Image image;
    if (!image.readBmp(inputFile(data, size)))
        return 0;
    const auto rowBytes = std::size_t(image.rowBytes), stride = std::size_t(image.width4bytes);
    FUZZ_CHECK(image.width > 0 && image.height > 0 && image.bitCount > 0 && rowBytes > 0);
    FUZZ_CHECK(stride % 4 == 0 && stride >= rowBytes &&
               std::int64_t(stride) * image.height <= Image::maxPixelBytes);
    FUZZ_CHECK(image.pixels && image.bitmapInfo && image.bitmapInfoBytes >= 40 &&
               image.bitmapInfoBytes == image.fileHeader.offBits - 14u);
    unsigned char* packed = nullptr;  // rowBytes × height, last stored row first
    image.getData(packed);
    for (int r = 0; r < image.height; ++r)
        FUZZ_CHECK(std::memcmp(packed + r * rowBytes,
                               &image.pixels[(image.height - 1 - r) * stride], rowBytes) == 0);
    if (image.bitCount == 8 || image.bitCount == 24) {  // the depths Load BMP takes
        Image copy;
        unsigned char* again = nullptr;
        FUZZ_CHECK(copy.setData(packed, image.width, image.height, image.bitCount));
        copy.getData(again);
        FUZZ_CHECK(std::memcmp(again, packed, rowBytes * image.height) == 0);
        delete[] again;
    }
    delete[] packed;
    // Large pictures are checked but not kept, so that mutation stays on small ones.
    return stride * image.height > (1 << 16) ? -1 : 0;
}
