// voxtool's writing commands end to end: add, replace, wav and export. The bytes they leave in
// the talk file and the tables are the library's tests; here, arguments, output and exit status.
#include <gtest/gtest.h>

#include "tests/support/databasebuilder.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {

namespace {

constexpr size_t kPcmFrame = 320;  // bytes of PCM per codec frame

const std::string kListHeader =
    "; Filenames of saved voxfile wav files with .lh extension\r\n"
    "; for later reinstallation into a voxfile\r\n";

class VoxtoolWrite : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.AddEntry(640, Bytes(20, 0xFF));  // 0: a frame the codec refuses
        db_.AddFragment({{0, 0}});
        db_.AddFragment({});
        talk_ = db_.WriteTo(dir_.Path());
        tone_ = SpeechLikePcm(32000);
        wave_ = WriteSpeechWave(dir_.File("in.wav"), tone_);
    }
    ToolResult Run(const std::vector<std::string>& args) {
        return RunVoxtool(args, config_.Path());
    }
    size_t WavSize(const std::string& fragment, const std::string& voice) {
        const std::string out = dir_.File("out.wav");
        const ToolResult r = Run({"wav", talk_, fragment, voice, out});
        EXPECT_EQ(r.status, 0) << r.err;
        return DataChunk(ReadFileBytes(out)).size();
    }

    TempDir dir_;
    TempDir config_;
    DatabaseBuilder db_;
    std::string talk_;
    std::string wave_;
    Bytes tone_;
};

TEST_F(VoxtoolWrite, AddPrintsTheNewEntryAndWavGivesBackItsWholeFrames) {
    const ToolResult added = Run({"add", talk_, "1", "3", wave_});
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out, "1\n");
    EXPECT_EQ(added.err, "");
    EXPECT_FALSE(FileExists(dir_.File("speech.vo$")));
    EXPECT_EQ(WavSize("1", "3"), tone_.size() / kPcmFrame * kPcmFrame);
}

TEST_F(VoxtoolWrite, ReplaceRepointsTheVoiceSilentlyAlsoForTheFirstEntry) {
    ASSERT_EQ(Run({"add", talk_, "1", "3", wave_}).status, 0);
    WriteSpeechWave(wave_, Bytes(tone_.begin(), tone_.begin() + 16000));
    for (const auto& [fragment, voice] : {std::pair{"1", "3"}, std::pair{"0", "0"}}) {
        const ToolResult r = Run({"replace", talk_, fragment, voice, wave_});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(WavSize(fragment, voice), 16000u);
    }
    EXPECT_FALSE(FileExists(dir_.File("speech.vo$")));
}

// Every refusal: the exit status, the reason on stderr, nothing on stdout and no file changed.
TEST_F(VoxtoolWrite, RefusalsSayWhyAndChangeNoFile) {
    WriteFileBytes(dir_.File("bad.wav"), {'R', 'I', 'F', 'F', 0, 0, 0, 0});
    const FolderSnapshot before = SnapshotFolder(dir_.Path());
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;  // its start when it ends in ": "
    };
    const Case cases[] = {
        {{"add", talk_, "0", "0", wave_},
         1,
         "voxtool: Add new fragment failed\nvoxtool: Failed to add fragment\n"},
        {{"add", talk_, "1", "0", dir_.File("bad.wav")},
         1,
         "voxtool: Bad wave file\nnot a sound file libsndfile can read\n"},
        {{"add", talk_, "1", "0", dir_.File("none.wav")},
         1,
         "voxtool: " + dir_.File("none.wav") + ": "},
        {{"add", talk_, "x", "0", wave_}, 2, ""},
        {{"replace", talk_, "0", "5", wave_}, 1, "voxtool: fragment 0 has no voice 5\n"},
        {{"wav", talk_, "0", "0", dir_.File("out.wav")},
         1,
         "voxtool: the recording of fragment 0 in voice 0 does not decode\n"},
        {{"wav", talk_, "1", "0", dir_.File("out.wav")},
         1,
         "voxtool: fragment 1 has no recording in voice 0\n"},
        {{"export", talk_, "--list", dir_.File("no/list.csv")}, 1, ""},
    };
    for (const Case& c : cases) {
        const ToolResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args[2];
        EXPECT_EQ(r.out, "") << c.args[0];
        if (c.err.ends_with(": ")) {
            EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
        } else if (!c.err.empty()) {
            EXPECT_EQ(r.err, c.err);
        }
    }
    EXPECT_EQ(SnapshotFolder(dir_.Path()), before);
}

TEST_F(VoxtoolWrite, ExportWritesTheFilesAndTheListAndSaysWhatItSkipped) {
    ASSERT_EQ(Run({"add", talk_, "1", "3", wave_}).status, 0);
    ASSERT_EQ(Run({"add", talk_, "1", "12", wave_}).status, 0);
    const std::string list = dir_.File("list.csv");
    const ToolResult r = Run({"export", talk_, "--list", list});
    // The rest is written, but a skipped pair makes the export a failure.
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "2 .wav files saved\n");
    EXPECT_EQ(r.err, "voxtool: fragment 0 voice 0 does not decode; skipped\n");
    EXPECT_EQ(ReadText(list), kListHeader + "1-3;.lh\r\n1-12;.lh\r\n");
    EXPECT_FALSE(FileExists(dir_.File("0-0.wav")));
    EXPECT_TRUE(FileExists(dir_.File("1-3.wav")));
    EXPECT_TRUE(FileExists(dir_.File("1-12.wav")));
}

TEST_F(VoxtoolWrite, ExportOfAnInvertedRangeWritesTheHeaderOnlyAndSaysNothing) {
    const ToolResult r =
        Run({"export", talk_, "--from", "1", "--to", "0", "--list", dir_.File("list.csv")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadText(dir_.File("list.csv")), kListHeader);
}

}  // namespace
}  // namespace vox::test
