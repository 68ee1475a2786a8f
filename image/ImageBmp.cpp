// BMP files: the file header, the bitmapInfo block and the pixel rows, stored byte for byte
// as the image holds them.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "image/Image.h"
#include "image/atomicFile.h"

namespace {

// Closes the descriptor on every way out of a read.
struct FileCloser {
    int fd;
    ~FileCloser() { ::close(fd); }
};

// Reads up to n bytes; fewer only where the file ends. -1 on a read error.
std::int64_t readUpTo(int fd, void* data, std::size_t n) {
    auto* p = static_cast<unsigned char*>(data);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t done = ::read(fd, p + got, n - got);
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            return -1;
        if (done == 0)
            break;
        got += static_cast<std::size_t>(done);
    }
    return static_cast<std::int64_t>(got);
}

}  // namespace

bool Image::writeBmp(const char* path, const unsigned char* source, int newWidth, int newHeight,
                     int newBitCount) {
    if (source != nullptr)
        setData(source, newWidth, newHeight, newBitCount);
    if (pixels == nullptr || path == nullptr)
        return false;

    // The whole block goes out, so the pixel-data offset in fileHeader stays true also for
    // a picture read from a file with a larger info header or a short palette.
    return writeFileAtomically(path, [this](int fd) {
        return writeAll(fd, &fileHeader, sizeof fileHeader) &&
               writeAll(fd, bitmapInfo.get(), bitmapInfoBytes) &&
               writeAll(fd, pixels.get(),
                        static_cast<std::size_t>(width4bytes) * std::size_t(height));
    });
}

bool Image::readBmp(const char* path) {
    reset();
    if (path == nullptr)
        return false;
    // Non-blocking so that a FIFO cannot hang the open; only regular files are read.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    const FileCloser closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    const std::int64_t fileBytes = status.st_size;

    // A file shorter than the header leaves the rest of it 0, which no signature matches.
    if (readUpTo(fd, &fileHeader, sizeof fileHeader) < 0)
        return false;
    if (fileHeader.type != 0x4D42)
        return false;

    // The info block runs from byte 14 to the pixel data. It must hold a whole 40-byte info
    // header, be of a sane size and lie wholly inside the file.
    const std::int64_t offBits = fileHeader.offBits;
    const std::int64_t infoBytes = offBits - std::int64_t{sizeof fileHeader};
    if (infoBytes < std::int64_t{sizeof(BitmapInfoHeader)} || infoBytes > maxInfoBytes ||
        offBits > fileBytes) {
        return false;
    }
    bitmapInfoBytes = static_cast<std::size_t>(infoBytes);
    bitmapInfo = std::make_unique<unsigned char[]>(bitmapInfoBytes);
    if (readUpTo(fd, bitmapInfo.get(), bitmapInfoBytes) != infoBytes)
        return false;

    // A negative height marks a top-down file: its rows stay in file order. Taken as 64 bits,
    // so that even INT_MIN has an absolute value, which the size limit then refuses.
    const BitmapInfoHeader info = infoHeader();
    const std::int64_t rows = std::abs(std::int64_t{info.height});
    int newRowBytes = 0;
    int newWidth4bytes = 0;
    if (!rowGeometry(info.width, rows, info.bitCount, newRowBytes, newWidth4bytes) ||
        newRowBytes == 0) {
        return false;
    }
    width = info.width;
    height = static_cast<int>(rows);
    bitCount = info.bitCount;
    rowBytes = newRowBytes;
    width4bytes = newWidth4bytes;

    // Rows cut off by the end of the file read as 0, but only a bounded amount may be
    // missing: a tiny file does not get to ask for a huge block.
    const std::int64_t pixelBytes = std::int64_t{width4bytes} * height;
    if (pixelBytes - (fileBytes - offBits) > maxMissingPixelBytes)
        return false;
    pixels = std::make_unique<unsigned char[]>(static_cast<std::size_t>(pixelBytes));
    return readUpTo(fd, pixels.get(), static_cast<std::size_t>(pixelBytes)) >= 0;
}
