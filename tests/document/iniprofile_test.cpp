// The profile file: values survive the file, and its sections and keys keep their order.
#include "talkdata/iniprofile.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::TempDir;

// Any value surviving the text is the fuzz target's to show; here, the file and its folders.
TEST(IniProfile, ValuesSurviveTheFileWrittenIntoFoldersThatDidNotExist) {
    TempDir dir;
    const std::string path = dir.File("deep/er/voxbench.ini");
    {
        IniProfile profile(path);
        profile.WriteString("Data", "Phrases", "/tmp/a\\b c/phrases.csv");
        profile.WriteString("EvalNames", "EvalName0", "two\nlines ");
        profile.WriteInt("EvalNames", "MaxEvals", 2);
        ASSERT_TRUE(profile.Flush()) << profile.GetError();
    }
    IniProfile again(path);
    EXPECT_EQ(again.GetString("Data", "Phrases", ""), "/tmp/a\\b c/phrases.csv");
    EXPECT_EQ(again.GetString("EvalNames", "EvalName0", ""), "two\nlines ");
    EXPECT_EQ(again.GetInt("EvalNames", "MaxEvals", 0), 2);
}

TEST(IniProfile, RepeatedSectionsMergeAndARepeatedKeyKeepsItsPlaceWithTheLastValue) {
    IniProfile profile("/nonexistent/never-written.ini");
    profile.ParseText("; comment\r\n[A]\r\nx=1\ny = 2\n\n[B]\nz=3\n[A]\nx=4\nw=5\n");
    EXPECT_EQ(profile.GetString("A", "x", ""), "4");
    EXPECT_EQ(profile.ToText(), "[A]\nx=4\ny= 2\nw=5\n\n[B]\nz=3\n");

    // A new value goes behind the section's others, a new section behind the file's others.
    profile.WriteString("B", "v", "6");
    profile.WriteString("C", "u", "7");
    profile.WriteString("A", "y", "8");
    EXPECT_EQ(profile.ToText(), "[A]\nx=4\ny=8\nw=5\n\n[B]\nz=3\nv=6\n\n[C]\nu=7\n");

    // A second parse starts from nothing: no key of the first text is left behind.
    profile.ParseText("[C]\nu=9\n");
    EXPECT_EQ(profile.ToText(), "[C]\nu=9\n");
}

TEST(IniProfile, ReadOnlyProfileNeverWritesItsFile) {
    TempDir dir;
    const std::string path = dir.File("voxbench.ini");
    IniProfile profile(path, /*readOnly=*/true);
    profile.WriteString("EvalNames", "MaxEvals", "0");
    EXPECT_TRUE(profile.Flush());
    EXPECT_FALSE(test::FileExists(path));
}
TEST(IniProfile, FlushWithoutChangesDoesNotRewriteTheFile) {
    TempDir dir;
    const std::string path = dir.File("voxbench.ini");
    test::WriteFileBytes(path, {'[', 'D', ']', '\n', 'k', '=', 'v', '\n', ';', 'x', '\n'});
    IniProfile profile(path);
    profile.WriteString("D", "k", "v");
    EXPECT_TRUE(profile.Flush());
    EXPECT_EQ(test::ReadFileBytes(path).size(), 11u) << "the hand-written comment is still there";
}
TEST(IniProfile, DefaultPathFollowsXdgConfigHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = saved != nullptr ? saved : "";
    const char* savedHome = std::getenv("HOME");
    const std::string restoreHome = savedHome != nullptr ? savedHome : "";
    setenv("XDG_CONFIG_HOME", "/some/config", 1);
    EXPECT_EQ(IniProfile::DefaultPath(), "/some/config/Voxbench/voxbench.ini");
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(IniProfile::DefaultPath(), "/home/someone/.config/Voxbench/voxbench.ini");
    if (savedHome != nullptr) setenv("HOME", restoreHome.c_str(), 1);
    if (saved != nullptr)
        setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace vox
