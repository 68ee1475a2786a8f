// Image: an 8-bit (grey palette) or 24-bit device-independent bitmap, held bottom-up with
// rows aligned to 4 bytes, exactly as it is drawn and stored in a BMP file.
//
// Ownership: an Image owns bitmapInfo and pixels. Frame buffers handed to setData are only
// read; getData frees the buffer it is given (delete[]) and puts a new[] block in its place.
// Images are never copied.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class QPainter;

// The off-screen picture that draw() keeps between frames. It lives in the Qt drawing
// adapter (ImageDraw.cpp), so the rest of Image builds without a toolkit.
struct DrawSurface;
struct DrawSurfaceDeleter {
    void (*destroy)(DrawSurface*) = nullptr;
    void operator()(DrawSurface* surface) const {
        if (destroy != nullptr) destroy(surface);
    }
};

#pragma pack(push, 1)
struct BitmapFileHeader {
    std::uint16_t type;       // 0x4D42, "BM"
    std::uint32_t size;       // whole file, bytes
    std::uint16_t reserved1;
    std::uint16_t reserved2;
    std::uint32_t offBits;    // offset of the pixel rows
};
struct BitmapInfoHeader {
    std::uint32_t size;       // 40
    std::int32_t width;
    std::int32_t height;      // positive: bottom line first
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
    Image();
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    void reset();
    bool create(int width, int height, int bitCount);
    bool setData(const unsigned char* source, int width, int height, int bitCount);
    void getData(unsigned char*& destination) const;
    std::string headerText() const;

    // Draws the whole picture stretched over (x, y, w, h) with whole-pixel scaling.
    void draw(QPainter& target, int x, int y, int w, int h);

    bool writeBmp(const char* path, const unsigned char* source, int width, int height,
                  int bitCount);
    bool readBmp(const char* path);

    BitmapFileHeader fileHeader{};
    std::unique_ptr<unsigned char[]> bitmapInfo;  // info header + palette; null when empty
    std::size_t bitmapInfoBytes = 0;
    int width = 0;
    int height = 0;
    int rowBytes = 0;
    int width4bytes = 0;
    int bitCount = 0;
    std::unique_ptr<unsigned char[]> pixels;      // width4bytes × height bytes, bottom row first

private:
    std::unique_ptr<DrawSurface, DrawSurfaceDeleter> surface;
};
