// voxtool's writing commands end to end: add, replace, wav and export on databases made by
// hand, with wave files written and read here byte by byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

constexpr size_t kPcmFrame = 320;   // bytes of PCM per codec frame
constexpr size_t kCodedFrame = 20;  // coded bytes per frame

const std::string kListHeader =
    "; Filenames of saved voxfile wav files with .lh extension\r\n"
    "; for later reinstallation into a voxfile\r\n";

uint32_t U32At(const Bytes& bytes, size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

// A tone gliding in pitch and loudness, 16-bit mono at 8000 Hz.
Bytes GlidingTone(size_t bytes) {
    Bytes pcm;
    const double pi = std::acos(-1.0);
    double phase = 0;
    for (size_t n = 0; n < bytes / 2; ++n) {
        const double t = static_cast<double>(n) / 8000.0;
        phase += 2 * pi * (200.0 + 120.0 * std::sin(2 * pi * 2.0 * t)) / 8000.0;
        const double loudness = 8000.0 * (0.6 + 0.4 * std::sin(2 * pi * 4.0 * t));
        PutU16(pcm, static_cast<uint16_t>(static_cast<int16_t>(loudness * std::sin(phase))));
    }
    return pcm;
}

std::vector<double> Samples(const Bytes& pcm) {
    std::vector<double> samples;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        samples.push_back(static_cast<int16_t>(pcm[i] | (pcm[i + 1] << 8)));
    }
    return samples;
}

// The best normalised correlation of b against a, with b delayed by up to 400 samples (the
// codec delays its output a little).
double Likeness(const Bytes& a, const Bytes& b) {
    const std::vector<double> x = Samples(a);
    const std::vector<double> y = Samples(b);
    double best = 0;
    for (size_t lag = 0; lag < 400 && lag < y.size(); ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = 0; i + lag < y.size() && i < x.size(); ++i) {
            xy += x[i] * y[i + lag];
            xx += x[i] * x[i];
            yy += y[i + lag] * y[i + lag];
        }
        if (xx > 0 && yy > 0) best = std::max(best, xy / std::sqrt(xx * yy));
    }
    return best;
}

class VoxtoolWrite : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.AddEntry(640, Bytes(20, 0xFF));  // 0: a frame the codec refuses
        db_.AddFragment({{0, 0}});
        db_.AddFragment({});
        talk_ = db_.WriteTo(dir_.Path());
        tone_ = GlidingTone(32000);
        wave_ = dir_.File("in.wav");
        WriteFileBytes(wave_, MonoWaveFile(tone_));
        Remember();
    }
    ToolResult Run(const std::vector<std::string>& args) {
        return RunVoxtool(args, config_.Path());
    }
    // Takes a picture of the folder, to compare against after a command that must change nothing.
    void Remember() {
        names_ = ListFolder(dir_.Path());
        contents_.clear();
        for (const std::string& name : names_) contents_.push_back(ReadFileBytes(dir_.File(name)));
    }
    void ExpectFolderUnchanged() {
        ASSERT_EQ(ListFolder(dir_.Path()), names_);
        for (size_t i = 0; i < names_.size(); ++i) {
            EXPECT_EQ(ReadFileBytes(dir_.File(names_[i])), contents_[i]) << names_[i];
        }
    }
    std::string Text(const std::string& name) {
        const Bytes bytes = ReadFileBytes(dir_.File(name));
        return std::string(bytes.begin(), bytes.end());
    }

    TempDir dir_;
    TempDir config_;
    DatabaseBuilder db_;
    std::string talk_;
    std::string wave_;
    Bytes tone_;
    Names names_;
    std::vector<Bytes> contents_;
};

TEST_F(VoxtoolWrite, AddThenWavGivesBackTheSameSoundOfTheSameLength) {
    const size_t before = ReadFileBytes(talk_).size();
    const ToolResult added = Run({"add", talk_, "1", "3", wave_});
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out, "1\n");
    EXPECT_EQ(added.err, "");
    EXPECT_EQ(ReadFileBytes(talk_).size(), before + 4 + 8 + tone_.size() / kPcmFrame * kCodedFrame);
    // fragFile.bin is saved beside the talk file, exactly as a table with that voice is written.
    DatabaseBuilder expected;
    expected.AddFragment({{0, 0}});
    expected.AddFragment({{3, 1}});
    EXPECT_EQ(ReadFileBytes(dir_.File("fragFile.bin")), expected.FragBytes());
    EXPECT_FALSE(FileExists(dir_.File("speech.vo$")));

    const std::string out = dir_.File("out.wav");
    const ToolResult saved = Run({"wav", talk_, "1", "3", out});
    ASSERT_EQ(saved.status, 0) << saved.err;
    const Bytes pcm = DataChunk(ReadFileBytes(out));
    EXPECT_EQ(pcm.size(), tone_.size() / kPcmFrame * kPcmFrame);
    EXPECT_GT(Likeness(tone_, pcm), 0.7);  // 8 kbit/s keeps the sound, not every phase
}

TEST_F(VoxtoolWrite, SpeechFromESpeakComesBackAsTheSameSpeech) {
    if (std::system("command -v espeak-ng >/dev/null 2>&1 && command -v sox >/dev/null 2>&1") !=
        0) {
        GTEST_SKIP() << "espeak-ng or sox is not installed";
    }
    const std::string raw = dir_.File("raw.wav");
    const std::string speech = dir_.File("speech.wav");
    const std::string make = "espeak-ng -w '" + raw + "' 'Voice index seven, replace.' && sox '" +
                             raw + "' -r 8000 -c 1 -b 16 -e signed-integer '" + speech + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    ASSERT_EQ(Run({"add", talk_, "2", "0", speech}).status, 0);
    ASSERT_EQ(Run({"wav", talk_, "2", "0", dir_.File("back.wav")}).status, 0);
    const Bytes in = DataChunk(ReadFileBytes(speech));
    const Bytes back = DataChunk(ReadFileBytes(dir_.File("back.wav")));
    ASSERT_GT(in.size(), 8000u);
    EXPECT_EQ(back.size(), in.size() / kPcmFrame * kPcmFrame);
    EXPECT_GT(Likeness(in, back), 0.7);
}

TEST_F(VoxtoolWrite, AnAddOfAnExistingVoiceSaysWhyAndChangesNoFile) {
    const ToolResult r = Run({"add", talk_, "0", "0", wave_});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "voxtool: Add new fragment failed\nvoxtool: Failed to add fragment\n");
    ExpectFolderUnchanged();
}

TEST_F(VoxtoolWrite, AnAddOfABadOrMissingWaveFileFails) {
    WriteFileBytes(dir_.File("bad.wav"), {'R', 'I', 'F', 'F', 0, 0, 0, 0});
    Remember();
    ToolResult r = Run({"add", talk_, "1", "0", dir_.File("bad.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "voxtool: Bad wave file\nnot a sound file libsndfile can read\n");
    r = Run({"add", talk_, "1", "0", dir_.File("none.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("voxtool: " + dir_.File("none.wav") + ": ", 0), 0u) << r.err;
    r = Run({"add", talk_, "x", "0", wave_});
    EXPECT_EQ(r.status, 2);
    ExpectFolderUnchanged();
}

TEST_F(VoxtoolWrite, ReplaceGrowsTheTalkFileByOneEntryAndRepointsItsSlot) {
    ASSERT_EQ(Run({"add", talk_, "1", "3", wave_}).status, 0);
    const Bytes before = ReadFileBytes(talk_);
    const Bytes fragBefore = ReadFileBytes(dir_.File("fragFile.bin"));
    const Bytes shorter(tone_.begin(), tone_.begin() + 16000);
    WriteFileBytes(wave_, MonoWaveFile(shorter));
    const ToolResult r = Run({"replace", talk_, "1", "3", wave_});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const Bytes after = ReadFileBytes(talk_);
    ASSERT_EQ(after.size(), before.size() + 8 + 16000 / kPcmFrame * kCodedFrame);
    EXPECT_EQ(U32At(after, 16), before.size());      // slot 1: the appended entry
    EXPECT_EQ(U32At(after, before.size()), 16000u);  // its decodedSize
    EXPECT_TRUE(std::equal(before.begin() + 20, before.end(), after.begin() + 20));
    EXPECT_EQ(ReadFileBytes(dir_.File("fragFile.bin")), fragBefore);
}

TEST_F(VoxtoolWrite, ReplaceOfAVoiceTheFragmentLacksFailsAndChangesNothing) {
    const ToolResult r = Run({"replace", talk_, "0", "5", wave_});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "voxtool: fragment 0 has no voice 5\n");
    ExpectFolderUnchanged();
}

TEST_F(VoxtoolWrite, ReplaceOfTheFirstEntryRewritesTheTalkFileSafely) {
    const Bytes before = ReadFileBytes(talk_);
    const ToolResult r = Run({"replace", talk_, "0", "0", wave_});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes after = ReadFileBytes(talk_);
    EXPECT_EQ(after.size(), before.size() + 8 + tone_.size() / kPcmFrame * kCodedFrame);
    EXPECT_EQ(U32At(after, 12), 16u);  // the directory still ends after one slot
    EXPECT_EQ(U32At(after, 16), tone_.size());
    EXPECT_FALSE(FileExists(dir_.File("speech.vo$")));
    EXPECT_EQ(Run({"wav", talk_, "0", "0", dir_.File("back.wav")}).status, 0);
}

TEST_F(VoxtoolWrite, WavOfAnUndecodableOrMissingEntryFailsWithoutAFile) {
    ToolResult r = Run({"wav", talk_, "0", "0", dir_.File("out.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "voxtool: the recording of fragment 0 in voice 0 does not decode\n");
    r = Run({"wav", talk_, "1", "0", dir_.File("out.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "voxtool: fragment 1 has no recording in voice 0\n");
    ExpectFolderUnchanged();
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
    EXPECT_EQ(Text("list.csv"), kListHeader + "1-3;.lh\r\n1-12;.lh\r\n");
    EXPECT_FALSE(FileExists(dir_.File("0-0.wav")));
    EXPECT_EQ(DataChunk(ReadFileBytes(dir_.File("1-3.wav"))).size(),
              tone_.size() / kPcmFrame * kPcmFrame);
    EXPECT_TRUE(FileExists(dir_.File("1-12.wav")));
}

TEST_F(VoxtoolWrite, ExportOfAnInvertedRangeWritesTheHeaderOnlyAndSaysNothing) {
    const ToolResult r =
        Run({"export", talk_, "--from", "1", "--to", "0", "--list", dir_.File("list.csv")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Text("list.csv"), kListHeader);
}

TEST_F(VoxtoolWrite, ExportIntoAMissingFolderFailsWithoutWritingAnything) {
    const ToolResult r = Run({"export", talk_, "--list", dir_.File("no/list.csv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    ExpectFolderUnchanged();
}

}  // namespace
}  // namespace vox::test
