// Arbitrary bytes as a BMP file, then what Load BMP does with a file that loads: the packed
// copy of getData and the header text. A loaded image must be consistent with its own
// geometry, and its packed copy must go back into an image unchanged.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzzCheck.h"
#include "image/Image.h"

namespace {

// The input lives in an anonymous in-memory file, opened by its path as a user's file is.
struct MemoryFile {
    int fd = ::memfd_create("fuzz_bmp", MFD_CLOEXEC);
    std::string path = "/proc/self/fd/" + std::to_string(fd);

    void replace(const std::uint8_t* data, std::size_t size) const {
        FUZZ_CHECK(fd >= 0 && ::ftruncate(fd, 0) == 0);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            FUZZ_CHECK(n > 0);
            done += static_cast<std::size_t>(n);
        }
    }
};

void checkLoaded(const Image& image) {
    FUZZ_CHECK(image.width > 0 && image.height > 0);
    FUZZ_CHECK(image.bitCount > 0 && image.rowBytes > 0);
    FUZZ_CHECK(image.width4bytes % 4 == 0 && image.width4bytes >= image.rowBytes);
    FUZZ_CHECK(std::int64_t{image.width4bytes} * image.height <= Image::maxPixelBytes);
    FUZZ_CHECK(image.pixels != nullptr && image.bitmapInfo != nullptr);
    FUZZ_CHECK(image.bitmapInfoBytes >= sizeof(BitmapInfoHeader));
    FUZZ_CHECK(image.bitmapInfoBytes == image.fileHeader.offBits - sizeof(BitmapFileHeader));
}

// The pixel block a file declares: stride × |height| from the info header, or 0 when the
// file is too short to say.
std::int64_t declaredPixelBytes(const std::uint8_t* data, std::size_t size) {
    if (size < 30) {
        return 0;
    }
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bits = 0;
    std::memcpy(&width, data + 18, sizeof width);
    std::memcpy(&height, data + 22, sizeof height);
    std::memcpy(&bits, data + 28, sizeof bits);
    const std::int64_t stride = (std::int64_t{width} * bits + 31) / 32 * 4;
    const std::int64_t rows = height < 0 ? -std::int64_t{height} : height;
    if (stride <= 0 || rows == 0) {
        return 0;
    }
    // Beyond the limit either way; kept from overflowing.
    return stride > Image::maxPixelBytes ? stride : stride * rows;
}

// A file may declare far more pixel rows than it holds; they load as zero rows, up to
// maxMissingPixelBytes of them. A load of megabytes costs milliseconds of page faults, and
// mutations of small files declare such blocks all the time, so they would take most of a
// run. Files declaring more than 256 KiB are therefore skipped unless the limits refuse
// them, which costs nothing; the unit tests load such files.
bool tooCostly(const std::uint8_t* data, std::size_t size) {
    const std::int64_t declared = declaredPixelBytes(data, size);
    return declared > (std::int64_t{1} << 18) && declared <= Image::maxPixelBytes &&
           declared - static_cast<std::int64_t>(size) <= Image::maxMissingPixelBytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (tooCostly(data, size)) {
        return -1;
    }
    static const MemoryFile file;
    file.replace(data, size);

    Image image;
    if (!image.readBmp(file.path.c_str())) {
        return 0;
    }
    checkLoaded(image);

    // getData: rowBytes × height bytes, last stored row first.
    unsigned char* packed = nullptr;
    image.getData(packed);
    FUZZ_CHECK(packed != nullptr);
    const auto rowBytes = static_cast<std::size_t>(image.rowBytes);
    const auto stride = static_cast<std::size_t>(image.width4bytes);
    for (int r = 0; r < image.height; ++r) {
        const unsigned char* stored =
            image.pixels.get() + static_cast<std::size_t>(image.height - 1 - r) * stride;
        FUZZ_CHECK(std::memcmp(packed + static_cast<std::size_t>(r) * rowBytes, stored, rowBytes) ==
                   0);
    }

    const std::string text = image.headerText();
    const std::string expected =
        "width = " + std::to_string(image.width) + "\nheight = " + std::to_string(image.height) +
        "\nbitCount = " + std::to_string(image.bitCount) +
        "\nwidth4bytes = " + std::to_string(image.width4bytes) +
        "\nimageSize = " + std::to_string(std::int64_t{image.width4bytes} * image.height);
    FUZZ_CHECK(text == expected);

    // The frame buffers of the two depths Load BMP takes go back into an image unchanged.
    if (image.bitCount == 8 || image.bitCount == 24) {
        Image copy;
        FUZZ_CHECK(copy.setData(packed, image.width, image.height, image.bitCount));
        unsigned char* again = nullptr;
        copy.getData(again);
        FUZZ_CHECK(std::memcmp(again, packed, rowBytes * static_cast<std::size_t>(image.height)) ==
                   0);
        delete[] again;
    }
    delete[] packed;
    // Larger pictures are checked but not kept in the corpus, so that mutation stays on
    // small ones.
    return std::int64_t{image.width4bytes} * image.height > (std::int64_t{1} << 16) ? -1 : 0;
}
