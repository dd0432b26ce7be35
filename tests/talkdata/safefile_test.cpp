#include "talkdata/safefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "talkdata/faultinjection.h"
#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;
using test::ReadFileBytes;
using test::WriteFileBytes;

mode_t PermissionsOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

class SafeFileTest : public ::testing::Test {
  protected:
    void TearDown() override { faults::DisarmAll(); }

    test::TempDir folder_;
    const Bytes oldBytes_ = {'o', 'l', 'd'};
    const Bytes newBytes_ = {'n', 'e', 'w', ' ', 'v', 'e', 'r', 's', 'i', 'o', 'n'};
};

TEST_F(SafeFileTest, CreatesANewFileAndLeavesNothingElseBehind) {
    const std::string target = folder_.File("table.bin");
    std::string why;
    ASSERT_TRUE(WriteFileSafely(target, newBytes_, &why)) << why;
    EXPECT_EQ(ReadFileBytes(target), newBytes_);
    EXPECT_EQ(test::ListFolder(folder_.Path()), std::vector<std::string>{"table.bin"});
}

TEST_F(SafeFileTest, NewFileGetsTheUmaskDefaultPermissions) {
    const mode_t oldMask = umask(027);
    const bool ok = WriteFileSafely(folder_.File("t.bin"), newBytes_);
    umask(oldMask);
    ASSERT_TRUE(ok);
    EXPECT_EQ(PermissionsOf(folder_.File("t.bin")), 0640u);
}

TEST_F(SafeFileTest, ReplacingKeepsTheTargetsPermissionBits) {
    const std::string target = folder_.File("table.bin");
    WriteFileBytes(target, oldBytes_);
    ASSERT_EQ(chmod(target.c_str(), 0604), 0);
    ASSERT_TRUE(WriteFileSafely(target, newBytes_));
    EXPECT_EQ(ReadFileBytes(target), newBytes_);
    EXPECT_EQ(PermissionsOf(target), 0604u);
}

TEST_F(SafeFileTest, NamedTempDoesNotFollowASymlinkPlantedAtItsName) {
    const std::string target = folder_.File("speech.vox");
    const std::string temp = folder_.File("speech.vo$");
    const std::string victim = folder_.File("victim");
    WriteFileBytes(target, oldBytes_);
    WriteFileBytes(victim, oldBytes_);
    ASSERT_EQ(symlink(victim.c_str(), temp.c_str()), 0);

    SafeFile file;
    ASSERT_TRUE(file.Begin(target, temp)) << file.GetError();
    EXPECT_EQ(file.GetTempPath(), temp);
    ASSERT_TRUE(file.Write(newBytes_.data(), newBytes_.size()));
    ASSERT_TRUE(file.Commit()) << file.GetError();

    EXPECT_EQ(ReadFileBytes(victim), oldBytes_);
    EXPECT_EQ(ReadFileBytes(target), newBytes_);
    EXPECT_FALSE(test::FileExists(temp));
}

TEST_F(SafeFileTest, NamedTempReplacesAStaleFileOfThatName) {
    const std::string target = folder_.File("speech.vox");
    const std::string temp = folder_.File("speech.vo$");
    WriteFileBytes(temp, Bytes(50, 0xEE));
    SafeFile file;
    ASSERT_TRUE(file.Begin(target, temp));
    ASSERT_TRUE(file.Write(newBytes_.data(), newBytes_.size()));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadFileBytes(target), newBytes_);
    EXPECT_EQ(test::ListFolder(folder_.Path()), std::vector<std::string>{"speech.vox"});
}

TEST_F(SafeFileTest, AbortAndDestructionDiscardTheNewVersion) {
    const std::string target = folder_.File("table.bin");
    WriteFileBytes(target, oldBytes_);
    {
        SafeFile file;
        ASSERT_TRUE(file.Begin(target));
        ASSERT_TRUE(file.Write(newBytes_.data(), newBytes_.size()));
        EXPECT_EQ(test::ListFolder(folder_.Path()).size(), 2u);
    }
    EXPECT_EQ(test::ListFolder(folder_.Path()), std::vector<std::string>{"table.bin"});
    SafeFile file;
    ASSERT_TRUE(file.Begin(target));
    file.Abort();
    EXPECT_FALSE(file.IsActive());
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(ReadFileBytes(target), oldBytes_);
    EXPECT_EQ(test::ListFolder(folder_.Path()), std::vector<std::string>{"table.bin"});
}

TEST_F(SafeFileTest, MissingFolderFailsAtBegin) {
    SafeFile file;
    EXPECT_FALSE(file.Begin(folder_.File("nowhere/table.bin")));
    EXPECT_EQ(file.GetError(), "No such file or directory");
    EXPECT_FALSE(file.Begin(""));
}

TEST_F(SafeFileTest, TargetThatIsAFolderFailsAtCommitAndStays) {
    const std::string target = folder_.File("sub");
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    WriteFileBytes(target + "/inside", oldBytes_);
    std::string why;
    EXPECT_FALSE(WriteFileSafely(target, newBytes_, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(ReadFileBytes(target + "/inside"), oldBytes_);
    EXPECT_EQ(test::ListFolder(folder_.Path()), std::vector<std::string>{"sub"});
}

TEST(FolderOf, TakesEverythingUpToTheLastSlash) {
    EXPECT_EQ(FolderOf("/data/speech.vox"), "/data/");
    EXPECT_EQ(FolderOf("data/sub/speech.vox"), "data/sub/");
    EXPECT_EQ(FolderOf("speech.vox"), "");
    EXPECT_EQ(FolderOf("a\\b.vox"), "");  // a backslash is part of the name
    EXPECT_EQ(FolderOf("/speech.vox"), "/");
}

}  // namespace
}  // namespace vox
