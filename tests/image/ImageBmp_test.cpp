// BMP files written and read by Image, checked against the test's own BMP builder.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

#include "bmpSupport.h"
#include "image/Image.h"

namespace {

Bytes blockOf(const Image& image) {
    return Bytes(image.bitmapInfo.get(), image.bitmapInfo.get() + image.bitmapInfoBytes);
}

Bytes pixelsOf(const Image& image) {
    const std::size_t n = static_cast<std::size_t>(image.width4bytes) * image.height;
    return Bytes(image.pixels.get(), image.pixels.get() + n);
}

std::int32_t storedHeight(const Image& image) {
    BitmapInfoHeader info{};
    std::memcpy(&info, image.bitmapInfo.get(), sizeof info);
    return info.height;
}

TEST(ImageWriteBmp, Grey320x240FileHasTheSavedLayout) {
    TempDir dir;
    const Bytes picture = randomBytes(320 * 240, 1);
    Image image;
    ASSERT_TRUE(image.writeBmp(dir.file("grey.bmp").c_str(), picture.data(), 320, 240, 8));
    const Bytes file = readFile(dir.file("grey.bmp"));
    ASSERT_EQ(file.size(), 77878u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(get32(file, 2), 77878u);
    EXPECT_EQ(get32(file, 6), 0u);  // both reserved words
    EXPECT_EQ(get32(file, 10), 1078u);
    EXPECT_EQ(get32(file, 14), 40u);
    EXPECT_EQ(get32(file, 18), 320u);
    EXPECT_EQ(get32(file, 22), 240u);
    EXPECT_EQ(get32(file, 26), 1u | 8u << 16);  // planes, bit count
    EXPECT_EQ(get32(file, 30), 0u);
    EXPECT_EQ(get32(file, 34), 76800u);
    EXPECT_EQ(get32(file, 38), 0u);
    EXPECT_EQ(get32(file, 42), 0u);
    EXPECT_EQ(get32(file, 46), 256u);
    EXPECT_EQ(get32(file, 50), 0u);
    EXPECT_EQ(get32(file, 54 + 4 * 255), 0x00FFFFFFu);
    // The whole file, palette and bottom-up rows included, is what the test's builder makes.
    EXPECT_EQ(file, buildBmp({320, 240, 8, 40, 256, fileRows(picture, 320, 240, 8, false)}));
}

TEST(ImageWriteBmp, Colour320x240FileHasNoPalette) {
    TempDir dir;
    const Bytes picture = randomBytes(320 * 240 * 3, 2);
    Image image;
    ASSERT_TRUE(image.writeBmp(dir.file("c.bmp").c_str(), picture.data(), 320, 240, 24));
    const Bytes file = readFile(dir.file("c.bmp"));
    ASSERT_EQ(file.size(), 230454u);
    EXPECT_EQ(get32(file, 10), 54u);
    EXPECT_EQ(get32(file, 46), 0u);
    EXPECT_EQ(file, buildBmp({320, 240, 24, 40, 0, fileRows(picture, 320, 240, 24, false)}));
}

TEST(ImageWriteBmp, Colour3x2RowsHaveThreeAlignmentBytes) {
    TempDir dir;
    const Bytes picture = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    Image image;
    ASSERT_TRUE(image.writeBmp(dir.file("s.bmp").c_str(), picture.data(), 3, 2, 24));
    const Bytes file = readFile(dir.file("s.bmp"));
    ASSERT_EQ(file.size(), 78u);
    EXPECT_EQ(get32(file, 2), 78u);
    EXPECT_EQ(get32(file, 34), 24u);
    const Bytes rows(file.begin() + 54, file.end());
    EXPECT_EQ(rows, (Bytes{10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0,  //
                           1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0}));
}

// Save with no grey frame yet: the block create made is written, all 0.
TEST(ImageWriteBmp, CreatedImageWithoutSourceWritesZeros) {
    TempDir dir;
    Image image;
    ASSERT_TRUE(image.create(5, 3, 8));
    ASSERT_TRUE(image.writeBmp(dir.file("z.bmp").c_str(), nullptr, 5, 3, 8));
    EXPECT_EQ(readFile(dir.file("z.bmp")), buildBmp({5, 3, 8, 40, 256, Bytes(24, 0)}));
}

TEST(ImageWriteBmp, EmptyImageMakesNoFile) {
    TempDir dir;
    Image image;
    EXPECT_FALSE(image.writeBmp(dir.file("none.bmp").c_str(), nullptr, 4, 4, 8));
    EXPECT_TRUE(dir.entries().empty());
}

TEST(ImageWriteBmp, MissingFolderIsRefused) {
    TempDir dir;
    const Bytes picture(16, 3);
    Image image;
    EXPECT_FALSE(image.writeBmp(dir.file("absent/x.bmp").c_str(), picture.data(), 4, 4, 8));
    EXPECT_TRUE(dir.entries().empty());
}

TEST(ImageWriteBmp, ReplacesALargerFileWholly) {
    TempDir dir;
    writeFile(dir.file("old.bmp"), Bytes(5000, 0x5A));
    const Bytes picture(2 * 2, 7);
    Image image;
    ASSERT_TRUE(image.writeBmp(dir.file("old.bmp").c_str(), picture.data(), 2, 2, 8));
    EXPECT_EQ(readFile(dir.file("old.bmp")).size(), 1078u + 8u);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"old.bmp"});
}

// mkstemp makes 0600 files; a saved picture gets 0644 less the umask, like any new file.
TEST(ImageWriteBmp, FileModeFollowsTheUmask) {
    TempDir dir;
    const Bytes picture(4, 1);
    Image image;
    const mode_t before = ::umask(022);
    ASSERT_TRUE(image.writeBmp(dir.file("a.bmp").c_str(), picture.data(), 2, 2, 8));
    ::umask(077);
    ASSERT_TRUE(image.writeBmp(dir.file("b.bmp").c_str(), picture.data(), 2, 2, 8));
    ::umask(before);
    struct stat a {};
    struct stat b {};
    ASSERT_EQ(::stat(dir.file("a.bmp").c_str(), &a), 0);
    ASSERT_EQ(::stat(dir.file("b.bmp").c_str(), &b), 0);
    EXPECT_EQ(a.st_mode & 0777, 0644u);
    EXPECT_EQ(b.st_mode & 0777, 0600u);
}

// The temporary file is written in full, then the rename onto a folder fails: the folder
// stays, and the temporary file is removed.
TEST(ImageWriteBmpFailure, TargetThatIsAFolderStaysAndNoTemporaryIsLeft) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("target.bmp"));
    writeFile(dir.file("target.bmp/inside"), Bytes{1, 2, 3});
    const Bytes picture(64, 1);
    Image image;
    EXPECT_FALSE(image.writeBmp(dir.file("target.bmp").c_str(), picture.data(), 8, 8, 8));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("target.bmp")));
    EXPECT_EQ(readFile(dir.file("target.bmp/inside")), (Bytes{1, 2, 3}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"target.bmp"});
}

TEST(ImageWriteBmpFailure, FolderThatIsAFileIsRefused) {
    TempDir dir;
    writeFile(dir.file("plain"), Bytes{9});
    const Bytes picture(64, 1);
    Image image;
    EXPECT_FALSE(image.writeBmp(dir.file("plain/x.bmp").c_str(), picture.data(), 8, 8, 8));
    EXPECT_EQ(readFile(dir.file("plain")), Bytes{9});
}

// Writes a 320 × 240 grey picture while the process may not write files beyond 4 KiB.
bool writeUnderFileSizeLimit(const std::string& path, const Bytes& picture) {
    std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead
    rlimit limit{};
    limit.rlim_cur = 4096;
    limit.rlim_max = RLIM_INFINITY;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        return true;  // no limit, no failing write: the test fails
    }
    Image image;
    return image.writeBmp(path.c_str(), picture.data(), 320, 240, 8);
}

// A write that fails half way (the pixel rows hit the file-size limit) leaves the existing file
// untouched and no temporary beside it. Run in a child process so the file-size limit ends with it.
TEST(ImageWriteBmpFailure, WriteCutShortLeavesTheExistingFileIntact) {
    TempDir dir;
    const std::string target = dir.file("frame.bmp");
    const Bytes old = randomBytes(300, 3);
    writeFile(target, old);
    const Bytes picture = randomBytes(320 * 240, 4);
    EXPECT_EXIT(std::_Exit(writeUnderFileSizeLimit(target, picture) ? 1 : 0),
                testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"frame.bmp"});
}

// setData -> writeBmp -> readBmp -> getData gives back the picture, the file is what the
// builder makes, and the image read holds the same headers, block and rows as the writer.
struct Shape {
    int bitCount;
    int width;
    int height;
};

std::string shapeName(const testing::TestParamInfo<Shape>& row) {
    return std::to_string(row.param.bitCount) + "bit_" + std::to_string(row.param.width) + "x" +
           std::to_string(row.param.height);
}

std::vector<Shape> shapes() {
    std::vector<Shape> all;
    for (int bits : {8, 24}) {
        for (int w = 1; w <= 9; ++w) {
            for (int h : {1, 2, 3})
                all.push_back({bits, w, h});
        }
    }
    return all;
}

class BmpRoundTrip : public testing::TestWithParam<Shape> {};

TEST_P(BmpRoundTrip, BottomUpFileGivesThePictureBack) {
    const auto [bits, w, h] = GetParam();
    const Bytes picture =
        randomBytes(static_cast<std::size_t>(w * h * bits / 8), static_cast<unsigned>(w + h));
    TempDir dir;
    const std::string path = dir.file("p.bmp");
    Image writer;
    ASSERT_TRUE(writer.writeBmp(path.c_str(), picture.data(), w, h, bits));
    const std::uint32_t colours = bits == 8 ? 256 : 0;
    EXPECT_EQ(readFile(path), buildBmp({w, h, static_cast<std::uint16_t>(bits), 40, colours,
                                        fileRows(picture, w, h, bits, false)}));

    Image reader;
    ASSERT_TRUE(reader.readBmp(path.c_str()));
    EXPECT_EQ(std::memcmp(&reader.fileHeader, &writer.fileHeader, sizeof(BitmapFileHeader)), 0);
    EXPECT_EQ(blockOf(reader), blockOf(writer));
    EXPECT_EQ(pixelsOf(reader), pixelsOf(writer));
    EXPECT_EQ(reader.rowBytes, writer.rowBytes);
    EXPECT_EQ(reader.width4bytes, writer.width4bytes);
    unsigned char* out = nullptr;
    reader.getData(out);
    EXPECT_EQ(Bytes(out, out + picture.size()), picture);
    delete[] out;
}

// A top-down file keeps its rows in file order and its negative height in the block, so
// getData hands the picture on upside down; written back, it is the same file.
TEST_P(BmpRoundTrip, TopDownFileKeepsFileOrder) {
    const auto [bits, w, h] = GetParam();
    const Bytes picture = randomBytes(static_cast<std::size_t>(w * h * bits / 8), 99);
    const std::uint32_t colours = bits == 8 ? 256 : 0;
    const Bytes file = buildBmp({w, -h, static_cast<std::uint16_t>(bits), 40, colours,
                                 fileRows(picture, w, h, bits, true)});
    TempDir dir;
    writeFile(dir.file("td.bmp"), file);
    Image image;
    ASSERT_TRUE(image.readBmp(dir.file("td.bmp").c_str()));
    EXPECT_EQ(image.height, h);
    EXPECT_EQ(storedHeight(image), -h);
    EXPECT_EQ(pixelsOf(image), fileRows(picture, w, h, bits, true));

    unsigned char* out = nullptr;
    image.getData(out);
    const std::size_t packed = static_cast<std::size_t>(w) * bits / 8;
    for (int r = 0; r < h; ++r) {
        EXPECT_EQ(Bytes(out + packed * r, out + packed * (r + 1)),
                  Bytes(picture.begin() + static_cast<long>(packed * (h - 1 - r)),
                        picture.begin() + static_cast<long>(packed * (h - r))));
    }
    delete[] out;

    ASSERT_TRUE(image.writeBmp(dir.file("again.bmp").c_str(), nullptr, 0, 0, 0));
    EXPECT_EQ(readFile(dir.file("again.bmp")), file);
}

INSTANTIATE_TEST_SUITE_P(Widths1To9, BmpRoundTrip, testing::ValuesIn(shapes()), shapeName);

TEST(ImageReadBmp, Height240Negative) {
    const Bytes picture = randomBytes(320 * 240, 6);
    TempDir dir;
    writeFile(dir.file("td.bmp"),
              buildBmp({320, -240, 8, 40, 256, fileRows(picture, 320, 240, 8, true)}));
    Image image;
    ASSERT_TRUE(image.readBmp(dir.file("td.bmp").c_str()));
    EXPECT_EQ(image.width, 320);
    EXPECT_EQ(image.height, 240);
    EXPECT_EQ(storedHeight(image), -240);
    EXPECT_EQ(image.headerText(),
              "width = 320\nheight = 240\nbitCount = 8\nwidth4bytes = 320\nimageSize = 76800");
    EXPECT_EQ(std::memcmp(image.pixels.get(), picture.data(), 320), 0);  // top line first
}

// setData after reading a top-down file must not fill that block bottom-up.
TEST(ImageReadBmp, SetDataOnATopDownImageMakesABottomUpOne) {
    const Bytes picture = randomBytes(4 * 3, 7);
    TempDir dir;
    writeFile(dir.file("td.bmp"), buildBmp({4, -3, 8, 40, 256, fileRows(picture, 4, 3, 8, true)}));
    Image image;
    ASSERT_TRUE(image.readBmp(dir.file("td.bmp").c_str()));
    ASSERT_TRUE(image.setData(picture.data(), 4, 3, 8));
    EXPECT_EQ(storedHeight(image), 3);
    EXPECT_EQ(pixelsOf(image), fileRows(picture, 4, 3, 8, false));
}

TEST(ImageReadBmp, OneBitRowsNeedEightPixels) {
    TempDir dir;
    writeFile(dir.file("w7.bmp"), buildBmp({7, 2, 1, 40, 2, Bytes(8, 0xFE)}));
    writeFile(dir.file("w8.bmp"), buildBmp({8, 2, 1, 40, 2, Bytes(8, 0xFF)}));
    Image image;
    EXPECT_FALSE(image.readBmp(dir.file("w7.bmp").c_str()));
    ASSERT_TRUE(image.readBmp(dir.file("w8.bmp").c_str()));
    EXPECT_EQ(image.rowBytes, 1);
    EXPECT_EQ(image.width4bytes, 4);
    EXPECT_EQ(image.bitmapInfoBytes, 48u);
}

TEST(ImageReadBmp, SignatureMustBeBM) {
    Bytes file = buildBmp({2, 2, 8, 40, 256, Bytes(8, 1)});
    file[1] = 'A';
    TempDir dir;
    writeFile(dir.file("ba.bmp"), file);
    Image image;
    EXPECT_FALSE(image.readBmp(dir.file("ba.bmp").c_str()));
    EXPECT_EQ(field(image.fileHeader.type), 0x4142);
    EXPECT_EQ(image.bitmapInfo, nullptr);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(ImageReadBmp, EmptyFileLeavesTheHeaderZero) {
    TempDir dir;
    writeFile(dir.file("empty.bmp"), Bytes{});
    Image image;
    EXPECT_FALSE(image.readBmp(dir.file("empty.bmp").c_str()));
    const BitmapFileHeader zero{};
    EXPECT_EQ(std::memcmp(&image.fileHeader, &zero, sizeof zero), 0);
}

TEST(ImageReadBmp, MissingFileEmptiesTheImage) {
    TempDir dir;
    Image image;
    ASSERT_TRUE(image.create(4, 4, 8));
    EXPECT_FALSE(image.readBmp(dir.file("absent.bmp").c_str()));
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0);
}

TEST(ImageReadBmp, OnlyRegularFilesAreRead) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder.bmp"));
    Image image;
    EXPECT_FALSE(image.readBmp(dir.file("folder.bmp").c_str()));
    EXPECT_FALSE(image.readBmp("/dev/zero"));
}

}  // namespace
