// BMP files that pin how the reader treats odd and hostile input, one per row: built here,
// read by ImageBmpHostile_test, and the small ones kept in tests/data/bmp/<name>.bmp as
// seed corpus (written by the image_bmp_corpus tool, compared with this table by the test).
#pragma once

#include <climits>
#include <string>
#include <vector>

#include "bmpSupport.h"
#include "image/Image.h"

struct BmpCase {
    std::string name;
    Bytes file;
    bool loads = false;
    // What a loaded file gives:
    int width = 0;
    int height = 0;
    int bitCount = 0;
    std::int32_t storedHeight = 0;  // the info header's height, sign kept
    std::size_t infoBytes = 0;
    std::size_t pixelBytes = 0;  // width4bytes × height
    Bytes present;               // the first pixel bytes; every later one is 0
};

// Files of at most this size go into the seed corpus.
inline constexpr std::size_t goldenFileLimit = 2048;

inline BmpCase loads(std::string name, const BmpParts& parts, Bytes present) {
    BmpCase c;
    c.name = std::move(name);
    c.file = buildBmp(parts);
    c.loads = true;
    c.width = parts.width;
    c.height = parts.height < 0 ? -parts.height : parts.height;
    c.bitCount = parts.bitCount;
    c.storedHeight = parts.height;
    c.infoBytes = parts.infoSize + 4 * parts.colours;
    c.pixelBytes = bmpStride(c.width, c.bitCount) * static_cast<std::size_t>(c.height);
    c.present = std::move(present);
    return c;
}

inline BmpCase refused(std::string name, Bytes file) {
    BmpCase c;
    c.name = std::move(name);
    c.file = std::move(file);
    return c;
}

inline std::vector<BmpCase> bmpCases() {
    // A 5 × 3 grey picture with padded rows, bottom line first.
    const Bytes rows5x3 = fileRows(randomBytes(15, 1), 5, 3, 8, false);
    const BmpParts grey5x3{5, 3, 8, 40, 256, rows5x3};
    const Bytes rows3x2 = fileRows(randomBytes(18, 2), 3, 2, 24, false);
    const BmpParts colour3x2{3, 2, 24, 40, 0, rows3x2};
    const Bytes grey = buildBmp(grey5x3);
    const Bytes valid = buildBmp(colour3x2);

    // The valid 78-byte colour file with one 32-bit field replaced, or cut to a length.
    const auto patched = [&](std::size_t at, std::uint32_t value) {
        Bytes b = valid;
        put32(b, at, value);
        return b;
    };
    const auto cut = [&](std::size_t length) {
        return Bytes(valid.begin(), valid.begin() + long(length));
    };
    const auto noRows = [](std::int32_t w, std::int32_t h, std::uint16_t bits) {
        return buildBmp({w, h, bits, 40, 0, {}});
    };

    std::vector<BmpCase> all;
    all.push_back(loads("bottomup_8bit_5x3", grey5x3, rows5x3));
    all.push_back(loads("bottomup_24bit_3x2", colour3x2, rows3x2));
    const Bytes topRows3x2 = fileRows(randomBytes(18, 3), 3, 2, 24, true);
    all.push_back(loads("topdown_24bit_3x2", {3, -2, 24, 40, 0, topRows3x2}, topRows3x2));
    const Bytes topRows7x3 = fileRows(randomBytes(21, 4), 7, 3, 8, true);
    all.push_back(loads("topdown_8bit_7x3", {7, -3, 8, 40, 256, topRows7x3}, topRows7x3));
    all.push_back(
        loads("onebit_width8_accepted", {8, 2, 1, 40, 2, Bytes(8, 0x81)}, Bytes(8, 0x81)));
    all.push_back(refused("onebit_width7_refused", buildBmp({7, 2, 1, 40, 2, Bytes(8, 0x80)})));
    all.push_back(loads("fourbit_5x2", {5, 2, 4, 40, 16, Bytes(8, 0x12)}, Bytes(8, 0x12)));
    all.push_back(loads("large_info_header_108", {5, 3, 8, 108, 256, rows5x3}, rows5x3));
    all.push_back(loads("large_info_header_124", {3, 2, 24, 124, 0, rows3x2}, rows3x2));
    all.push_back(loads("short_palette_8bit", {5, 3, 8, 40, 2, rows5x3}, rows5x3));

    // The end of the file inside the rows: what is there is kept, the rest reads as 0.
    BmpCase truncated =
        loads("truncated_rows_8bit", grey5x3, Bytes(rows5x3.begin(), rows5x3.begin() + 13));
    truncated.file.resize(grey.size() - rows5x3.size() + 13);
    all.push_back(truncated);
    BmpCase bare = loads("no_pixel_rows_8bit", grey5x3, {});
    bare.file.resize(grey.size() - rows5x3.size());
    all.push_back(bare);
    BmpCase atLimit = loads("missing_rows_at_limit", {4096, 4096, 8, 40, 0, {}}, {});
    all.push_back(atLimit);

    Bytes notBm = valid;
    notBm[0] = 'M';
    notBm[1] = 'B';
    all.push_back(refused("not_bm_signature", notBm));
    all.push_back(refused("empty", {}));
    all.push_back(refused("header_only", cut(14)));
    all.push_back(refused("info_header_cut_short", cut(40)));
    all.push_back(refused("palette_cut_short", Bytes(grey.begin(), grey.begin() + 600)));
    all.push_back(refused("offset_below_54", patched(10, 53)));
    all.push_back(refused("offset_zero", patched(10, 0)));
    all.push_back(refused("offset_beyond_file_end", patched(10, std::uint32_t(valid.size()) + 1)));
    all.push_back(refused("offset_max", patched(10, 0xFFFFFFFF)));
    all.push_back(refused("width_zero", patched(18, 0)));
    all.push_back(refused("width_negative", patched(18, std::uint32_t(-5))));
    all.push_back(refused("width_int_min", patched(18, 0x80000000)));
    all.push_back(refused("width_int_max", patched(18, 0x7FFFFFFF)));
    all.push_back(refused("height_zero", patched(22, 0)));
    all.push_back(refused("height_int_min", patched(22, 0x80000000)));
    all.push_back(refused("height_int_max", patched(22, 0x7FFFFFFF)));
    Bytes noBits = valid;
    put16(noBits, 28, 0);
    all.push_back(refused("bitcount_zero", noBits));
    // 2^27 × 32 bits is 2^32: a 32-bit product would wrap to a zero-sized row.
    all.push_back(refused("width_times_bitcount_wraps", noRows(0x08000000, 1, 32)));
    all.push_back(refused("rows_beyond_limit", noRows(16384, 16385, 8)));
    all.push_back(refused("declared_huge_in_tiny_file", noRows(8192, 4096, 8)));

    // The info block may be at most 64 KiB; such files are too big for the corpus.
    Bytes bigBlock(14 + Image::maxInfoBytes, 0);
    std::copy(valid.begin(), valid.begin() + 54, bigBlock.begin());
    put32(bigBlock, 10, std::uint32_t(bigBlock.size()));
    BmpCase blockAtLimit = loads("info_block_at_limit", colour3x2, {});
    blockAtLimit.file = bigBlock;
    blockAtLimit.infoBytes = std::size_t(Image::maxInfoBytes);
    all.push_back(blockAtLimit);
    bigBlock.push_back(0);
    put32(bigBlock, 10, std::uint32_t(bigBlock.size()));
    all.push_back(refused("info_block_beyond_limit", bigBlock));
    return all;
}
