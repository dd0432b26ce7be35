// The output folder of pack and unpack: built beside the target, put in place in one step,
// and what killed runs left behind cleared without touching anything else.
#include "pack/outputfolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "tests/support/tempdir.h"

namespace vox::test {
namespace {

using pack::OutputFolder;

const std::vector<uint8_t> kBytes = {1, 2, 3};

class OutputFolderTest : public ::testing::Test {
  protected:
    std::string Target() const { return dir_.File("db"); }
    void MakeFolder(const std::string& name) {
        ASSERT_EQ(mkdir(dir_.File(name).c_str(), 0755), 0) << name;
        WriteText(dir_.File(name) + "/inside", "x");
    }

    TempDir dir_;
};

TEST_F(OutputFolderTest, BuildsBesideTheTargetAndAppearsOnlyOnCommitAlsoThroughALink) {
    {
        // Without a commit it removes its temporary folder and the parents it made.
        OutputFolder out;
        std::string why;
        ASSERT_TRUE(out.Check(dir_.File("a/b/db"), why) && out.Create(why)) << why;
        ASSERT_TRUE(out.WriteFile("x", kBytes, why)) << why;
    }
    EXPECT_TRUE(ListFolder(dir_.Path()).empty());
    OutputFolder out;
    std::string why;
    ASSERT_TRUE(out.Check(Target() + "/", why) && out.Create(why)) << why;
    ASSERT_TRUE(out.MakeSubfolder("waves", why) && out.WriteFile("waves/a.wav", kBytes, why))
        << why;
    const std::string temp = out.TemporaryPath();
    EXPECT_EQ(temp.rfind(Target() + ".partial-" + std::to_string(getpid()) + "-", 0), 0u) << temp;
    EXPECT_FALSE(FileExists(Target()));
    ASSERT_TRUE(out.Commit(why)) << why;
    EXPECT_EQ(ReadFileBytes(Target() + "/waves/a.wav"), kBytes);
    EXPECT_EQ(ListFolder(dir_.Path()), std::vector<std::string>{"db"});

    // A folder that a link names is replaced, and the link stays.
    ASSERT_EQ(mkdir(dir_.File("real").c_str(), 0755), 0);
    ASSERT_EQ(symlink("real", dir_.File("link").c_str()), 0);
    OutputFolder linked;
    ASSERT_TRUE(linked.Check(dir_.File("link"), why) && linked.Create(why) &&
                linked.WriteFile("x", kBytes, why) && linked.Commit(why))
        << why;
    struct stat info {};
    ASSERT_EQ(lstat(dir_.File("link").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFileBytes(dir_.File("real/x")), kBytes);
}

TEST_F(OutputFolderTest, RefusesWhatCannotBeReplacedInOneStep) {
    WriteText(dir_.File("file"), "mine");
    ASSERT_EQ(symlink("nowhere", dir_.File("dangling").c_str()), 0);
    MakeFolder("full");
    const struct {
        std::string path;
        std::string why;
    } cases[] = {
        {dir_.File("file"), dir_.File("file") + ": exists and is not a folder"},
        {dir_.File("full"), dir_.File("full") + ": the folder is not empty"},
        {dir_.File("dangling"), dir_.File("dangling") + ": No such file or directory"},
        {dir_.Path() + "/.", dir_.Path() + "/.: name the folder itself"},
        {dir_.Path() + "/..", dir_.Path() + "/..: name the folder itself"},
        {"/", "/: name the folder itself"},
        {"", "no folder given"},
    };
    for (const auto& c : cases) {
        OutputFolder out;
        std::string why;
        EXPECT_FALSE(out.Check(c.path, why)) << c.path;
        EXPECT_EQ(why.rfind(c.why, 0), 0u) << why;
    }
    EXPECT_EQ(ListFolder(dir_.Path()), (std::vector<std::string>{"dangling", "file", "full"}));
    EXPECT_EQ(ListFolder(dir_.File("full")), std::vector<std::string>{"inside"});
}

// Only folders named after this target, with our mark, whose process is gone, go; Create
// sweeps them too.
TEST_F(OutputFolderTest, ClearsOnlyTheStaleTemporaryFoldersOfItsTarget) {
    const pid_t child = fork();  // a pid that ran a moment ago and runs no more
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    const std::string gone = std::to_string(child);
    const std::string alive = std::to_string(getpid());
    std::vector<std::string> kept = {
        "db.partial-" + alive + "-Ab12Cd",  // a run still going
        "db.partial-" + gone + "-Ab12",     // not a name mkdtemp makes
        "db.partial-" + gone + "-Ab_2Cd",    "db.partial-x" + gone + "-Ab12Cd",
        "dbx.partial-" + gone + "-Ab12Cd",  // another target's
        "other.partial-" + gone + "-Ab12Cd",
    };
    for (const std::string& name : kept) MakeFolder(name);
    MakeFolder("db.partial-" + gone + "-Ab12Cd");
    kept.push_back("db.partial-" + gone + "-zzzzzz");
    WriteText(dir_.File(kept.back()), "a file, not a folder of ours");
    EXPECT_EQ(pack::SweepStalePartials(dir_.Path(), "db"), 1);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(ListFolder(dir_.Path()), kept);

    MakeFolder("db.partial-" + gone + "-Zz99Yy");
    OutputFolder out;
    std::string why;
    ASSERT_TRUE(out.Check(Target(), why) && out.Create(why)) << why;
    EXPECT_FALSE(FileExists(dir_.File("db.partial-" + gone + "-Zz99Yy")));
}

}  // namespace
}  // namespace vox::test
