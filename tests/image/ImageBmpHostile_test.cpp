// Odd and hostile BMP files: each is refused or loads exactly as its row says, never reads
// beyond the bytes in the file (the sanitizer build checks that) and never makes a block
// out of proportion to the file.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "bmpCases.h"
#include "bmpSupport.h"
#include "image/Image.h"

namespace {

class BmpFile : public testing::TestWithParam<BmpCase> {};

TEST_P(BmpFile, LoadsOrIsRefusedAsPinned) {
    const BmpCase& c = GetParam();
    TempDir dir;
    writeFile(dir.file("case.bmp"), c.file);
    Image image;
    ASSERT_EQ(image.readBmp(dir.file("case.bmp").c_str()), c.loads);
    if (!c.loads)
        return;
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_EQ(image.bitCount, c.bitCount);
    ASSERT_EQ(image.bitmapInfoBytes, c.infoBytes);
    // The block is the file's bytes 14 up to the pixel data, as they stand.
    EXPECT_EQ(std::memcmp(image.bitmapInfo.get(), c.file.data() + 14, c.infoBytes), 0);
    BitmapInfoHeader info{};
    std::memcpy(&info, image.bitmapInfo.get(), sizeof info);
    EXPECT_EQ(field(info.height), c.storedHeight);
    ASSERT_EQ(static_cast<std::size_t>(image.width4bytes) * image.height, c.pixelBytes);
    const unsigned char* pixels = image.pixels.get();
    EXPECT_EQ(Bytes(pixels, pixels + c.present.size()), c.present);
    const std::size_t firstNonZero = std::find_if(pixels + c.present.size(), pixels + c.pixelBytes,
                                                  [](unsigned char v) { return v != 0; }) -
                                     pixels;
    EXPECT_EQ(firstNonZero, c.pixelBytes) << "missing bytes must read as 0";
}

INSTANTIATE_TEST_SUITE_P(Cases, BmpFile, testing::ValuesIn(bmpCases()),
                         [](const testing::TestParamInfo<BmpCase>& row) { return row.param.name; });

// A loaded odd file is written back byte for byte: the whole info block goes out, so the
// pixel-data offset stays true for larger headers and short palettes too.
TEST(BmpFileWriteBack, LoadedFilesAreWrittenBackUnchanged) {
    for (const BmpCase& c : bmpCases()) {
        if (!c.loads || c.file.size() < 14 + c.infoBytes + c.pixelBytes)
            continue;
        TempDir dir;
        writeFile(dir.file("in.bmp"), c.file);
        Image image;
        ASSERT_TRUE(image.readBmp(dir.file("in.bmp").c_str())) << c.name;
        ASSERT_TRUE(image.writeBmp(dir.file("out.bmp").c_str(), nullptr, 0, 0, 0)) << c.name;
        EXPECT_EQ(readFile(dir.file("out.bmp")), c.file) << c.name;
    }
}

// The seed corpus in tests/data/bmp is exactly the small files of the table.
TEST(BmpCorpus, MatchesTheTable) {
    std::set<std::string> expected;
    for (const BmpCase& c : bmpCases()) {
        if (c.file.size() > goldenFileLimit)
            continue;
        const std::string name = c.name + ".bmp";
        expected.insert(name);
        EXPECT_EQ(readFile(std::string(BMP_CORPUS_DIR) + "/" + name), c.file)
            << name << " differs; regenerate with image_bmp_corpus";
    }
    std::set<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(BMP_CORPUS_DIR)) {
        if (e.path().extension() == ".bmp")
            found.insert(e.path().filename().string());
    }
    EXPECT_EQ(found, expected);
}

}  // namespace
