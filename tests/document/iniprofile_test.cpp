// The profile file: values survive the file, and its sections and keys keep their order.
#include "talkdata/iniprofile.h"

#include <gtest/gtest.h>

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
        profile.WriteString("EvalNames", "EvalName0", "two\nlines ");
        profile.WriteInt("EvalNames", "MaxEvals", 2);
        ASSERT_TRUE(profile.Flush()) << profile.GetError();
    }
    IniProfile again(path);
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

}  // namespace
}  // namespace vox
