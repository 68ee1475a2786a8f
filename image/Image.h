// Image: an 8-bit (grey palette) or 24-bit device-independent bitmap, held bottom-up with
// rows aligned to 4 bytes, exactly as it is stored in a BMP file.
//
// Ownership: an Image owns bitmapInfo and pixels. Frame buffers handed to setData are only
// read; getData frees the buffer it is given (delete[]) and puts a new[] block in its place.
// Images are never copied.
//
// Failures are reported by a false result, never by a message. Allocation failure reaches
// the caller as std::bad_alloc.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// BMP headers are little-endian and are copied to and from memory as they stand.
static_assert(std::endian::native == std::endian::little);

#pragma pack(push, 1)
struct BitmapFileHeader {
    std::uint16_t type;  // 0x4D42, "BM"
    std::uint32_t size;  // whole file, bytes
    std::uint16_t reserved1;
    std::uint16_t reserved2;
    std::uint32_t offBits;  // offset of the pixel rows
};
struct BitmapInfoHeader {
    std::uint32_t size;  // 40
    std::int32_t width;
    std::int32_t height;  // positive: bottom line first
    std::uint16_t planes;
    std::uint16_t bitCount;
    std::uint32_t compression;
    std::uint32_t sizeImage;
    std::int32_t xPelsPerMeter;
    std::int32_t yPelsPerMeter;
    std::uint32_t clrUsed;
    std::uint32_t clrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BitmapFileHeader) == 14);
static_assert(sizeof(BitmapInfoHeader) == 40);

class Image {
  public:
    // Largest pixel block an image holds (width4bytes × height): 256 MiB, far beyond any
    // camera frame, and small enough that every derived size fits the 32-bit BMP fields.
    static constexpr std::int64_t maxPixelBytes = std::int64_t{1} << 28;
    // Largest info block (info header, masks, palette, gap) a BMP file may carry. The
    // biggest standard one is a 124-byte header with 256 colours: 1,148 bytes.
    static constexpr std::int64_t maxInfoBytes = std::int64_t{1} << 16;
    // A file that ends inside its pixel rows loads with the missing bytes 0, but it may
    // lack at most this much, so a tiny file never makes a huge block.
    static constexpr std::int64_t maxMissingPixelBytes = std::int64_t{1} << 24;
    // Decoded bytes a compressed file may ask for per byte it holds, beyond the bound a short
    // file has anyway: deflate, LZW and RLE compress a plain picture at most about a
    // thousandfold.
    static constexpr std::int64_t maxDecodedPerFileByte = 1024;

    Image();
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Empties the image: geometry 0, fileHeader all 0, no pixels, no bitmapInfo.
    void reset();

    // Gives the image the geometry and fresh buffers: headers and grey palette filled, the
    // pixel block all 0 (so a picture saved before any data arrives is black). False, with
    // nothing changed, when a value is 0 or negative or the pixel block would exceed
    // maxPixelBytes.
    bool create(int width, int height, int bitCount);

    // Copies a packed, top-line-first buffer of height rows of rowBytes into the image,
    // bottom line first, alignment bytes 0. Re-creates the image first when the geometry
    // differs; otherwise buffers and palette are reused. False when source is null or the
    // geometry cannot be created (the image is then empty).
    bool setData(const unsigned char* source, int width, int height, int bitCount);

    // Replaces destination (delete[] of the old block) with a new[] block of
    // rowBytes × height bytes holding the picture packed, last buffer row first. Does nothing
    // on an empty image.
    void getData(unsigned char*& destination) const;

    // Five lines: width, height, bitCount, width4bytes and imageSize.
    std::string headerText() const;

    // Loads source (when not null) with setData, then stores the image as a BMP file: the
    // file header, the whole bitmapInfo block and the pixel rows. The file is written beside
    // the target under a temporary name and renamed over it only when complete, so a failed
    // write leaves any file of that name as it was. A symbolic link is written through; a
    // replaced file keeps its mode. False when the image is empty, when the path names
    // something other than a regular file or a file that may not be written (both are left
    // alone), or when any step fails.
    bool writeBmp(const char* path, const unsigned char* source, int width, int height,
                  int bitCount);

    BitmapFileHeader fileHeader{};
    std::unique_ptr<unsigned char[]> bitmapInfo;  // info header + palette; null when empty
    std::size_t bitmapInfoBytes = 0;
    int width = 0;
    int height = 0;
    int rowBytes = 0;
    int width4bytes = 0;
    int bitCount = 0;
    std::unique_ptr<unsigned char[]> pixels;  // width4bytes × height bytes, bottom row first

  private:
    // rowBytes and width4bytes of a geometry; false when a value is not positive, the bit
    // count does not fit the 16-bit header field, or the block would exceed maxPixelBytes.
    static bool rowGeometry(std::int64_t width, std::int64_t height, std::int64_t bitCount,
                            int& rowBytes, int& width4bytes);
};
