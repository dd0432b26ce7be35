// voxtool import, verify and compact end to end, and the writer lock between two processes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "talkdata/bytes.h"
#include "talkdata/writerlock.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Tone(size_t bytes, double hz) { return SpeechLikePcm(bytes, hz); }

class VoxtoolMaintain : public ::testing::Test {
  protected:
    void SetUp() override {
        DatabaseBuilder db;
        db.AddEntry(0, {});  // an entry that decodes to nothing
        db.AddFragment({{0, 0}});
        db.AddEval({{0, 0}});
        db.AddComm({{0}});
        talk_ = db.WriteTo(dir_.Path());
        // Fragment 0 voice 3 (entry 1), fragment 1 voices 0 and 4 (entries 2, 3), fragment 2
        // voice 0 (entry 4).
        const struct {
            const char* fragment;
            const char* voice;
            double hz;
        } adds[] = {{"0", "3", 220}, {"1", "0", 330}, {"1", "4", 440}, {"2", "0", 550}};
        for (const auto& add : adds) {
            WriteFileBytes(dir_.File("in.wav"), MonoWaveFile(Tone(4000, add.hz)));
            const ToolResult r = Run({"add", talk_, add.fragment, add.voice, dir_.File("in.wav")});
            ASSERT_EQ(r.status, 0) << r.err;
        }
        mkdir(dir_.File("ex").c_str(), 0700);
        list_ = dir_.File("ex/Filenames.csv");
    }
    ToolResult Run(const std::vector<std::string>& args) {
        return RunVoxtool(args, config_.Path());
    }
    void Export() {
        const ToolResult r = Run({"export", talk_, "--list", list_});
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(r.out, "5 .wav files saved\n");
        ASSERT_EQ(r.err, "");  // not a terminal: no progress line
    }

    TempDir dir_;
    TempDir config_;
    std::string talk_;
    std::string list_;
};

// What each command prints and its exit status; what the files then hold is the library's tests.
TEST_F(VoxtoolMaintain, ExportTwoEditsImportThenVerifyAndCompact) {
    Export();
    WriteFileBytes(dir_.File("ex/1-0.wav"), MonoWaveFile(Tone(6400, 700)));
    WriteFileBytes(dir_.File("ex/2-0.wav"), MonoWaveFile(Tone(2000, 150)));
    ToolResult r = Run({"import", talk_, list_});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 replaced, 3 unchanged, 0 refused\n");
    EXPECT_EQ(r.err, "");

    r = Run({"verify", talk_});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "no problems found\n");

    const size_t imported = ReadFileBytes(talk_).size();
    // The import's two lines name the old entries: compact keeps them, unless told not to.
    r = Run({"compact", talk_});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string keptOut = r.out;
    EXPECT_EQ(ReadFileBytes(talk_).size(), imported);
    r = Run({"compact", talk_, "--drop-history"});
    EXPECT_EQ(r.status, 0) << r.err;
    const size_t compacted = ReadFileBytes(talk_).size();
    EXPECT_LT(compacted, imported);
    const std::string dropped = std::to_string(imported - compacted);
    EXPECT_EQ(keptOut, "0 bytes reclaimed (" + std::to_string(imported) + " -> " +
                           std::to_string(imported) + " bytes)\nkept 2 earlier takes (" + dropped +
                           " bytes) named by the history\n");
    EXPECT_EQ(r.out, dropped + " bytes reclaimed (" + std::to_string(imported) + " -> " +
                         std::to_string(compacted) +
                         " bytes)\ndropped 2 earlier takes of the history; reverting to them is "
                         "refused\n");
    EXPECT_EQ(Run({"verify", talk_}).status, 0);
}

TEST_F(VoxtoolMaintain, HistoryListsEachReplaceAndRevertPutsAnEarlierTakeBack) {
    for (const double hz : {300.0, 600.0}) {
        WriteFileBytes(dir_.File("in.wav"), MonoWaveFile(Tone(3200, hz)));
        ASSERT_EQ(Run({"replace", talk_, "1", "4", dir_.File("in.wav")}).status, 0);
    }
    WriteFileBytes(dir_.File("in.wav"), MonoWaveFile(Tone(3200, 900)));
    ASSERT_EQ(Run({"replace", talk_, "2", "0", dir_.File("in.wav")}).status, 0);
    const std::regex line(
        "[0-9T:Z-]{20}  (replace|revert)  fragment [12] voice [04]  slot [34]  [0-9]+ -> [0-9]+"
        "  (in\\.wav  [0-9a-f]{16}|-  -)\n");
    const struct {
        std::vector<std::string> args;
        int status;
        int lines;        // lines of the text listing, or -1
        const char* out;  // what stdout starts with, for the others
        const char* err;
    } cases[] = {
        {{"history", talk_}, 0, 3, "", ""},
        {{"history", talk_, "1"}, 0, 2, "", ""},
        {{"history", talk_, "1", "0"}, 0, 0, "", ""},
        {{"history", talk_, "2", "0", "--json"},
         0,
         -1,
         "{\n  \"lines\": [\n    {\n      \"line\": 3,",
         ""},
        {{"revert", talk_, "1", "4", "--to", "3"},
         1,
         -1,
         "",
         "voxtool: fragment 1 voice 4 has only 2 earlier takes in the history\n"},
        {{"revert", talk_, "1", "4", "--to", "2"},
         0,
         -1,
         "fragment 1 voice 4: take 1 (from before the history) is current again\n",
         ""},
        {{"revert", talk_, "1", "4"},
         1,
         -1,
         "",
         "voxtool: fragment 1 voice 4 has no earlier take in the history\n"},
        {{"history", talk_, "1", "4"}, 0, 3, "", ""},
        {{"revert", talk_, "1", "4", "--to", "0"}, 2, -1, "", "0 not in range 1 to 65535"},
        {{"history", talk_, "1", "14"}, 2, -1, "", "14 not in range 0 to 13"},
        {{"history", dir_.File("none.vox")}, 1, -1, "", "none.vox"},
    };
    for (const auto& c : cases) {
        const std::string name = c.args[0] + " " + c.args.back();
        const ToolResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << name << ": " << r.err;
        if (c.status == 0)
            EXPECT_EQ(r.err, "") << name;
        else
            EXPECT_NE(r.err.find(c.err), std::string::npos) << name << ": " << r.err;
        if (c.lines >= 0) {
            std::string rest = r.out;
            std::smatch m;
            int count = 0;
            while (std::regex_search(rest, m, line, std::regex_constants::match_continuous)) {
                ++count;
                rest = m.suffix();
            }
            EXPECT_EQ(count, c.lines) << name << ":\n" << r.out;
            EXPECT_EQ(rest, "") << name;
        } else {
            EXPECT_EQ(r.out.substr(0, std::string(c.out).size()), c.out) << name;
        }
    }
    // A cut last line is a warning, and is named by verify.
    const Bytes history = ReadFileBytes(talk_ + ".history");
    WriteFileBytes(talk_ + ".history", Bytes(history.begin(), history.end() - 7));
    ToolResult r = Run({"history", talk_, "1", "4"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "voxtool: " + talk_ + ".history: line 4 skipped: cut short (no end of line)\n");
    r = Run({"verify", talk_});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("speech.vox.history: line 4: skipped by every reader"), std::string::npos)
        << r.out;
    EXPECT_TRUE(r.out.ends_with("\n1 problem found\n")) << r.out;
}

TEST_F(VoxtoolMaintain, ImportNamesEveryRefusedLineAndExitsOneAfterImportingTheRest) {
    Export();
    WriteFileBytes(dir_.File("ex/0-3.wav"), MonoWaveFile(Tone(3200, 610)));
    std::remove(dir_.File("ex/1-4.wav").c_str());
    WriteFileBytes(dir_.File("ex/2-0.wav"), {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v', 'e'});
    Bytes list = ReadFileBytes(list_);
    for (char c : std::string("1-7;.lh\r\n")) list.push_back(static_cast<uint8_t>(c));
    WriteFileBytes(list_, list);
    const Bytes talk = ReadFileBytes(talk_);

    const ToolResult r = Run({"import", talk_, list_});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1 replaced, 2 unchanged, 3 refused\n");
    const std::string prefix = "voxtool: " + list_ + " line ";
    EXPECT_NE(r.err.find(prefix + "6 \"1-4;.lh\": 1-4.wav: missing file\n"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(prefix + "7 \"2-0;.lh\": 2-0.wav: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(prefix + "8 \"1-7;.lh\": fragment 1 has no voice 7\n"), std::string::npos)
        << r.err;
    EXPECT_NE(ReadFileBytes(talk_), talk);  // the edited wave went in

    const ToolResult missing = Run({"import", talk_, dir_.File("ex/none.csv")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "voxtool: " + dir_.File("ex/none.csv") + ": missing file\n");
}

TEST_F(VoxtoolMaintain, VerifyListsTheDamageWithPlacesAndChangesNoFile) {
    Bytes talk = ReadFileBytes(talk_);
    const size_t slot3 = 12 + 4 * 3;
    WriteU32(talk.data() + slot3, static_cast<uint32_t>(talk.size()) + 8);
    WriteFileBytes(talk_, talk);
    DatabaseBuilder evals;
    evals.AddEval({{2, 0}, {1, 9}});
    WriteFileBytes(dir_.File("evalFile.bin"), evals.EvalBytes());

    const ToolResult r = Run({"verify", talk_});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "speech.vox: slot 3 (byte 24): points outside the file (byte " +
                  std::to_string(talk.size() + 8) + " of " + std::to_string(talk.size()) +
                  ")\n"
                  "fragFile.bin: fragment 1 voice 4: talk entry 3 lies outside the talk file\n"
                  "evalFile.bin: eval 0: indices out of order (1 after 2)\n"
                  "evalFile.bin: eval 0 index 1: fragment 9 does not exist (3 fragments)\n"
                  "4 problems found\n");
    EXPECT_EQ(ReadFileBytes(talk_), talk);
}

TEST_F(VoxtoolMaintain, WritersAreRefusedAtOnceWhileAnotherProgramHoldsTheDatabase) {
    Export();
    WriteFileBytes(dir_.File("ex/0-3.wav"), MonoWaveFile(Tone(3200, 610)));
    const Bytes talk = ReadFileBytes(talk_);
    WriterLock held;  // this test program plays the other program
    ASSERT_TRUE(held.Acquire(talk_)) << held.GetError();
    const std::string refusal =
        "voxtool: " + talk_ + ": another program has this database open for writing\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"compact", talk_},
          {"import", talk_, list_},
          {"replace", talk_, "0", "3", dir_.File("ex/0-3.wav")}}) {
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.err, refusal) << args[0];
    }
    EXPECT_EQ(ReadFileBytes(talk_), talk);
    // Readers are not writers.
    EXPECT_EQ(Run({"verify", talk_}).status, 0);
    held.Release();
    EXPECT_EQ(Run({"import", talk_, list_}).out, "1 replaced, 4 unchanged, 0 refused\n");
}

}  // namespace
}  // namespace vox::test
