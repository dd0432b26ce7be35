#include "talkdata/safefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;
using test::ReadFileBytes;
using test::WriteFileBytes;
using Names = std::vector<std::string>;

unsigned PermissionsOf(const std::string& path) {
    return static_cast<unsigned>(std::filesystem::status(path).permissions());
}

class SafeFileTest : public ::testing::Test {
  protected:
    test::TempDir folder_;
    const std::string target_ = folder_.File("speech.vox");
    const std::string temp_ = folder_.File("speech.vo$");
    const Bytes old_ = {'o', 'l', 'd'};
    const Bytes new_ = {'n', 'e', 'w', ' ', 'v', 'e', 'r', 's', 'i', 'o', 'n'};
};

TEST_F(SafeFileTest, ANewFileGetsTheUmasksPermissionsAReplacedOneKeepsItsOwn) {
    const mode_t oldMask = umask(027);
    const bool ok = WriteFileSafely(target_, new_);
    umask(oldMask);
    ASSERT_TRUE(ok);
    EXPECT_EQ(PermissionsOf(target_), 0640u);
    ASSERT_EQ(chmod(target_.c_str(), 0604), 0);
    ASSERT_TRUE(WriteFileSafely(target_, old_));
    EXPECT_EQ(ReadFileBytes(target_), old_);
    EXPECT_EQ(PermissionsOf(target_), 0604u);
    EXPECT_EQ(test::ListFolder(folder_.Path()), Names{"speech.vox"});
}

TEST_F(SafeFileTest, ANamedTempNeverFollowsALinkPlantedAtItsName) {
    const std::string victim = folder_.File("victim");
    WriteFileBytes(victim, old_);
    ASSERT_EQ(symlink(victim.c_str(), temp_.c_str()), 0);
    SafeFile file;
    ASSERT_TRUE(file.Begin(target_, temp_)) << file.GetError();
    ASSERT_TRUE(file.Write(new_.data(), new_.size()));
    ASSERT_TRUE(file.Commit()) << file.GetError();
    EXPECT_EQ(ReadFileBytes(target_), new_);
    EXPECT_EQ(ReadFileBytes(victim), old_);
    EXPECT_EQ(test::ListFolder(folder_.Path()), (Names{"speech.vox", "victim"}));
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
    EXPECT_TRUE(test::ListFolder(folder_.Path()).empty());
    ASSERT_EQ(mkdir(target_.c_str(), 0755), 0);
    WriteFileBytes(target_ + "/inside", old_);
    EXPECT_FALSE(WriteFileSafely(target_, new_));
    EXPECT_EQ(ReadFileBytes(target_ + "/inside"), old_);
    EXPECT_EQ(test::ListFolder(folder_.Path()), Names{"speech.vox"});
}

TEST(FolderOf, TakesEverythingUpToTheLastSlash) {
    const std::pair<const char*, const char*> cases[] = {
        {"/data/speech.vox", "/data/"},
        {"speech.vox", ""},
        {"a\\b.vox", ""},  // a backslash is part of the name
        {"/speech.vox", "/"},
    };
    for (const auto& [path, folder] : cases) EXPECT_EQ(FolderOf(path), folder) << path;
}

}  // namespace
}  // namespace vox
