#include "talkdata/mappedfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "talkdata/faultinjection.h"
#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;
using test::ReadFileBytes;
using test::WriteFileBytes;

uint64_t SizeOnDisk(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0);
    return static_cast<uint64_t>(info.st_size);
}

// A file of the given size that costs no disk space, with some bytes written at its start.
void MakeSparseFile(const std::string& path, uint64_t size, const Bytes& start = {}) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    if (!start.empty()) {
        ASSERT_EQ(write(fd, start.data(), start.size()), static_cast<ssize_t>(start.size()));
    }
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
    close(fd);
}

class MappedFileTest : public ::testing::Test {
  protected:
    void SetUp() override { WriteFileBytes(path_, content_); }
    void TearDown() override { faults::DisarmAll(); }

    test::TempDir folder_;
    const std::string path_ = folder_.File("talk.vox");
    const Bytes content_ = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
};

TEST_F(MappedFileTest, OpenFailures) {
    MappedFile file;
    EXPECT_FALSE(file.Open(folder_.File("missing.vox"), 1));
    EXPECT_EQ(file.GetError(), "No such file or directory");
    EXPECT_FALSE(test::FileExists(folder_.File("missing.vox")));  // never created

    WriteFileBytes(folder_.File("empty.vox"), {});
    EXPECT_FALSE(file.Open(folder_.File("empty.vox"), 0));
    EXPECT_EQ(file.GetError(), "file is empty");
    EXPECT_EQ(file.At(0), nullptr);

    EXPECT_FALSE(file.Open(folder_.Path(), 0));
    EXPECT_EQ(file.GetError(), "not a regular file");
    ASSERT_EQ(mkfifo(folder_.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(file.Open(folder_.File("fifo"), 0));  // returns at once, no writer awaited
    EXPECT_EQ(file.GetError(), "not a regular file");
}

TEST_F(MappedFileTest, ReadOnlyOpenCannotWrite) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 0));
    EXPECT_EQ(fcntl(file.GetFd(), F_GETFL) & O_ACCMODE, O_RDONLY);
    const uint8_t extra[] = {0xAA};
    EXPECT_EQ(file.Append(extra, 1), MappedFile::kAppendFailed);
    EXPECT_EQ(file.GetError(), "file is opened read-only");
    EXPECT_TRUE(file.Flush());
    file.Close();
    EXPECT_EQ(ReadFileBytes(path_), content_);
}

TEST_F(MappedFileTest, AppendFailingMidwayTakesThePartialTailBackOff) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 1));
    const Bytes big(3u << 20, 0x5A);
    faults::Arm("mappedfile.append", 1);  // the first piece is written, the second fails
    EXPECT_EQ(file.Append(big.data(), static_cast<uint32_t>(big.size())),
              MappedFile::kAppendFailed);
    EXPECT_EQ(SizeOnDisk(path_), 10u);
    faults::DisarmAll();
    EXPECT_EQ(file.Append(big.data(), static_cast<uint32_t>(big.size())), 10u);
    EXPECT_EQ(SizeOnDisk(path_), 10u + big.size());
    EXPECT_EQ(*file.At(10 + (3u << 20) - 1), 0x5A);
}

TEST_F(MappedFileTest, AppendRefusesToPass4GiB) {
    const std::string big = folder_.File("big.vox");
    MakeSparseFile(big, 0xFFFFFFFCull);
    MappedFile file;
    ASSERT_TRUE(file.Open(big, 1)) << file.GetError();
    const uint8_t extra[] = {1, 2, 3, 4};
    EXPECT_EQ(file.Append(extra, 4), MappedFile::kAppendFailed);
    EXPECT_EQ(file.GetError(), "file would pass 4 GiB");
    EXPECT_EQ(SizeOnDisk(big), 0xFFFFFFFCull);

    EXPECT_EQ(file.Append(extra, 3), 0xFFFFFFFCu);  // up to 4 GiB - 1 is fine
    EXPECT_EQ(file.GetSize(), 0xFFFFFFFFu);
    EXPECT_EQ(*file.At(0xFFFFFFFE), 3);
    EXPECT_EQ(file.Append(extra, 1), MappedFile::kAppendFailed);
    EXPECT_EQ(SizeOnDisk(big), 0xFFFFFFFFull);
}

TEST_F(MappedFileTest, FileOf4GiBIsRefused) {
    const std::string big = folder_.File("big.vox");
    MakeSparseFile(big, 0x100000000ull);
    MappedFile file;
    EXPECT_FALSE(file.Open(big, 0));
    EXPECT_EQ(file.GetError(), "file is larger than 4 GiB");
}

TEST_F(MappedFileTest, AnAppendPastTheReserveMovesTheViewWithItsGuard) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 1));
    const Bytes big((65u << 20) + 3, 0x3C);  // more than any reserve of a 10-byte file
    ASSERT_EQ(file.Append(big.data(), static_cast<uint32_t>(big.size())), 10u);
    ASSERT_EQ(file.GetSize(), 10u + big.size());
    EXPECT_EQ(*file.At(9), 10);
    EXPECT_EQ(*file.At(file.GetSize() - 1), 0x3C);
    const uint8_t tail[] = {7};
    ASSERT_EQ(file.Append(tail, 1), 10u + big.size());
    EXPECT_EQ(*file.At(file.GetSize() - 1), 7);

    // Cut short by another program: the read past the new end is contained in the moved view.
    const volatile uint8_t* beyond = file.At(50u << 20);
    ASSERT_NE(beyond, nullptr);
    const int fd = open(path_.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 4096), 0);
    close(fd);
    EXPECT_EQ(*beyond, 0);
    EXPECT_TRUE(file.IsDamaged());
    EXPECT_EQ(file.Append(tail, 1), MappedFile::kAppendFailed);
    EXPECT_EQ(SizeOnDisk(path_), 4096u);
}

TEST_F(MappedFileTest, RemapPicksUpGrowthFromOutside) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 0));
    Bytes grown = content_;
    grown.push_back(0x42);
    WriteFileBytes(path_, grown);
    EXPECT_EQ(file.GetSize(), 10u);
    ASSERT_TRUE(file.Remap());
    EXPECT_EQ(file.GetSize(), 11u);
    EXPECT_EQ(*file.At(10), 0x42);
}

// Appends grow the view in place while they fit its reserve and move it once they do not;
// either way the view must show the file byte for byte, take stores, and stay guarded.
TEST_F(MappedFileTest, ManyAppendsShowTheFileByteForByteAndTakeStores) {
    MappedFile file;
    ASSERT_TRUE(file.Open(path_, 1));
    Bytes expected = content_;
    for (uint32_t i = 0; i < 300; ++i) {
        const Bytes block(1 + i * 37 % 5000, static_cast<uint8_t>(i));
        ASSERT_EQ(file.Append(block.data(), static_cast<uint32_t>(block.size())),
                  static_cast<uint32_t>(expected.size()));
        expected.insert(expected.end(), block.begin(), block.end());
    }
    ASSERT_EQ(file.GetSize(), expected.size());
    EXPECT_EQ(file.At(file.GetSize()), nullptr);
    *file.At(file.GetSize() - 1) = 0xEE;  // a store into the newest bytes
    expected.back() = 0xEE;
    ASSERT_TRUE(file.Flush());
    EXPECT_EQ(Bytes(file.Bytes().begin(), file.Bytes().end()), expected);
    EXPECT_EQ(ReadFileBytes(path_), expected);
}

}  // namespace
}  // namespace vox
