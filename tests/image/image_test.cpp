// Image and its picture files: geometry and its limits, round trips byte for byte against the
// test's own BMP builder, each kind of BMP file and a PNG against the picture it was made from,
// the pinned outcome of each hostile file, and atomic saves: a failed save leaves what was there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <cerrno>
#include <climits>
#include <optional>

#include "image/Image.h"
#include "image/ImageDecode.h"
#include "tests/support/bmpFiles.h"
#include "tests/support/fullDisk.h"
#include "tests/support/naiveReference.h"
#include "tests/support/readOnlyPlace.h"

// A disk that fails a save's last steps: the calls that fsync or rename name fail with EIO.
std::string failing;
extern "C" int fsync(int fd) {
    return failing == "fsync" ? (errno = EIO, -1) : int(syscall(SYS_fsync, fd));
}
extern "C" int rename(const char* from, const char* to) noexcept {
    return failing == "rename" ? (errno = EIO, -1) : int(syscall(SYS_rename, from, to));
}

namespace {

std::mt19937 rng(7);

// A packed, top-line-first picture as a file holds it: top line first or last, each row
// padded with 0 to the stride.
Bytes fileRows(const Bytes& picture, int width, int height, int bits, bool topDown) {
    const std::size_t packed = std::size_t(width) * bits / 8, stride = bmpStride(width, bits);
    Bytes rows(stride * std::size_t(height), 0);
    for (int r = 0; r < height; ++r)
        std::copy_n(&picture[packed * r], packed, &rows[stride * (topDown ? r : height - 1 - r)]);
    return rows;
}

Bytes packedCopy(const Image& image) {
    unsigned char* buffer = new unsigned char[2]{1, 2};  // replaced: the leak checker sees it
    image.getData(buffer);
    const Bytes bytes(buffer, buffer + std::size_t(image.rowBytes) * std::size_t(image.height));
    return delete[] buffer, bytes;
}

// Bad geometry is refused by create (the image kept) and by setData (the image emptied).
TEST(Image, CreateAndSetDataRefuseBadGeometry) {
    TempDir dir;
    const std::string path = dir.file("a.bmp");
    const int bad[][3] = {
        {0, 4, 8},  {4, 0, 8},     {4, 4, 0},        {-4, 4, 8},        {4, -4, 8},
        {4, 4, -8}, {1, 1, 65536}, {INT_MAX, 1, 24}, {16384, 16385, 8}, {INT_MAX, INT_MAX, 8}};
    for (const auto& [width, height, bits] : bad) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << "x" << bits);
        Image image;
        ASSERT_TRUE(image.create(5, 4, 8));
        const unsigned char* pixels = image.pixels.get();
        EXPECT_FALSE(image.create(width, height, bits));
        EXPECT_EQ(image.headerText(),
                  "width = 5\nheight = 4\nbitCount = 8\nwidth4bytes = 8\nimageSize = 32");
        EXPECT_EQ(image.pixels.get(), pixels);
        EXPECT_EQ(+image.fileHeader.offBits, 1078u);  // + : a copy, the field is packed
        EXPECT_FALSE(image.setData(pixels, width, height, bits));
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(image.bitmapInfo, nullptr);
        EXPECT_EQ(+image.fileHeader.offBits, 0u);
        EXPECT_EQ(image.bitmapInfoBytes, 0u);
        EXPECT_EQ(image.headerText(),
                  "width = 0\nheight = 0\nbitCount = 0\nwidth4bytes = 0\nimageSize = 0");
        EXPECT_FALSE(image.writeBmp(path.c_str(), nullptr, 0, 0, 0));
    }
    // setData keeps the block for the same geometry and refuses null.
    const Bytes grey(6 * 5, 1), colour(6 * 5 * 3, 2);
    Image image;
    ASSERT_TRUE(image.setData(grey.data(), 6, 5, 8));
    const unsigned char* pixels = image.pixels.get();
    ASSERT_TRUE(image.setData(grey.data(), 6, 5, 8));
    EXPECT_FALSE(image.setData(nullptr, 8, 8, 24));
    EXPECT_EQ(image.pixels.get(), pixels);
    EXPECT_EQ(packedCopy(image), grey);
    ASSERT_TRUE(image.setData(grey.data(), 6, 4, 8));  // one line fewer: a new geometry
    EXPECT_EQ(packedCopy(image), Bytes(6 * 4, 1));
    ASSERT_TRUE(image.setData(colour.data(), 6, 4, 24));  // a new depth alone: a new block
    EXPECT_EQ(image.bitmapInfoBytes, 40u);
    EXPECT_EQ(+image.fileHeader.offBits, 54u);
    unsigned char* buffer = new unsigned char[3]{4, 5, 6};
    Image().getData(buffer);  // an empty image leaves the destination alone
    EXPECT_EQ(buffer[2], 6);
    delete[] buffer;
}

// Every depth, widths 1 to 9 and a camera frame: a created image saves the builder's file
// with zero pixels. Both depths Load BMP keeps, in both row orders: what is saved is the
// builder's file; what Load BMP reads gives the picture back and is saved as it was.
TEST(ImageBmp, RoundTripsByteForByte) {
    TempDir dir;
    const std::string path = dir.file("p.bmp"), again = dir.file("q.bmp");
    for (int bits : {1, 4, 8, 24, 32})
        for (int width = 1; width <= 10; ++width) {
            const int w = width == 10 ? 320 : width, h = width == 10 ? 240 : 1 + width % 3;
            SCOPED_TRACE(testing::Message() << w << "x" << h << "x" << bits);
            const auto palette = greyRamp(bits <= 8 ? 1u << bits : 0);
            Image image;
            ASSERT_TRUE(image.create(w, h, bits));
            EXPECT_EQ(image.rowBytes, w * bits / 8);
            ASSERT_TRUE(image.writeBmp(path.c_str(), nullptr, 0, 0, 0));
            EXPECT_EQ(readFile(path),
                      buildBmp(w, h, bits, palette, Bytes(bmpStride(w, bits) * h, 0)));
            if (bits != 8 && bits != 24)
                continue;
            const Bytes picture = randomBytes(std::size_t(w * h * bits / 8), rng);
            const Bytes bottomUp =
                buildBmp(w, h, bits, palette, fileRows(picture, w, h, bits, false));
            const Bytes topDown =
                buildBmp(w, -h, bits, palette, fileRows(picture, w, h, bits, true));
            ASSERT_TRUE(image.writeBmp(path.c_str(), picture.data(), w, h, bits));
            ASSERT_EQ(readFile(path), bottomUp);
            for (const bool top : {false, true}) {
                writeFile(path, top ? topDown : bottomUp);
                Image read;
                std::string header;
                ASSERT_TRUE(loadPicture(path.c_str(), read, header));
                EXPECT_EQ(header, image.headerText());
                EXPECT_EQ(packedCopy(read), picture);  // top-down too: the picture as shown
                ASSERT_TRUE(read.writeBmp(again.c_str(), nullptr, 0, 0, 0));
                EXPECT_EQ(readFile(again), bottomUp);
            }
        }
}

// What Load BMP makes of each file of tests/data/bmp: the picture's geometry as decoded (8-bit
// grey or 24-bit colour), or a refusal (width 0).
struct BmpCase {
    std::string name;
    int width = 0, height = 0, bitCount = 0;
};
void expectPinned(const std::string& path, const BmpCase& c) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(std::filesystem::exists(path)) << path;  // missing, it would pass as refused
    Image image;
    std::string header;
    ASSERT_EQ(loadPicture(path.c_str(), image, header), c.width > 0);
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_EQ(image.bitCount, c.bitCount);
}

TEST(ImageBmp, HostileFilesLoadOrAreRefusedAsPinned) {
    // clang-format off
    for (const BmpCase& c : std::vector<BmpCase>{
        {"bottomup_8bit_5x3", 5, 3, 8}, {"bottomup_24bit_3x2", 3, 2, 24}, {"topdown_24bit_3x2", 3, 2, 24},
        {"topdown_8bit_7x3", 7, 3, 8}, {"onebit_width8_accepted", 8, 2, 24}, {"fourbit_5x2", 5, 2, 24},
        {"large_info_header_108", 5, 3, 8}, {"large_info_header_124", 3, 2, 24},
        {"short_palette_8bit", 5, 3, 24}, {"truncated_rows_8bit", 5, 3, 8}, {"no_pixel_rows_8bit", 5, 3, 8},
        {"missing_rows_at_limit", 4096, 4096, 8}, {"onebit_width7", 7, 2, 24}, {"not_bm_signature"},
        {"empty"}, {"header_only"}, {"info_header_cut_short"}, {"palette_cut_short"}, {"offset_below_54"},
        {"offset_zero"}, {"offset_beyond_file_end"}, {"offset_max"}, {"width_zero"}, {"width_negative"},
        {"width_int_min"}, {"width_int_max"}, {"height_zero"}, {"height_int_min"}, {"height_int_max"},
        {"bitcount_zero"}, {"width_times_bitcount_wraps"}, {"rows_beyond_limit"},
        {"declared_huge_in_tiny_file"}})
        // clang-format on
        expectPinned(std::string(BMP_CORPUS_DIR) + "/" + c.name + ".bmp", c);
    // The info block may be at most 64 KiB (too big for the corpus): at the limit, beyond.
    TempDir dir;
    Bytes file = readFile(std::string(BMP_CORPUS_DIR) + "/bottomup_24bit_3x2.bmp");
    file.resize(14 + Image::maxInfoBytes, 0);
    for (const bool beyond : {false, true}) {
        file.resize(file.size() + beyond, 0);
        put32(file, 10, std::uint32_t(file.size()));
        writeFile(dir.file("block.bmp"), file);
        expectPinned(dir.file("block.bmp"), beyond ? BmpCase{"beyond"} : BmpCase{"at", 3, 2, 24});
    }
}

const Bytes kept = {'o', 'l', 'd'};
const Bytes grey = randomBytes(6, rng);

bool save(const std::string& path) {
    return Image().writeBmp(path.c_str(), grey.data(), 3, 2, 8);
}

// Where a save cannot or must not happen it fails, and every place stays as it was: the old
// file byte for byte, the FIFO a FIFO, and no temporary file left behind.
TEST(ImageBmp, FailedSavesLeaveEverythingAsItWas) {
    for (const std::string place :
         {"read-only folder", "read-only file", "full disk", "fifo", "folder", "device",
          "missing folder", "folder that is a file", "fsync", "rename", "link loop"}) {
        SCOPED_TRACE(place);
        TempDir dir;
        writeFile(dir.file("kept.bmp"), kept);
        std::string target = dir.file("kept.bmp");
        if (place == "fifo")
            ::mkfifo((target = dir.file("pipe.bmp")).c_str(), 0600);
        // A device of its own (only root may make one), never the system's /dev/null.
        if (place == "device" &&
            ::mknod((target = dir.file("null.bmp")).c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            continue;
        if (place == "folder")
            std::filesystem::create_directory(target = dir.file("folder.bmp"));
        if (place == "link loop")  // a link to itself: no file to replace
            std::filesystem::create_symlink("loop.bmp", target = dir.file("loop.bmp"));
        if (place == "missing folder" || place == "folder that is a file")
            target = dir.file(place == "missing folder" ? "none/new.bmp" : "kept.bmp/new.bmp");
        const auto entries = dir.entries();
        const auto type = std::filesystem::symlink_status(target).type();
        std::optional<ReadOnlyPlace> readOnly;
        std::optional<FullDisk> full;
        if (place.starts_with("read-only"))
            readOnly.emplace(place == "read-only folder" ? dir.path : target);
        if (readOnly && !readOnly->works())
            continue;
        if (place == "full disk")
            full.emplace(100);  // room for the headers only
        failing = place;        // "fsync", "rename": the disk fails that call
        EXPECT_FALSE(save(target));
        failing = "";
        EXPECT_FALSE((place == "read-only folder" || place == "full disk") &&
                     save(dir.file("new.bmp")));  // nor a new file there
        readOnly.reset(), full.reset();
        EXPECT_EQ(readFile(dir.file("kept.bmp")), kept);
        EXPECT_EQ(dir.entries(), entries);
        EXPECT_EQ(std::filesystem::symlink_status(target).type(), type);
    }
}

// A save through a link replaces the file it names, wholly, keeping its mode; a new file
// gets 0644 less the umask.
TEST(ImageBmp, SavesGoThroughLinksKeepModesAndFollowTheUmask) {
    TempDir dir;
    writeFile(dir.file("real.bmp"), Bytes(5000, 1));
    ::chmod(dir.file("real.bmp").c_str(), 0600);
    std::filesystem::create_symlink(dir.file("real.bmp"), dir.file("link.bmp"));
    ASSERT_TRUE(save(dir.file("link.bmp")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.bmp")));
    EXPECT_EQ(readFile(dir.file("real.bmp")),
              buildBmp(3, 2, 8, greyRamp(256), fileRows(grey, 3, 2, 8, false)));
    const auto mode = [&](const char* name) {
        return unsigned(std::filesystem::status(dir.file(name)).permissions());
    };
    EXPECT_EQ(mode("real.bmp"), 0600u);
    for (const auto& [mask, name] : {std::pair{0, "new.bmp"}, {027, "new2.bmp"}}) {
        const mode_t before = ::umask(mode_t(mask));
        ASSERT_TRUE(save(dir.file(name)));
        ::umask(before);
        EXPECT_EQ(mode(name), 0644u & ~unsigned(mask));
    }
    EXPECT_EQ(dir.entries(),
              (std::vector<std::string>{"link.bmp", "new.bmp", "new2.bmp", "real.bmp"}));
}

// loadPicture of a file with these bytes; the picture packed top line first.
bool load(const Bytes& file, Bytes& packed, std::string& header) {
    TempDir dir;  // one file per process: ctest runs the rows side by side
    writeFile(dir.file("p"), file);
    Image picture;
    const bool ok = loadPicture(dir.file("p").c_str(), picture, header);
    packed = packedCopy(picture);
    return ok;
}

class BmpKind : public testing::TestWithParam<PictureKind> {};

TEST_P(BmpKind, ShowsThePictureItWasMadeFrom) {
    const PictureKind k = GetParam();
    Bytes got, want = kindPicture(k);  // 8-bit grey levels as stored, else 24-bit B,G,R
    std::string header;
    QByteArray png;  // as Qt writes it, from the 24-bit picture
    QBuffer buffer(&png);
    if (k.compression < 0)
        QImage(want.data(), sample::W, sample::H, sample::W * 3, QImage::Format_BGR888)
            .save(&buffer, "PNG");
    if (k.ramp == 1 && k.compression == 0)
        for (std::size_t i = 0; i < want.size() / 3; ++i)
            want[i] = want[3 * i];
    want.resize(k.ramp == 1 && k.compression == 0 ? want.size() / 3 : want.size());
    ASSERT_TRUE(load(k.compression < 0 ? Bytes(png.begin(), png.end()) : kindFile(k), got, header));
    EXPECT_NE(header.find("bitCount = " + std::to_string(k.bits)), std::string::npos);
    EXPECT_EQ(got, want);
}

// A row's name from its fields: bmp8Grey, bmp4Rle4Cut, bmp16Fields_5_6_5, png24…
std::string kindName(const testing::TestParamInfo<PictureKind>& info) {
    const PictureKind& k = info.param;
    const char* compressions[] = {"", "Rle8", "Rle4", "Fields", "", "", "FieldsAlpha"};
    const char* ramps[] = {"", "Grey", "BlueRamp"};
    const char* variants[] = {"", k.compression > 0 ? "Delta" : "TwoEntries", "Cut", "Absolute"};
    std::string name = (k.compression < 0 ? "png" : "bmp") + std::to_string(k.bits) +
                       compressions[std::max(k.compression, 0)];
    name += k.headerSize == 12 ? "Os2" : k.headerSize == 124 ? "V5" : "";
    name += (k.topDown ? "TopDown" : "") + std::string(ramps[k.ramp]) + variants[k.variant];
    for (int f = 0; f < 4 && k.fields[std::size_t(f)] > 0; ++f)
        name += "_" + std::to_string(k.fields[std::size_t(f)]);
    return name;
}
INSTANTIATE_TEST_SUITE_P(Kinds, BmpKind, testing::ValuesIn(pictureKinds), kindName);

// Refused: what no reader decodes, an impossible bit count, a bit field not one run of bits or
// past 16 bits, masks in the rows, top-down RLE, a tiny file that declares a huge picture.
TEST(BmpKind, WhatCannotBeDecodedIsRefused) {
    Bytes odd = kindFile({24, 0, 40, 0, 0}), huge = kindFile({1, 0, 40, 0, 0}), got;
    Bytes gap = kindFile({16, 3, 40, 0, 0, 0, {5, 5, 5}}), wide = gap, inRows = gap;
    std::string header;
    odd[28] = 7;
    huge[18] = huge[19] = huge[22] = huge[23] = 0x1F;  // 7967 × 7967
    gap[54] = 0x05;                                    // red mask 0x7C05
    wide[55] = 0xFC, wide[56] = 1;                     // red mask 0x1FC00: past 16 bits
    put32(inRows, 10, 54);                             // the masks where the rows start
    for (const auto& [name, file] : {std::pair{"noReaderDecodes", Bytes(64, 'x')},
                                     {"bitCount7", odd},
                                     {"huge", huge},
                                     {"maskWithAGap", gap},
                                     {"maskPast16Bits", wide},
                                     {"masksInTheRows", inRows},
                                     {"rle8TopDown", kindFile({8, 1, 40, 1, 1})},
                                     {"rle4TopDown", kindFile({4, 2, 40, 1, 0})}})
        EXPECT_FALSE(load(file, got, header)) << name;
    Bytes overlong = kindFile({8, 1, 40, 0, 0, 1});
    overlong[72] = 3;  // the bottom line's last run goes 2 pixels past its end: clipped
    EXPECT_TRUE(load(overlong, got, header) && got == kindPicture({8, 1, 40, 0, 0, 1}));
}

}  // namespace
