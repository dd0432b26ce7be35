// voxtool unpack, pack and settings as a user runs them: exit status and what they print. What
// the round trip gives back is the library's to check.
#include <gtest/gtest.h>

#include "tests/support/databasebuilder.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

// The side files come from the settings: a plain set, and --if-empty only where none is set. A
// refusal exits with 1 and names the file and the line, and leaves no folder.
TEST(VoxtoolPack, UnpackAndPackTakeTheSideFilesTheSettingsNameAndRefuseWithTheirPlace) {
    TempDir dir;
    TempDir config;
    DatabaseBuilder db;
    db.AddEntry(3200, CodedSine(300, 1600));
    db.AddFragment({{0, 0}});
    const std::string talk = db.WriteTo(dir.Path(), "radio.vox");
    WriteText(dir.File("phrases.csv"), "Frag,Voice,Text\n0,,alpha\n");
    WriteText(dir.File("names.csv"), "0,Call sign check\n");
    const auto run = [&](const std::vector<std::string>& args) {
        return RunVoxtool(args, config.Path());
    };
    for (const auto& args :
         {std::vector<std::string>{"settings", "Data", "Comms", dir.File("names.csv")},
          {"settings", "--if-empty", "Data", "Phrases", dir.File("phrases.csv")},
          {"settings", "--if-empty", "Data", "Phrases", "/elsewhere.csv"},
          {"unpack", talk, dir.File("u")},
          {"pack", dir.File("u"), dir.File("p")}}) {
        const ToolResult r = run(args);
        EXPECT_EQ(r.status, 0) << args[0] << r.err;
        EXPECT_EQ(r.err, "") << args[0];
    }
    EXPECT_EQ(run({"settings", "Data", "Phrases"}).out, dir.File("phrases.csv") + "\n");
    EXPECT_EQ(ReadText(dir.File("p/phrases.csv")), "Frag,Voice,Text\n0,,alpha\n");
    EXPECT_EQ(ReadText(dir.File("p/commnames.csv")), "0,Call sign check\n");

    EXPECT_EQ(run({"unpack", dir.File("none.vox"), dir.File("x")}).status, 1);
    EXPECT_FALSE(FileExists(dir.File("x")));
    WriteText(dir.File("u/database.txt"), "voxbench-unpacked 1\ntalk a.vox\nentry 0 none.wav\n");
    const ToolResult r = run({"pack", dir.File("u"), dir.File("x")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "voxtool: " + dir.File("u/database.txt") +
                         ":3: none.wav: No such file or directory\n");
    EXPECT_FALSE(FileExists(dir.File("x")));
}

}  // namespace
}  // namespace vox::test
