// voxtool's read commands on databases made by hand: exact output, exit statuses, and not one
// byte changed anywhere.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

using Json = nlohmann::json;

class VoxtoolRead : public ::testing::Test {
  protected:
    void SetUp() override {
        DatabaseBuilder db;
        db.AddEntry(640, {1, 2, 3, 4});
        db.AddEmptySlot();
        db.AddSharedSlot(0);
        db.AddEntry(320, {5, 6});
        db.AddFragment({{0, 0}, {3, 3}});
        db.AddFragment({});
        db.AddEval({{1, 0}, {-2, 1}});
        db.AddComm({.entries = {0, -1, 1},
                    .warp = -2,
                    .priority = 200,
                    .position = 3,
                    .bullseye = -300,
                    .evals = 1});
        db.AddComm({.entries = {}, .elementsOverride = 2});
        talk_ = db.WriteTo(dir_.Path());
    }
    ToolResult Run(const std::vector<std::string>& args) {
        return RunVoxtool(args, config_.Path());
    }

    TempDir dir_;
    TempDir config_;
    std::string talk_;
};

TEST_F(VoxtoolRead, DumpPrintsEveryFileExactlyAsItHoldsIt) {
    const ToolResult r = Run({"dump", talk_});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Json::parse(r.out), Json::parse(R"({
      "talk": {"size": 50, "header": "564f58544553540001020304", "slots": 4, "entries": [
        {"slot": 0, "offset": 28, "decodedSize": 640, "codedSize": 4},
        {"slot": 1, "offset": 0},
        {"slot": 2, "offset": 28, "decodedSize": 640, "codedSize": 4},
        {"slot": 3, "offset": 40, "decodedSize": 320, "codedSize": 2}]},
      "frags": [
        {"number": 0, "offset": 16, "voices": [{"voice": 0, "vox": 0}, {"voice": 3, "vox": 3}]},
        {"number": 1, "offset": 24, "voices": []}],
      "evals": [
        {"number": 0, "offset": 8, "alternatives": [{"index": 1, "frag": 0}, {"index": -2, "frag": 1}]}],
      "comms": [
        {"warp": -2, "priority": 200, "position": 3, "bullseye": -300, "elements": 3, "evals": 1,
         "listOffset": 28, "entries": [0, -1, 1]},
        {"warp": 0, "priority": 0, "position": 0, "bullseye": 0, "elements": 2, "evals": 0,
         "listOffset": 34, "entries": [0, 0]}],
      "phrases": [], "commNames": [], "evalNames": []})"));
}

TEST_F(VoxtoolRead, DumpOfATalkFileWithoutADirectory) {
    WriteFileBytes(talk_, {1, 2, 3, 4, 5});
    const ToolResult r = Run({"dump", talk_});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Json::parse(r.out)["talk"],
              Json::parse(R"({"size": 5, "header": "0102030405", "slots": 0, "entries": []})"));
}

TEST_F(VoxtoolRead, ReadCommandsChangeNoByteAndWriteNoSettings) {
    const auto talkBefore = ReadFileBytes(talk_);
    const auto fragBefore = ReadFileBytes(dir_.File("fragFile.bin"));
    struct stat before {};
    ASSERT_EQ(stat(talk_.c_str(), &before), 0);
    chmod(talk_.c_str(), 0444);  // a read command must not even need write access
    EXPECT_EQ(Run({"dump", talk_}).status, 0);
    EXPECT_EQ(Run({"info", talk_}).status, 0);
    EXPECT_EQ(Run({"find", "frag-in-eval", talk_, "0"}).status, 0);
    struct stat after {};
    ASSERT_EQ(stat(talk_.c_str(), &after), 0);
    EXPECT_EQ(ReadFileBytes(talk_), talkBefore);
    EXPECT_EQ(ReadFileBytes(dir_.File("fragFile.bin")), fragBefore);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_TRUE(ListFolder(config_.Path()).empty()) << "no settings file was written";
}

TEST_F(VoxtoolRead, FindPrintsMatchesAscendingOnePerLine) {
    ToolResult r = Run({"find", "frag-in-eval", talk_, "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0\n");
    r = Run({"find", "frag-in-comm", talk_, "0"});
    EXPECT_EQ(r.out, "0\n1\n");
}

TEST_F(VoxtoolRead, HelpAndVersionSucceed) {
    ToolResult r = Run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("dump"), std::string::npos);
    r = Run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("voxtool ", 0), 0u);
}

TEST_F(VoxtoolRead, AFileThatCannotBeOpenedIsNamedWithTheReason) {
    WriteFileBytes(dir_.File("evalFile.bin"), {1, 2, 3});
    const ToolResult r = Run({"dump", talk_});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "voxtool: " + dir_.File("evalFile.bin") + ": file is shorter than one record\n");
}

TEST_F(VoxtoolRead, InfoSummarisesTheDatabase) {
    const ToolResult r = Run({"info", talk_});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("3 of 4 slots"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Fragments:   2 with 2 voices"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Evals:       1 with 2 alternatives"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Comms:       2 with 5 entries"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vox::test
