// voxtool unpack, pack and settings as a user runs them.
#include <gtest/gtest.h>

#include "tests/pack/packfixtures.h"
#include "tests/support/tempdir.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

class VoxtoolPack : public ::testing::Test {
  protected:
    void SetUp() override {
        DatabaseBuilder db;
        db.AddEntry(3200, CodedSine(300, 1600));
        db.AddEmptySlot();
        db.AddSharedSlot(0);
        db.AddFragment({{0, 0}, {2, 2}});
        db.AddFragment({});
        db.AddEval({{1, 0}, {2, 1}});
        db.AddComm({.entries = {0, -0, 1}, .priority = 2});
        talk_ = db.WriteTo(dir_.Path(), "radio.vox");
    }
    ToolResult Run(const std::vector<std::string>& args) {
        return RunVoxtool(args, config_.Path());
    }

    TempDir dir_;
    TempDir work_;
    TempDir config_;
    std::string talk_;
};

// The round trip's bytes are the library's to check; here, the side file the profile names,
// the exit status and a silent standard error.
TEST_F(VoxtoolPack, UnpackThenPackGivesTheSameDatabase) {
    WriteText(dir_.File("phrases.csv"), "Frag,Voice,Text\n0,,alpha\n");
    ASSERT_EQ(Run({"settings", "Data", "Phrases", dir_.File("phrases.csv")}).status, 0);
    for (const auto& args : {std::vector<std::string>{"unpack", talk_, work_.File("u")},
                             std::vector<std::string>{"pack", work_.File("u"), work_.File("p")}}) {
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(FileExists(work_.File("u/commnames.csv")));  // the profile names none
    EXPECT_EQ(ReadText(work_.File("p/phrases.csv")), "Frag,Voice,Text\n0,,alpha\n");
    ExpectSameDatabase(dir_.Path(), work_.File("p"), "radio.vox");
}

TEST_F(VoxtoolPack, ARefusalExitsWith1AndNamesFileAndLine) {
    EXPECT_EQ(Run({"unpack", dir_.File("none.vox"), work_.File("u")}).status, 1);
    EXPECT_FALSE(FileExists(work_.File("u")));
    ASSERT_EQ(Run({"unpack", talk_, work_.File("u")}).status, 0);
    WriteText(work_.File("u/database.txt"), "voxbench-unpacked 1\ntalk a.vox\nentry 0 none.wav\n");
    const ToolResult r = Run({"pack", work_.File("u"), work_.File("p")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "voxtool: " + work_.File("u/database.txt") +
                         ":3: none.wav: No such file or directory\n");
    EXPECT_FALSE(FileExists(work_.File("p")));
}

TEST_F(VoxtoolPack, SettingsSetsAValueOnlyWhenAskedOrEmpty) {
    EXPECT_EQ(Run({"settings", "Data", "Comms"}).status, 1);  // not set yet
    ASSERT_EQ(Run({"settings", "--if-empty", "Data", "Comms", "/a.csv"}).status, 0);
    ASSERT_EQ(Run({"settings", "--if-empty", "Data", "Comms", "/b.csv"}).status, 0);
    EXPECT_EQ(Run({"settings", "Data", "Comms"}).out, "/a.csv\n");
    ASSERT_EQ(Run({"settings", "Data", "Comms", "/c.csv"}).status, 0);
    EXPECT_EQ(Run({"settings", "Data", "Comms"}).out, "/c.csv\n");
    EXPECT_NE(ReadText(config_.File("Voxbench/voxbench.ini")).find("Comms=/c.csv"),
              std::string::npos);
}

}  // namespace
}  // namespace vox::test
