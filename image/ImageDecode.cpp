#include "image/ImageDecode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "image/Image.h"
#include "image/atomicFile.h"
#include "image/bmpDecode.h"

namespace {

// The largest file read: a BMP of the largest picture with the largest info block.
constexpr std::int64_t maxFileBytes = Image::maxPixelBytes + Image::maxInfoBytes + 14;

struct FileBytes {
    std::unique_ptr<unsigned char[]> data;
    std::size_t size = 0;
};

// Up to limit bytes of the file at path; a file beyond maxFileBytes is no picture. It is looked at
// before it is opened, so that a FIFO or a device is never opened for reading; the open does not
// block in any case.
PictureRead readFileBytes(const char* path, std::int64_t limit, FileBytes& file) {
    struct stat status {};
    if (path == nullptr || ::stat(path, &status) != 0)
        return PictureRead::unreadable;
    if (!S_ISREG(status.st_mode))
        return PictureRead::notRegular;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return PictureRead::unreadable;
    const std::int64_t want = std::min<std::int64_t>(status.st_size, limit);
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > maxFileBytes) {
        ::close(fd);
        return S_ISREG(status.st_mode) ? PictureRead::notPicture : PictureRead::notRegular;
    }
    file.data = std::make_unique_for_overwrite<unsigned char[]>(std::size_t(want));
    while (file.size < std::size_t(want)) {
        const ssize_t got = ::read(fd, file.data.get() + file.size, std::size_t(want) - file.size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        file.size += std::size_t(got);
    }
    ::close(fd);
    return PictureRead::whole;
}

// Whether a PNG, JPEG or GIF file holds its closing mark, which a copy that stopped lacks. A
// JPEG file's mark may be followed by more (a motion photo's video): it is looked for after
// the segments that come before the picture's data, which may hold a thumbnail of their own.
bool endsWhole(const QByteArray& format, const unsigned char* d, std::size_t n) {
    if (format == "png")
        return n >= 8 && std::memcmp(d + n - 8, "IEND\xAE\x42\x60\x82", 8) == 0;
    if (format == "gif")
        return n >= 1 && d[n - 1] == 0x3B;
    if (format != "jpeg")
        return true;
    std::size_t at = 2;  // after the start-of-image mark
    while (at + 4 <= n && d[at] == 0xFF && d[at + 1] != 0xDA)
        at += 2 + std::size_t(d[at + 2] << 8 | d[at + 3]);
    const unsigned char end[2] = {0xFF, 0xD9};
    return at < n && std::search(d + at, d + n, end, end + 2) != d + n;
}

// The file through Qt's reader, as 24-bit blue, green, red. The size is read from the
// header and checked before anything is decoded, so a tiny file cannot make a huge block.
PictureRead decode(const FileBytes& bytes, const PictureWanted& wanted, Image& picture,
                   PictureFile& file) {
    const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data.get()),
                                                    qsizetype(bytes.size));
    QBuffer device;
    device.setData(data);
    device.open(QIODevice::ReadOnly);
    QImageReader reader(&device);
    // A file cut short is found by its end, before its decoder can complain about it.
    const bool whole = endsWhole(reader.format(), bytes.data.get(), bytes.size);
    if (wanted.whole && !whole)
        return PictureRead::cutShort;
    const QSize size = reader.size();
    const std::int64_t decodedBytes = std::int64_t{4} * size.width() * size.height();
    file.format = reader.format().toStdString();
    file.width = size.width();
    file.height = size.height();
    if (size.isEmpty() || decodedBytes > Image::maxPixelBytes ||
        decodedBytes >
            std::int64_t(bytes.size) * Image::maxDecodedPerFileByte + Image::maxMissingPixelBytes) {
        return PictureRead::notPicture;
    }
    if (wanted.width > 0 && (size.width() != wanted.width || size.height() != wanted.height))
        return PictureRead::otherSize;
    reader.setAllocationLimit(int(Image::maxPixelBytes >> 20));  // megabytes
    const QImage read = reader.read();
    if (read.isNull() || read.size() != size)
        return PictureRead::notPicture;
    const QImage bgr = read.convertToFormat(QImage::Format_BGR888);
    const std::size_t rowBytes = std::size_t(bgr.width()) * 3;
    std::vector<unsigned char> packed(rowBytes * std::size_t(bgr.height()));
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(packed.data() + rowBytes * std::size_t(y), bgr.constScanLine(y), rowBytes);
    if (!picture.setData(packed.data(), bgr.width(), bgr.height(), 24))
        return PictureRead::notPicture;
    file.header = picture.headerText();
    return whole ? PictureRead::whole : PictureRead::cutShort;
}

}  // namespace

PictureRead readPicture(const char* path, Image& picture, PictureFile& file,
                        const PictureWanted& wanted) {
    picture.reset();
    file = PictureFile{};
    FileBytes bytes;
    const PictureRead opened = readFileBytes(path, maxFileBytes, bytes);
    if (opened != PictureRead::whole)
        return opened;
    if (bytes.size < 2 || bytes.data[0] != 'B' || bytes.data[1] != 'M')
        return decode(bytes, wanted, picture, file);
    BmpLayout layout;
    if (!readBmpLayout(bytes.data.get(), bytes.size, layout))
        return PictureRead::notPicture;
    file.format = "bmp";
    file.width = int(layout.width);
    file.height = int(layout.height);
    if (wanted.width > 0 && (layout.width != wanted.width || layout.height != wanted.height))
        return PictureRead::otherSize;
    const BmpDecode decoded = decodeBmp(bytes.data.get(), bytes.size, layout, picture);
    if (decoded == BmpDecode::refused) {
        picture.reset();
        return PictureRead::notPicture;
    }
    file.header = bmpHeaderText(layout);  // its sizes are bounded now
    return decoded == BmpDecode::whole ? PictureRead::whole : PictureRead::cutShort;
}

bool loadPicture(const char* path, Image& picture, std::string& header) {
    PictureFile file;
    const PictureRead read = readPicture(path, picture, file);
    header = file.header;
    return read == PictureRead::whole || read == PictureRead::cutShort;
}

std::string pictureFormat(const char* path) {
    FileBytes head;
    if (readFileBytes(path, 64, head) != PictureRead::whole)
        return {};
    if (head.size >= 2 && head.data[0] == 'B' && head.data[1] == 'M')
        return "bmp";
    QByteArray data(reinterpret_cast<const char*>(head.data.get()), qsizetype(head.size));
    QBuffer device(&data);
    device.open(QIODevice::ReadOnly);
    return QImageReader::imageFormat(&device).toStdString();
}

std::string savedFormat(const std::string& format) {
    return format == "bmp" || QImageWriter::supportedImageFormats().contains(format.c_str())
               ? format
               : "png";
}

bool savePicture(const char* path, const std::string& format, const unsigned char* rows, int width,
                 int height, int channels) {
    if (format == "bmp")
        return Image().writeBmp(path, rows, width, height, 8 * channels);
    const QImage picture(rows, width, height, qsizetype(width) * channels,
                         channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_BGR888);
    QByteArray encoded;
    QBuffer device(&encoded);
    device.open(QIODevice::WriteOnly);
    QImageWriter writer(&device, format.c_str());
    if (format == "jpeg")
        writer.setQuality(95);
    return writer.write(picture) && writeFileAtomically(path, [&encoded](int fd) {
               return writeAll(fd, encoded.constData(), std::size_t(encoded.size()));
           });
}
