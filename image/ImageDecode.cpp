#include "image/ImageDecode.h"

#include <sys/stat.h>

#include <QImage>
#include <QImageReader>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "image/Image.h"

namespace {

// Decoded bytes a file may ask for per byte it holds, beyond the bound a short file has
// anyway: deflate, LZW and RLE compress a plain picture at most about a thousandfold.
constexpr std::int64_t maxDecodedPerFileByte = 1024;

// Packed rows, top line first, of picture's pixels, which hold the lines in file order.
std::vector<unsigned char> packedInFileOrder(const Image& picture) {
    std::vector<unsigned char> rows(std::size_t(picture.rowBytes) * std::size_t(picture.height));
    for (int r = 0; r < picture.height; ++r) {
        std::memcpy(rows.data() + std::size_t(r) * std::size_t(picture.rowBytes),
                    picture.pixels.get() + std::size_t(r) * std::size_t(picture.width4bytes),
                    std::size_t(picture.rowBytes));
    }
    return rows;
}

// The file through Qt's reader, as 24-bit blue, green, red. The size is read from the
// header and checked before anything is decoded, so a tiny file cannot make a huge block.
bool decode(const char* path, std::int64_t fileBytes, Image& picture) {
    QImageReader reader(QString::fromLocal8Bit(path));
    const QSize size = reader.size();
    const std::int64_t decodedBytes = std::int64_t{4} * size.width() * size.height();
    if (size.isEmpty() || decodedBytes > Image::maxPixelBytes ||
        decodedBytes > fileBytes * maxDecodedPerFileByte + Image::maxMissingPixelBytes) {
        return false;
    }
    reader.setAllocationLimit(int(Image::maxPixelBytes >> 20));  // megabytes
    const QImage read = reader.read();
    if (read.isNull() || read.size() != size) {
        return false;
    }
    const QImage bgr = read.convertToFormat(QImage::Format_BGR888);
    const std::size_t rowBytes = std::size_t(bgr.width()) * 3;
    std::vector<unsigned char> packed(rowBytes * std::size_t(bgr.height()));
    for (int y = 0; y < bgr.height(); ++y) {
        std::memcpy(packed.data() + rowBytes * std::size_t(y), bgr.constScanLine(y), rowBytes);
    }
    return picture.setData(packed.data(), bgr.width(), bgr.height(), 24);
}

// What the first 30 bytes of a BMP file say, Windows or OS/2; bm is false for other files.
struct BmpHeader {
    bool bm = false;
    std::int64_t offBits = 0, infoSize = 0, width = 0, height = 0, bitCount = 0;
};

BmpHeader bmpHeader(const char* path) {
    unsigned char h[30] = {};
    std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(h), sizeof h);
    const auto field = [&h](int at, int bytes) {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = v << 8 | h[at + i];
        return v;
    };
    BmpHeader b;
    b.bm = h[0] == 'B' && h[1] == 'M';
    b.offBits = field(10, 4);
    b.infoSize = field(14, 4);
    const bool os2 = b.infoSize == 12;
    b.width = os2 ? field(18, 2) : std::int32_t(field(18, 4));
    b.height =
        std::abs(os2 ? std::int64_t{field(20, 2)} : std::int64_t{std::int32_t(field(22, 4))});
    b.bitCount = field(os2 ? 24 : 28, 2);
    return b;
}

}  // namespace

bool loadPicture(const char* path, Image& picture, std::string& header) {
    struct stat status {};
    if (path == nullptr || ::stat(path, &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;  // a FIFO or a device would hang or never end
    }
    if (picture.readBmp(path) && picture.readsAsStored()) {
        header = picture.headerText();
        if (picture.topDown()) {
            const std::vector<unsigned char> rows = packedInFileOrder(picture);
            return picture.setData(rows.data(), picture.width, picture.height, picture.bitCount);
        }
        return true;
    }
    // Pixel data that does not start after the headers and inside the file makes the file
    // broken, however lenient a decoder is about it.
    const BmpHeader file = bmpHeader(path);
    picture.reset();
    if ((file.bm && (file.offBits < 14 + file.infoSize || file.offBits > status.st_size)) ||
        !decode(path, status.st_size, picture)) {
        return false;
    }
    // The file's own values; the decoded size bounds them all.
    header = picture.headerText();
    if (file.bm && file.width == picture.width && file.height == picture.height &&
        file.bitCount <= 32) {
        Image values;
        values.width = picture.width;
        values.height = picture.height;
        values.bitCount = int(file.bitCount);
        values.width4bytes = (values.width * values.bitCount + 31) / 32 * 4;
        header = values.headerText();
    }
    return true;
}
