// The two ways the data layer writes: appends to a mapped file, and whole files replaced safely.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "talkdata/mappedfile.h"
#include "talkdata/safefile.h"
#include "tests/support/tempdir.h"

namespace vox::test {
namespace {

using Names = std::vector<std::string>;

class MappedFileTest : public ::testing::Test {
  protected:
    void SetUp() override { WriteFileBytes(path_, content_); }
    // A file of the given size that costs no disk space.
    std::string SparseFile(uint64_t size) {
        const std::string path = folder_.File("big.vox");
        WriteFileBytes(path, {});
        EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
        return path;
    }

    TempDir folder_;
    const std::string path_ = folder_.File("talk.vox");
    const Bytes content_ = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
};

TEST_F(MappedFileTest, OpenTakesOnlyAFileOfOneByteTo4GiBAndAppendsStopAt4GiBMinusOne) {
    WriteFileBytes(folder_.File("empty.vox"), {});
    ASSERT_EQ(mkfifo(folder_.File("fifo").c_str(), 0600), 0);
    const std::pair<std::string, const char*> cases[] = {
        {folder_.File("empty.vox"), "file is empty"},
        {folder_.Path(), "not a regular file"},
        {folder_.File("fifo"), "not a regular file"},  // at once, no writer awaited
        {SparseFile(0x100000000ull), "file is larger than 4 GiB"},
    };
    for (const auto& [path, why] : cases) {
        MappedFile file;
        EXPECT_FALSE(file.Open(path, 0));
        EXPECT_EQ(file.GetError(), why);
    }
    const std::string big = SparseFile(0xFFFFFFFCull);
    MappedFile file;
    ASSERT_TRUE(file.Open(big, 1)) << file.GetError();
    const uint8_t extra[] = {1, 2, 3, 4};
    EXPECT_EQ(file.Append(extra, 4), MappedFile::kAppendFailed);
    EXPECT_EQ(file.GetError(), "file would pass 4 GiB");
    EXPECT_EQ(file.Append(extra, 3), 0xFFFFFFFCu);
    EXPECT_EQ(file.Append(extra, 1), MappedFile::kAppendFailed);
    EXPECT_EQ(std::filesystem::file_size(big), 0xFFFFFFFFull);
}

// Appends grow the view in place while they fit its reserve and move it once they do not;
// either way the view must show the file byte for byte, take stores, and stay guarded.
TEST_F(MappedFileTest, AppendsInPlaceAndPastTheReserveShowTheFileByteForByte) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 1));
    Bytes expected = content_;
    for (uint32_t i = 0; i < 200; ++i) {
        // Block 100 is larger than any reserve of a small file.
        const Bytes block(i == 100 ? (65u << 20) + 3 : 1 + i * 37 % 5000, static_cast<uint8_t>(i));
        ASSERT_EQ(file.Append(block.data(), static_cast<uint32_t>(block.size())),
                  static_cast<uint32_t>(expected.size()));
        expected.insert(expected.end(), block.begin(), block.end());
    }
    *file.At(file.GetSize() - 1) = 0xEE;
    expected.back() = 0xEE;
    ASSERT_TRUE(file.Flush());
    EXPECT_TRUE(ReadFileBytes(path_) == expected);

    // Cut short by another program: the read past the new end is contained in the moved view.
    const volatile uint8_t* beyond = file.At(50u << 20);
    ASSERT_NE(beyond, nullptr);
    ASSERT_EQ(truncate(path_.c_str(), 4096), 0);
    EXPECT_EQ(*beyond, 0);
    EXPECT_TRUE(file.IsDamaged());
    EXPECT_EQ(file.Append(content_.data(), 1), MappedFile::kAppendFailed);
}

class SafeFileTest : public ::testing::Test {
  protected:
    TempDir folder_;
    const std::string target_ = folder_.File("speech.vox");
    const std::string temp_ = folder_.File("speech.vo$");
    const Bytes old_ = {'o', 'l', 'd'};
    const Bytes new_ = {'n', 'e', 'w', ' ', 'v', 'e', 'r', 's', 'i', 'o', 'n'};
};

// A new file gets the umask's permissions, a replaced one keeps its own, and a link planted at
// the temporary file's name is never followed.
TEST_F(SafeFileTest, ANewFileGetsTheUmasksPermissionsAReplacedOneKeepsItsOwnAndNoLinkIsFollowed) {
    const mode_t oldMask = umask(027);
    const bool ok = WriteFileSafely(target_, old_);
    umask(oldMask);
    ASSERT_TRUE(ok);
    EXPECT_EQ(std::filesystem::status(target_).permissions(), std::filesystem::perms(0640));
    ASSERT_EQ(chmod(target_.c_str(), 0604), 0);
    const std::string victim = folder_.File("victim");
    WriteFileBytes(victim, old_);
    ASSERT_EQ(symlink(victim.c_str(), temp_.c_str()), 0);
    SafeFile file;
    ASSERT_TRUE(file.Begin(target_, temp_)) << file.GetError();
    ASSERT_TRUE(file.Write(new_.data(), new_.size()));
    ASSERT_TRUE(file.Commit()) << file.GetError();
    EXPECT_EQ(ReadFileBytes(target_), new_);
    EXPECT_EQ(std::filesystem::status(target_).permissions(), std::filesystem::perms(0604));
    EXPECT_EQ(ReadFileBytes(victim), old_);
    EXPECT_EQ(ListFolder(folder_.Path()), (Names{"speech.vox", "victim"}));
}

TEST_F(SafeFileTest, WhatIsNotCommittedIsNotWrittenAndAFolderIsNeverReplaced) {
    {
        SafeFile file;
        EXPECT_FALSE(file.Begin(folder_.File("nowhere/table.bin")));
        EXPECT_EQ(file.GetError(), "No such file or directory");
        EXPECT_FALSE(file.Begin(""));
        ASSERT_TRUE(file.Begin(target_));
        ASSERT_TRUE(file.Write(new_.data(), new_.size()));
    }
    EXPECT_TRUE(ListFolder(folder_.Path()).empty());
    ASSERT_EQ(mkdir(target_.c_str(), 0755), 0);
    WriteFileBytes(target_ + "/inside", old_);
    EXPECT_FALSE(WriteFileSafely(target_, new_));
    EXPECT_EQ(ReadFileBytes(target_ + "/inside"), old_);
    EXPECT_EQ(ListFolder(folder_.Path()), Names{"speech.vox"});
}

}  // namespace
}  // namespace vox::test
