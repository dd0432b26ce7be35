// Wave files into fragments and fragments out as wave files, as the form runs them: the fragment
// table, the messages, what the document reads afterwards and what lands on disk. A take is
// converted and coded, measured against the fragment's other voices and normalized on request.
// The talk file's bytes are the library's to check, refusals and failed writes the form's and
// the fault tests', how each sound format converts the sound file reader's.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "audio/player/nullsounddevice.h"
#include "audio/wavefile.h"
#include "talkdata/memoryprofile.h"
#include "talkdata/writerlock.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/tempdir.h"
#include "tests/support/testsounds.h"
#include "ui/exportflows.h"
#include "ui/importflows.h"
#include "workbench/document.h"
#include "workbench/fragmentexport.h"
#include "workbench/recording.h"
#include "workbench/voicelevels.h"

namespace vox::test {
namespace {

using Messages = std::vector<std::string>;

// 20 bytes that the codec refuses to decode: their first byte names another configuration.
Bytes UndecodableFrame() { return Bytes(20, 0xFF); }

// A view that counts the document's change notifications.
struct CountingView : DocumentView {
    void OnUpdate() override { ++updates; }
    int updates = 0;
};

// A database in a temporary folder, opened read-write in a document whose dialogs a
// ScriptedPrompter answers.
class ImportFixture : public ::testing::Test {
  protected:
    void Open(const DatabaseBuilder& db, const std::string& talkName = "speech.vox") {
        talk_ = db.WriteTo(dir_.Path(), talkName);
        doc_ = std::make_unique<CVoxbenchDoc>(
            profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
        doc_->SetPrompter(&prompter_);
        doc_->AddView(&view_);
        ASSERT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError();
        view_.updates = 0;
    }
    Bytes TalkBytes() const { return ReadFileBytes(talk_); }

    TempDir dir_;
    MemoryProfile profile_;
    ScriptedPrompter prompter_;
    CountingView view_;
    std::unique_ptr<CVoxbenchDoc> doc_;
    std::string talk_;
};

class FragmentImport : public ImportFixture {
  protected:
    void SetUp() override {
        db_.AddEntry(3200, CodedPcm(SpeechLikePcm(3200)));         // 0
        db_.AddEmptySlot();                                        // 1
        db_.AddSharedSlot(0);                                      // 2
        db_.AddEntry(1600, CodedPcm(SpeechLikePcm(1600, 300.0)));  // 3
        db_.AddFragment({{0, 0}, {3, 3}});
        db_.AddFragment({{2, 3}});
        db_.AddFragment({});
        Open(db_);
        before_ = TalkBytes();
        wave_ = WriteSpeechWave(dir_.File("new.wav"), newPcm_);
    }

    // Add Voice / Add New as the form runs them: file dialog, the preview of a take for a
    // fragment that exists, then the voice dialog.
    bool Add(int fragment, int voice) {
        prompter_.AnswerFile(wave_);
        if (fragment < doc_->GetFragCount()) prompter_.AnswerPreview(true);
        prompter_.AnswerNumbers(std::vector<long long>{voice});
        int fragmentVoice = 0;
        const bool added = AddFromWave(*doc_, fragment, fragmentVoice);
        EXPECT_EQ(fragmentVoice, voice) << "the typed voice becomes the fragment voice";
        return added;
    }

    DatabaseBuilder db_;
    const Bytes newPcm_ = SpeechLikePcm(4800, 180.0);
    Bytes before_;
    std::string wave_;
};

// Regression: the rewrite renamed a new talk file into place while the lock stayed on the old
// one, so another writer (a compact) could take the database from under the open document.
TEST_F(FragmentImport, AddVoiceListsTheNewEntryAndKeepsTheLockOnTheRewrittenTalkFile) {
    ASSERT_TRUE(Add(1, 5));
    EXPECT_EQ(prompter_.messages, Messages{});
    ListRecord record;
    VoxEntry entry;
    ASSERT_TRUE(doc_->GetFragRecord(1, record));
    ASSERT_TRUE(doc_->GetVoxEntry(doc_->FindVoxIndex(record, 5), entry));
    EXPECT_EQ(Bytes(entry.data, entry.data + entry.codedSize), CodedPcm(newPcm_));
    EXPECT_TRUE(doc_->IsModified());
    EXPECT_EQ(view_.updates, 1);
    EXPECT_FALSE(FileExists(talk_.substr(0, talk_.size() - 1) + "$")) << "the temporary file";
    WriterLock other;
    EXPECT_FALSE(other.Acquire(talk_));
    EXPECT_EQ(other.GetError(), WriterLock::kHeldElsewhere);
}

// Regression: a take longer than an entry holds was stored with its whole length as
// decodedSize while only its first 5.06 s were coded, without a word. Now the person is asked;
// a yes stores exactly the first 5.06 s, a no changes nothing. A take shorter than one frame
// is stored without coded bytes.
TEST_F(FragmentImport, AWaveLongerThanAnEntryHoldsIsCutOnlyAfterAYes) {
    const Bytes tableBefore = doc_->GetFragTable().SaveBytes();
    wave_ = WriteSpeechWave(dir_.File("long.wav"), SpeechLikePcm(96000));
    prompter_.AnswerFile(wave_);
    prompter_.AnswerYesNoCancel(Answer::No);
    int voice = 0;
    EXPECT_FALSE(AddFromWave(*doc_, 2, voice));
    EXPECT_EQ(TalkBytes(), before_);
    EXPECT_EQ(doc_->GetFragTable().SaveBytes(), tableBefore);
    prompter_.AnswerYesNoCancel(Answer::Yes);
    ASSERT_TRUE(Add(2, 0));
    EXPECT_EQ(prompter_.questions,
              Messages(2,
                       "The recording is 6.00 s long; only the first 5.06 s can be stored. "
                       "Store the first 5.06 s?"));
    VoxEntry entry;
    ASSERT_TRUE(doc_->GetVoxEntry(4, entry));
    EXPECT_EQ(entry.decodedSize, 80960u);
    EXPECT_EQ(entry.codedSize, 5060u);
    EXPECT_EQ(prompter_.statuses, Messages{"cut to the first 5.06 s of 6.00 s"});

    wave_ = WriteSpeechWave(dir_.File("short.wav"), SpeechLikePcm(300));
    ASSERT_TRUE(Add(2, 1));
    ASSERT_TRUE(doc_->GetVoxEntry(5, entry));
    EXPECT_EQ(entry.decodedSize, 300u);
    EXPECT_EQ(entry.codedSize, 0u);
}

TEST_F(FragmentImport, ATalkFileWhoseNameEndsInTheTemporaryMarkIsNeverItsOwnTemporaryFile) {
    Open(db_, "speech.vo$");
    before_ = TalkBytes();
    EXPECT_FALSE(Add(1, 5));
    ASSERT_EQ(prompter_.messages.size(), 2u);
    EXPECT_EQ(prompter_.messages[0].rfind("Can't create temporary file: " + talk_ + ": ", 0), 0u);
    EXPECT_EQ(TalkBytes(), before_);
    EXPECT_TRUE(doc_->IsTalkFileOpen());
}

// 16-bit PCM of a 440 Hz sine with the given peak (full scale 1.0).
std::vector<uint8_t> PeakSine(double peak, double seconds) {
    std::vector<uint8_t> pcm;
    for (float v : SineFrames(440, peak, 8000, 1, seconds))
        PutU16(pcm, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))));
    return pcm;
}

// A message with each number replaced by "#", and the numbers, in order: levels measured after
// the codec (which gives a sine back a few tenths of a dB louder) are checked with a tolerance.
std::string Shape(const std::string& text, std::vector<double>* numbers = nullptr) {
    static const std::regex number("[-+]?[0-9]+(\\.[0-9]+)?");
    for (std::sregex_iterator it(text.begin(), text.end(), number), end; it != end; ++it)
        if (numbers != nullptr) numbers->push_back(std::stod(it->str()));
    return std::regex_replace(text, number, "#");
}

class Recording : public ImportFixture {
  protected:
    void SetUp() override {
        // Fragment 0 has two voices at -10 dBFS peak, fragment 1 none.
        db_.AddEntry(16000, CodedPcm(PeakSine(0.316, 1)));
        db_.AddEntry(16000, CodedPcm(PeakSine(0.316, 1)));
        db_.AddFragment({{0, 0}, {1, 1}});
        db_.AddFragment({});
        Open(db_);
    }
    RecordingResult Read(const std::vector<uint8_t>& file, RecordingRequest request = {}) {
        const std::string path = dir_.File("take");
        WriteFileBytes(path, file);
        return ReadRecording(*doc_, path, request);
    }
    double Loudness(const CodedRecording& recording) {
        std::unique_ptr<uint8_t[]> pcm;
        uint32_t pcmLen = 0;
        TakeLevels levels;
        EXPECT_TRUE(DecodeRecording(*doc_, recording, pcm, pcmLen));
        EXPECT_TRUE(MeasureTakeLevels(ByteSpan(pcm.get(), pcmLen), levels));
        return levels.loudness;
    }
    DatabaseBuilder db_;
};

// The other voices stand at -10 dBFS peak (about -14 LUFS). The take replacing voice 0 is judged
// against voice 1 alone, and is stored whatever it is flagged for.
TEST_F(Recording, WhatAListenerWouldNoticeIsWarnedOf) {
    std::vector<uint8_t> clipped = PeakSine(1.0, 1);  // 440 flat tops a second
    for (size_t i = 0; i + 1 < clipped.size(); i += 2) {
        const int16_t s = ReadI16(clipped.data() + i);
        WriteU16(clipped.data() + i, static_cast<uint16_t>(s > 20000 ? 32767 : s));
    }
    const std::string louder =
        "# LU louder than the fragment's other voices (their median: # LUFS)";
    const struct {
        std::vector<uint8_t> pcm;
        Messages shapes;
        double deviation;  // LU, from the peaks: 20 log10(peak / 0.316)
    } cases[] = {
        {PeakSine(0.25, 1), {}, 0},
        {PeakSine(0.02, 1),
         {"# LU quieter than the fragment's other voices (their median: # LUFS)"},
         24.0},
        {std::vector<uint8_t>(16000, 0), {"silent throughout: no sample reaches # dBFS"}, 0},
        {clipped, {"clips in # places (# or more samples in a row at full scale)", louder}, 10.0},
    };
    for (const auto& c : cases) {
        const RecordingResult r = Read(MonoWaveFile(c.pcm), {0, 0, false, false});
        ASSERT_TRUE(r.Ok()) << r.error;
        Messages shapes;
        std::vector<double> numbers;
        for (const std::string& warning : r.recording.warnings)
            shapes.push_back(Shape(warning, &numbers));
        EXPECT_EQ(shapes, c.shapes);
        if (c.deviation != 0) {
            EXPECT_NEAR(numbers.end()[-2], c.deviation, 1.0);
        }
    }
}

TEST_F(Recording, NormalizingBringsATakeToItsFragmentOrToMinus23Lufs) {
    TakeLevels other;
    ASSERT_TRUE(MeasureEntryLevels(*doc_, 1, other));
    const struct {
        int fragment;
        double peak;
        double target;
        double gain;  // dB, from the peaks
    } cases[] = {
        {0, 0.02, other.loudness, 24.0}, {0, 0.5, other.loudness, -4.0}, {1, 0.02, -23, 14.7}};
    for (const auto& c : cases) {
        const RecordingResult r =
            Read(MonoWaveFile(PeakSine(c.peak, 1)), {c.fragment, {}, false, true});
        ASSERT_TRUE(r.Ok()) << r.error;
        EXPECT_EQ(r.recording.warnings, Messages{});
        ASSERT_EQ(r.recording.notes.size(), 1u);
        std::vector<double> numbers;
        EXPECT_EQ(Shape(r.recording.notes[0], &numbers), "normalized to # LUFS (# dB)");
        EXPECT_NEAR(numbers[0], c.target, 0.05);
        EXPECT_NEAR(numbers[1], c.gain, 1.0);
        EXPECT_NEAR(Loudness(r.recording), c.target, 1.0) << "as it decodes";
    }
    const RecordingResult silent =
        Read(MonoWaveFile(std::vector<uint8_t>(16000, 0)), {0, {}, false, true});
    ASSERT_TRUE(silent.Ok()) << "a silent take is stored, not normalized";
    EXPECT_EQ(silent.recording.warnings,
              (Messages{"not normalized: the take is silent: no gain gives it a loudness",
                        "silent throughout: no sample reaches -50 dBFS"}));
}

TEST_F(Recording, ADatabaseIsMeasuredVoiceByVoiceWithEachEntryDecodedOnce) {
    DatabaseBuilder db;
    db.AddEntry(16000, CodedPcm(PeakSine(0.3, 1)));                // 0
    db.AddEntry(16000, CodedPcm(PeakSine(0.3, 1)));                // 1
    db.AddEntry(16000, CodedPcm(PeakSine(0.01, 1)));               // 2: far quieter
    db.AddEntry(16000, CodedPcm(std::vector<uint8_t>(16000, 0)));  // 3: silent
    db.AddEntry(320, UndecodableFrame());                          // 4
    db.AddFragment({{0, 0}, {1, 1}, {2, 0}, {3, 1}, {5, 2}});
    db.AddFragment({{0, 3}, {1, 4}, {2, 0}});
    Open(db);
    const LevelsReport report = MeasureDatabaseLevels(*doc_);
    ASSERT_EQ(report.voices.size(), 8u);
    EXPECT_EQ(report.entriesDecoded, 5);
    const auto flags = [&](size_t i) {
        const VoiceLevels& v = report.voices[i];
        return std::string(v.measured ? "" : "undecodable ") + (v.flags.silent ? "silent " : "") +
               (v.flags.loudnessOutlier ? "outlier" : "");
    };
    EXPECT_EQ(flags(0), "");
    EXPECT_EQ(flags(4), "outlier");
    EXPECT_EQ(flags(5), "silent ");
    EXPECT_EQ(flags(6), "undecodable ");
    EXPECT_EQ(flags(7), "") << "its other voices are silent or undecodable: nothing to compare";
    EXPECT_EQ(report.flagged, 3);
    EXPECT_EQ(report.voices[7].voxIndex, 0);
}

const std::string kHeaderLines =
    "; Filenames of saved voxfile wav files with .lh extension\r\n"
    "; for later reinstallation into a voxfile\r\n";

// A database whose fragment 1 has an undecodable voice, and an export folder out/ beside it.
class ViewActions : public ImportFixture {
  protected:
    void SetUp() override {
        db_.AddEntry(3200, CodedPcm(SpeechLikePcm(3200)));         // 0
        db_.AddEntry(1600, CodedPcm(SpeechLikePcm(1600, 300.0)));  // 1
        db_.AddEntry(320, UndecodableFrame());                     // 2
        db_.AddFragment({{0, 0}});                                 // 0
        db_.AddFragment({{1, 1}, {4, 2}, {9, 0}});                 // 1: voice 4 does not decode
        db_.AddFragment({});                                       // 2
        db_.AddFragment({{0, 1}, {5, 0}, {13, 1}, {14, 1}});       // 3: voice 14 is never exported
        Open(db_);
    }
    // The wave file an entry must become: its decoded samples in SpeechWaveFormat.
    Bytes WaveOf(int voxIndex) {
        VoxEntry entry;
        EXPECT_TRUE(doc_->GetVoxEntry(voxIndex, entry));
        std::unique_ptr<uint8_t[]> pcm;
        uint32_t pcmLen = 0;
        EXPECT_TRUE(doc_->DecodeEntry(entry, pcm, pcmLen));
        return MakeWaveBytes(pcm.get(), pcmLen);
    }

    DatabaseBuilder db_;
    const std::string out_ = dir_.File("out");
    const std::string list_ = out_ + "/Filenames.csv";
};

// Each voice of the range becomes a wave file, listed with CR LF in the fragments' order; an
// undecodable entry, an empty fragment and voice 14 get neither file nor line, and a range
// without pairs leaves the header alone (said only when the range was the right way round).
TEST_F(ViewActions, AnExportWritesEachVoiceAsAWaveFileAndListsIt) {
    const struct {
        long long from;
        long long to;
        std::string lines;
        Messages messages;
    } cases[] = {
        {0,
         4,
         "0-0;.lh\r\n1-1;.lh\r\n1-9;.lh\r\n3-0;.lh\r\n3-5;.lh\r\n3-13;.lh\r\n",
         {"6 .wav files saved"}},
        {3, 1, "", {}},
        {5, 10, "", {"0 .wav files saved"}},
    };
    const std::map<std::string, int> entryOf = {{"0-0", 0}, {"1-1", 1}, {"1-9", 0},
                                                {"3-0", 1}, {"3-5", 0}, {"3-13", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to));
        std::filesystem::remove_all(out_);
        ASSERT_EQ(mkdir(out_.c_str(), 0700), 0);
        prompter_.messages.clear();
        prompter_.AnswerFile(list_);
        prompter_.AnswerNumbers(std::vector<long long>{c.from, c.to});
        SaveFragmentRange(*doc_);
        EXPECT_EQ(ReadText(list_), kHeaderLines + c.lines);
        std::vector<std::string> files = {"Filenames.csv"};
        for (const auto& [name, voxIndex] : entryOf) {
            if (c.lines.find(name + ";") == std::string::npos) continue;
            files.push_back(name + ".wav");
            EXPECT_EQ(ReadFileBytes(out_ + "/" + name + ".wav"), WaveOf(voxIndex)) << name;
        }
        std::sort(files.begin(), files.end());
        EXPECT_EQ(ListFolder(out_), files);
        EXPECT_EQ(prompter_.messages, c.messages);
    }
    const ExportResult result = ExportFragmentRange(*doc_, 1, 1, list_);
    EXPECT_EQ(result.undecodable, 1);
    ASSERT_EQ(result.undecodablePairs.size(), 1u);
    EXPECT_EQ(result.undecodablePairs[0].voice, 4);
}

}  // namespace
}  // namespace vox::test
