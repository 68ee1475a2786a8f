#include "image/bmpDecode.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "image/Image.h"

namespace {

std::uint32_t little(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

bool contiguous(std::uint32_t mask) {
    if (mask == 0)
        return false;
    const std::uint32_t field = mask >> std::countr_zero(mask);
    return (field & (field + 1)) == 0;
}

// One bit field of a 16- or 32-bit pixel, widened to 8 bits.
struct Field {
    int shift;
    std::uint64_t mask, top;  // top: the field's largest value
    explicit Field(std::uint32_t m)
        : shift(std::countr_zero(m)), mask(m), top(std::uint64_t{m} >> std::countr_zero(m)) {}
    unsigned char operator()(std::uint32_t pixel) const {
        // top is odd, so the quotient is never exactly half-way: this rounds to the nearest.
        return static_cast<unsigned char>((((pixel & mask) >> shift) * 255 + top / 2) / top);
    }
};

class Decoder {
  public:
    Decoder(const BmpLayout& l, Image& p) : layout(l), picture(p) {}

    // Uncompressed rows; false when the file lacks bytes that hold pixels.
    bool rows(const unsigned char* file, std::int64_t bytes, std::int64_t stride) {
        const std::int64_t used = (layout.width * layout.bitCount + 7) / 8;
        std::vector<unsigned char> row(static_cast<std::size_t>(stride));
        bool whole = true;
        for (std::int64_t r = 0; r < layout.height; ++r) {
            const std::int64_t from = layout.offBits + r * stride;
            const std::int64_t got = std::clamp<std::int64_t>(bytes - from, 0, stride);
            if (got > 0)
                std::memcpy(row.data(), file + from, static_cast<std::size_t>(got));
            std::fill(row.begin() + got, row.end(), 0);  // missing bytes read as 0
            whole = whole && got >= used;
            decodeRow(row.data(), layout.topDown ? layout.height - 1 - r : r);
        }
        return whole;
    }

    // RLE8 or RLE4 codes; false when the codes end before the end-of-bitmap mark.
    bool runs(const unsigned char* d, std::int64_t n) {
        const bool four = layout.bitCount == 4;
        const auto index = [four](const unsigned char* at, std::int64_t k) {
            return four ? (at[k / 2] >> (k % 2 == 0 ? 4 : 0) & 15) : at[k];
        };
        std::int64_t x = 0, y = 0, i = 0;
        while (y < layout.height) {
            if (i + 2 > n)
                return false;
            const int count = d[i], code = d[i + 1];
            i += 2;
            if (count > 0) {  // a run: one byte (RLE4: two alternating indices) repeated
                for (int k = 0; k < count && x < layout.width; ++k)
                    put(x++, y, four ? (k % 2 == 0 ? code >> 4 : code & 15) : code);
            } else if (code == 0) {  // end of line
                x = 0, ++y;
            } else if (code == 1) {  // end of bitmap
                return true;
            } else if (code == 2) {  // delta: move right and up
                if (i + 2 > n)
                    return false;
                x += d[i], y += d[i + 1];
                i += 2;
            } else {  // absolute: code indices as they stand, padded to a 16-bit word
                const std::int64_t length = four ? (code + 1) / 2 : code;
                const std::int64_t have = std::min<std::int64_t>(n - i, length);
                for (std::int64_t k = 0; k < (four ? 2 * have : have) && k < code; ++k, ++x)
                    if (x < layout.width)
                        put(x, y, index(d + i, k));
                if (have < length)
                    return false;
                i += (length + 1) / 2 * 2;
            }
        }
        return true;  // every row was reached
    }

  private:
    unsigned char* pixel(std::int64_t x, std::int64_t y) const {
        return picture.pixels.get() + y * picture.width4bytes + 3 * x;
    }
    // A palette entry; black beyond the palette.
    void put(std::int64_t x, std::int64_t y, unsigned entry) const {
        if (3 * std::size_t{entry} < layout.palette.size())
            std::memcpy(pixel(x, y), &layout.palette[3 * std::size_t{entry}], 3);
    }

    void decodeRow(const unsigned char* row, std::int64_t y) const {
        const std::int64_t w = layout.width;
        const int bits = layout.bitCount;
        if (layout.greyBytes || bits == 24) {
            std::memcpy(picture.pixels.get() + y * picture.width4bytes, row,
                        static_cast<std::size_t>(w * bits / 8));
        } else if (bits <= 8) {
            for (std::int64_t x = 0; x < w; ++x) {
                const std::int64_t bit = x * bits;
                put(x, y, row[bit / 8] >> (8 - bits - bit % 8) & ((1u << bits) - 1));
            }
        } else {
            const Field red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]);
            for (std::int64_t x = 0; x < w; ++x) {
                const std::uint32_t v = little(row + x * (bits / 8), bits / 8);
                unsigned char* out = pixel(x, y);
                out[0] = blue(v), out[1] = green(v), out[2] = red(v);
            }
        }
    }

    const BmpLayout& layout;
    Image& picture;
};

}  // namespace

bool readBmpLayout(const unsigned char* file, std::size_t bytes, BmpLayout& l) {
    if (bytes < 26 || file[0] != 'B' || file[1] != 'M')
        return false;
    l.offBits = little(file + 10, 4);
    l.infoSize = little(file + 14, 4);
    const bool os2 = l.infoSize == 12;  // OS/2 1.x: 16-bit sizes, 3-byte palette entries
    if ((!os2 && l.infoSize < 40) || 14 + l.infoSize > l.offBits ||
        l.offBits > std::int64_t(bytes) || l.offBits - 14 > Image::maxInfoBytes)
        return false;
    const unsigned char* info = file + 14;
    const std::int64_t height =
        os2 ? little(info + 6, 2) : std::int64_t{std::int32_t(little(info + 8, 4))};
    l.width =
        os2 ? std::int64_t{little(info + 4, 2)} : std::int64_t{std::int32_t(little(info + 4, 4))};
    l.height = std::abs(height);
    l.topDown = height < 0;
    l.bitCount = int(little(info + (os2 ? 10 : 14), 2));
    l.compression = os2 ? 0 : little(info + 16, 4);
    const int bits = l.bitCount;
    const std::uint32_t c = l.compression;
    if (l.width <= 0 || l.height == 0)
        return false;

    // Bit-field masks follow a 40-byte header; larger headers hold them.
    std::int64_t at = 14 + l.infoSize;
    if (bits == 16 || bits == 32) {
        const bool fields = c == 3 || c == 6;
        if (c != 0 && !fields)
            return false;
        const std::int64_t from = l.infoSize >= 52 ? 54 : at;
        if (fields && from + 12 > l.offBits)
            return false;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t standard = bits == 16 ? 0x1Fu << 5 * (2 - k) : 0xFFu << 8 * (2 - k);
            l.masks[k] = fields ? little(file + from + 4 * k, 4) : standard;
            if (!contiguous(l.masks[k]) || (bits == 16 && l.masks[k] > 0xFFFF))
                return false;
        }
        at += fields && l.infoSize < 52 ? (c == 6 ? 16 : 12) : 0;
    } else if (!(c == 0 && (bits == 1 || bits == 4 || bits == 8 || bits == 24)) &&
               !(c == 1 && bits == 8 && !l.topDown) && !(c == 2 && bits == 4 && !l.topDown)) {
        return false;
    }

    // The palette: as many entries as the header declares and the file holds.
    const std::uint32_t used = os2 ? 0 : little(info + 32, 4);
    if (bits <= 8) {
        const std::int64_t entry = os2 ? 3 : 4, colours = std::int64_t{1} << bits;
        const std::int64_t declared = used == 0 || used > colours ? colours : used;
        const std::int64_t count = std::min(declared, (l.offBits - at) / entry);
        l.palette.resize(static_cast<std::size_t>(3 * count));
        for (std::int64_t i = 0; i < count; ++i)
            std::memcpy(&l.palette[std::size_t(3 * i)], file + at + entry * i, 3);
    }
    // 8-bit rows whose bytes are their grey levels, as this program writes them: no palette,
    // or exactly the 256-entry grey ramp.
    bool ramp = (used == 0 || used == 256) && l.palette.size() == 3 * 256;
    for (std::size_t v = 0; ramp && v < 256; ++v)
        ramp = l.palette[3 * v] == v && l.palette[3 * v + 1] == v && l.palette[3 * v + 2] == v;
    l.greyBytes =
        bits == 8 && c == 0 && !os2 && (ramp || (used == 0 && l.offBits == 14 + l.infoSize));
    return true;
}

std::string bmpHeaderText(const BmpLayout& layout) {
    Image values;
    values.width = int(layout.width);
    values.height = int(layout.height);
    values.bitCount = layout.bitCount;
    values.width4bytes = int((layout.width * layout.bitCount + 31) / 32 * 4);
    return values.headerText();
}

BmpDecode decodeBmp(const unsigned char* file, std::size_t bytes, const BmpLayout& layout,
                    Image& picture) {
    const bool rle = layout.compression == 1 || layout.compression == 2;
    const int outBits = layout.greyBytes ? 8 : 24;
    const std::int64_t w = layout.width, h = layout.height, fileBytes = std::int64_t(bytes);
    const std::int64_t body = fileBytes - layout.offBits;
    const std::int64_t stride = (w * layout.bitCount + 31) / 32 * 4,
                       outStride = (w * outBits + 31) / 32 * 4;
    // Every size is checked before a block is made: the stored rows and the picture within
    // the limits, and a short file asks for no more than a bounded amount it lacks.
    if (outStride > Image::maxPixelBytes || h > Image::maxPixelBytes / outStride ||
        outStride * h > fileBytes * Image::maxDecodedPerFileByte + Image::maxMissingPixelBytes)
        return BmpDecode::refused;
    if (!rle && (stride > Image::maxPixelBytes || h > Image::maxPixelBytes / stride ||
                 stride * h - body > Image::maxMissingPixelBytes))
        return BmpDecode::refused;
    if (!picture.create(int(w), int(h), outBits))
        return BmpDecode::refused;
    Decoder decoder(layout, picture);
    const bool whole =
        rle ? decoder.runs(file + layout.offBits, body) : decoder.rows(file, fileBytes, stride);
    return whole ? BmpDecode::whole : BmpDecode::cutShort;
}
