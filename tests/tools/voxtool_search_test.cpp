// voxtool search: the phrases and comm names that contain a text, as lines or as JSON.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

class VoxtoolSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        DatabaseBuilder db;
        db.AddEntry(320, {1, 2});
        db.AddFragment({{0, 0}});
        talk_ = db.WriteTo(dir_.Path());
        std::ofstream(phrases_) << "Fragment,Notes,Voice 0,Voice 1\n0,x,Halt bandit,\n"
                                << "1,x,Hello,The BANDITS ran\n";
        std::ofstream(names_) << "0,Greeting\n1,Bandit camp\n";
    }
    ToolResult Search(const std::string& text, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"search", talk_,     text,  "--phrases",
                                         phrases_, "--names", names_};
        args.insert(args.end(), more.begin(), more.end());
        return RunVoxtool(args, config_.Path());
    }

    TempDir dir_;
    TempDir config_;
    std::string talk_;
    std::string phrases_ = dir_.File("phrases.csv");
    std::string names_ = dir_.File("comms.csv");
};

TEST_F(VoxtoolSearch, FindsPhrasesInEveryVoiceAndCommNamesIgnoringCase) {
    const ToolResult r = Search("bAnDiT");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "fragment 0 voice 0: Halt bandit\n"
              "fragment 1 voice 1: The BANDITS ran\n"
              "comm 1: Bandit camp\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(VoxtoolSearch, JsonListsEachMatchWithItsKind) {
    const ToolResult r = Search("hel", {"--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "[\n  {\n    \"fragment\": 1,\n    \"kind\": \"phrase\",\n    \"text\": \"Hello\",\n"
              "    \"voice\": 0\n  }\n]\n");
}

TEST_F(VoxtoolSearch, NothingFoundOrAnUnreadableFileFails) {
    ToolResult r = Search("dragon");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "voxtool: No matches\n");
    r = Search("dragon", {"--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "[]\n");
    r = RunVoxtool({"search", talk_, "bandit", "--phrases", dir_.File("missing.csv")},
                   config_.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("missing.csv"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vox::test
