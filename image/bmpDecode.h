// BMP files of every kind turned into the picture they show: 1-, 4- and 8-bit palettes
// (Windows and OS/2 entries, short palettes), RLE4 and RLE8, 16- and 32-bit pixels with or
// without bit fields of any widths, 24-bit pixels, top-down and bottom-up. Toolkit-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Image;

// What the headers of a BMP file say.
struct BmpLayout {
    std::int64_t offBits = 0, infoSize = 0, width = 0, height = 0;  // height: rows, positive
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t masks[3] = {};         // red, green, blue fields of 16- and 32-bit pixels
    std::vector<unsigned char> palette;  // blue, green, red per entry
    bool greyBytes = false;              // 8-bit rows whose bytes are the grey levels
};

// Reads the headers of a file held in memory; false when it is not a BMP this decodes.
bool readBmpLayout(const unsigned char* file, std::size_t bytes, BmpLayout& layout);

// The header text Load BMP shows: the file's own width, height, bit count and row stride.
// Only for a file decodeBmp did not refuse, whose sizes are then bounded.
std::string bmpHeaderText(const BmpLayout& layout);

enum class BmpDecode { refused, whole, cutShort };

// Fills picture from the file: 8-bit when the rows' bytes are grey levels (uncompressed 8-bit
// rows under a Windows header with the grey-ramp palette or none), 24-bit blue, green, red
// otherwise. A bit field of n bits is widened to 8 by rounding v × 255 / (2^n − 1) to the
// nearest; alpha is ignored; a palette index beyond the palette is black. Rows an
// uncompressed file lacks read as bytes 0; pixels an RLE file never sets are black; either
// gives cutShort. Sizes are checked before anything is allocated: refused beyond Image's
// limits.
BmpDecode decodeBmp(const unsigned char* file, std::size_t bytes, const BmpLayout& layout,
                    Image& picture);
