// Saving where a save cannot or must not happen: a read-only folder or file, a full disk,
// a device, FIFO or folder in the file's place. Each save fails, leaves what was there
// byte for byte, and leaves no temporary file behind. And a save through a symbolic link
// replaces the file it names, keeping that file's mode.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bmpSupport.h"
#include "image/Image.h"
#include "readOnlyPlace.h"
#include "tests/support/fullDisk.h"

namespace {

const Bytes kept = {'t', 'h', 'e', ' ', 'o', 'l', 'd', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};

// Saves a 3 × 2 grey picture; true when writeBmp says it was written.
bool savePicture(const std::string& path) {
    const Bytes grey = randomBytes(6, 9);
    Image image;
    return image.create(3, 2, 8) && image.writeBmp(path.c_str(), grey.data(), 3, 2, 8);
}

mode_t modeOf(const std::string& path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_mode;
}

TEST(SaveRefused, ReadOnlyFolderKeepsTheFileThatWasThere) {
    TempDir dir;
    writeFile(dir.file("kept.bmp"), kept);
    {
        ReadOnlyPlace readOnly(dir.file(""));
        if (!readOnly.works()) {
            GTEST_SKIP() << "this file system cannot make a folder read-only for root";
        }
        EXPECT_FALSE(savePicture(dir.file("kept.bmp")));
        EXPECT_FALSE(savePicture(dir.file("new.bmp")));
    }
    EXPECT_EQ(readFile(dir.file("kept.bmp")), kept);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"kept.bmp"});
}

TEST(SaveRefused, ReadOnlyFileIsNotReplaced) {
    TempDir dir;
    writeFile(dir.file("kept.bmp"), kept);
    {
        ReadOnlyPlace readOnly(dir.file("kept.bmp"));
        if (!readOnly.works()) {
            GTEST_SKIP() << "this file system cannot make a file read-only for root";
        }
        EXPECT_FALSE(savePicture(dir.file("kept.bmp")));
    }
    EXPECT_EQ(readFile(dir.file("kept.bmp")), kept);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"kept.bmp"});
}

TEST(SaveRefused, FullDiskKeepsTheFileThatWasThere) {
    TempDir dir;
    writeFile(dir.file("kept.bmp"), kept);
    {
        // Room for the headers, not for the palette and the rows.
        FullDisk full(100);
        EXPECT_FALSE(savePicture(dir.file("kept.bmp")));
        EXPECT_FALSE(savePicture(dir.file("new.bmp")));
    }
    EXPECT_EQ(readFile(dir.file("kept.bmp")), kept);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"kept.bmp"});
}

TEST(SaveRefused, FifoInThePlaceStaysAFifo) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.bmp").c_str(), 0600), 0);
    EXPECT_FALSE(savePicture(dir.file("pipe.bmp")));
    EXPECT_TRUE(S_ISFIFO(modeOf(dir.file("pipe.bmp"))));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"pipe.bmp"});
}

TEST(SaveRefused, FolderInThePlaceStaysAFolder) {
    TempDir dir;
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("folder.bmp")));
    EXPECT_FALSE(savePicture(dir.file("folder.bmp")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.bmp")));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"folder.bmp"});
}

// /dev/null is a device: a save onto it must not replace the device by a file, whoever
// runs the program.
TEST(SaveRefused, DeviceIsLeftAlone) {
    EXPECT_FALSE(savePicture("/dev/null"));
    EXPECT_TRUE(S_ISCHR(modeOf("/dev/null")));
}

TEST(SaveThroughLink, ReplacesTheNamedFileAndKeepsTheLink) {
    TempDir dir;
    writeFile(dir.file("real.bmp"), kept);
    std::filesystem::create_symlink(dir.file("real.bmp"), dir.file("link.bmp"));
    ASSERT_TRUE(savePicture(dir.file("link.bmp")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.bmp")));
    const Bytes saved = readFile(dir.file("real.bmp"));
    ASSERT_EQ(saved.size(), std::size_t{14 + 40 + 1024 + 8});
    EXPECT_EQ(saved[0], 'B');
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"link.bmp", "real.bmp"}));
}

TEST(SaveOverAFile, KeepsItsMode) {
    TempDir dir;
    writeFile(dir.file("private.bmp"), kept);
    ASSERT_EQ(::chmod(dir.file("private.bmp").c_str(), 0600), 0);
    ASSERT_TRUE(savePicture(dir.file("private.bmp")));
    EXPECT_EQ(modeOf(dir.file("private.bmp")) & 07777, mode_t{0600});
    EXPECT_NE(readFile(dir.file("private.bmp")), kept);
}

}  // namespace
