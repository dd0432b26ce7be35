// Saving and exporting fragments as wave files, and playing them: the files and the list byte
// for byte, the dialogs, and what happens to entries that do not decode.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

#include "audio/player/nullsounddevice.h"
#include "audio/wavefile.h"
#include "tests/import/importfixture.h"
#include "ui/exportflows.h"
#include "workbench/fragmentexport.h"

namespace vox::test {
namespace {

using Messages = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

const std::string kHeaderLines =
    "; Filenames of saved voxfile wav files with .lh extension\r\n"
    "; for later reinstallation into a voxfile\r\n";

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

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
        out_ = dir_.File("out");
        ASSERT_EQ(mkdir(out_.c_str(), 0700), 0);
        list_ = out_ + "/Filenames.csv";
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
    std::string out_;
    std::string list_;
};

// Each voice of the range becomes a wave file, listed with CR LF in the fragments' order; an
// undecodable entry and voice 14 get neither file nor line, and a range without pairs leaves
// the header alone (said only when the range was the right way round).
TEST_F(ViewActions, AnExportWritesEachVoiceAsAWaveFileAndListsIt) {
    const struct {
        long long from;
        long long to;
        std::string lines;
        Messages messages;
    } cases[] = {
        {3, 3, "3-0;.lh\r\n3-5;.lh\r\n3-13;.lh\r\n", {"3 .wav files saved"}},
        {0,
         4,
         "0-0;.lh\r\n1-1;.lh\r\n1-9;.lh\r\n3-0;.lh\r\n3-5;.lh\r\n3-13;.lh\r\n",
         {"6 .wav files saved"}},
        {3, 1, "", {}},
        {5, 10, "", {"0 .wav files saved"}},
        {2, 2, "", {"0 .wav files saved"}},
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
        EXPECT_EQ(Text(ReadFileBytes(list_)), kHeaderLines + c.lines);
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
    EXPECT_EQ(result.saved, 2);
    EXPECT_EQ(result.undecodable, 1);
    ASSERT_EQ(result.undecodablePairs.size(), 1u);
    EXPECT_EQ(result.undecodablePairs[0].fragment, 1);
    EXPECT_EQ(result.undecodablePairs[0].voice, 4);
    EXPECT_TRUE(result.listWritten);
}

TEST_F(ViewActions, TheExportAsksForTheListFileThenTheRangeWithTheFragmentCountPreset) {
    prompter_.AnswerFile(list_);
    prompter_.AnswerNumbers(std::nullopt);
    SaveFragmentRange(*doc_);
    ASSERT_EQ(prompter_.fileRequests.size(), 1u);
    const FileDialogRequest& file = prompter_.fileRequests[0];
    EXPECT_TRUE(file.save);
    EXPECT_EQ(file.defaultExtension, "wav");
    EXPECT_EQ(file.fileName, "Filenames.csv");
    EXPECT_EQ(file.filter, "Wave Files (*.wav)|*.wav|All files (*.*)|*.*||");
    EXPECT_TRUE(file.overwritePrompt);
    ASSERT_EQ(prompter_.numberRequests.size(), 1u);
    const NumberDialogRequest& range = prompter_.numberRequests[0];
    EXPECT_EQ(range.caption, "Choose a fragment range to save");
    ASSERT_EQ(range.fields.size(), 2u);
    EXPECT_EQ(range.fields[0].label, "From Frag:");
    EXPECT_EQ(range.fields[0].value, 0);
    EXPECT_EQ(range.fields[1].label, "To Frag:");
    EXPECT_EQ(range.fields[1].value, 4);
    // Cancelled at the range: nothing written, nothing said.
    EXPECT_EQ(ListFolder(out_), std::vector<std::string>{});
    EXPECT_EQ(prompter_.messages, Messages{});
}

TEST_F(ViewActions, AListFileThatCannotBeCreatedWritesNoWaveFile) {
    prompter_.AnswerFile(out_ + "/missing/Filenames.csv");
    prompter_.AnswerNumbers(std::vector<long long>{0, 4});
    SaveFragmentRange(*doc_);
    EXPECT_EQ(ListFolder(out_), std::vector<std::string>{});
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].rfind("File save failed\n", 0), 0u);
}

TEST_F(ViewActions, SaveWritesTheChosenFileAfterItsDialog) {
    const std::string path = out_ + "/one.wav";
    prompter_.AnswerFile(path);
    SaveFragmentWave(*doc_, 1, 9);
    EXPECT_EQ(ReadFileBytes(path), WaveOf(0));
    ASSERT_EQ(prompter_.fileRequests.size(), 1u);
    EXPECT_TRUE(prompter_.fileRequests[0].save);
    EXPECT_EQ(prompter_.fileRequests[0].fileName, "");
    EXPECT_TRUE(prompter_.fileRequests[0].overwritePrompt);
    EXPECT_EQ(prompter_.messages, Messages{});
}

TEST_F(ViewActions, SaveOfAMissingVoiceAsksNothingAndOfAnUndecodableOneWritesNothing) {
    SaveFragmentWave(*doc_, 1, 3);
    EXPECT_TRUE(prompter_.fileRequests.empty());
    prompter_.AnswerFile(out_ + "/bad.wav");
    SaveFragmentWave(*doc_, 1, 4);
    EXPECT_FALSE(FileExists(out_ + "/bad.wav"));
    const Status undecodable = WriteFragmentWave(*doc_, 1, 4, out_ + "/bad.wav");
    EXPECT_NE(undecodable.error.find("does not decode"), std::string::npos);
    EXPECT_FALSE(WriteFragmentWave(*doc_, 2, 0, out_ + "/bad.wav"));
    EXPECT_FALSE(FileExists(out_ + "/bad.wav"));
}

class Playing : public ViewActions {
  protected:
    void SetUp() override {
        control_ = std::make_shared<NullSoundControl>();
        ViewActions::SetUp();
        doc_ = std::make_unique<CVoxbenchDoc>(profile_, MakeNullSoundFactory(control_));
        ASSERT_TRUE(doc_->OnOpenDocument(talk_));
    }
    std::shared_ptr<NullSoundControl> control_;
};

TEST_F(Playing, AnUndecodableEntryIsNeverPlayed) {
    EXPECT_FALSE(PlayFragment(*doc_, 1, 4));
    EXPECT_FALSE(PlayFragment(*doc_, 1, 3));
    EXPECT_EQ(PlayFragmentSequence(*doc_, {1}, 4), 0);
    EXPECT_EQ(control_->GetCalls(NullSoundStep::Open), 0);
}

TEST_F(Playing, ASequenceStopsAtTheFirstFragmentThatCannotBePlayed) {
    EXPECT_EQ(PlayFragmentSequence(*doc_, {3, 0, 2, 3}, 0), 2);
    ASSERT_TRUE(control_->WaitForCalls(NullSoundStep::Play, 2, std::chrono::seconds(10)));
    const std::vector<NullSoundRecord> played = control_->GetPlayed();
    ASSERT_GE(played.size(), 1u);
    VoxEntry entry;
    ASSERT_TRUE(doc_->GetVoxEntry(1, entry));
    std::unique_ptr<uint8_t[]> pcm;
    uint32_t pcmLen = 0;
    ASSERT_TRUE(doc_->DecodeEntry(entry, pcm, pcmLen));
    EXPECT_EQ(played[0].pcm, Bytes(pcm.get(), pcm.get() + pcmLen));
}

// An export long enough to be committed in several batches: 12 fragments of 13 voices each,
// voice 7 of every fragment undecodable, so 144 wave files.
class LongExport : public ImportFixture {
  protected:
    static constexpr int kFragments = 12;

    void SetUp() override {
        db_.AddEntry(1600, CodedPcm(SpeechLikePcm(1600)));       // 0
        db_.AddEntry(960, CodedPcm(SpeechLikePcm(960, 330.0)));  // 1
        db_.AddEntry(320, UndecodableFrame());                   // 2
        for (int f = 0; f < kFragments; ++f) {
            std::vector<FragVoice> voices;
            for (int v = 0; v < 13; ++v) {
                const int voxIndex = v == 7 ? 2 : (f + v) % 2;
                voices.push_back({static_cast<int16_t>(v), static_cast<int16_t>(voxIndex)});
            }
            db_.AddFragment(voices);
        }
        Open(db_);
        out_ = dir_.File("out");
        ASSERT_EQ(mkdir(out_.c_str(), 0700), 0);
        list_ = out_ + "/Filenames.csv";
        for (int voxIndex : {0, 1}) {
            VoxEntry entry;
            ASSERT_TRUE(doc_->GetVoxEntry(voxIndex, entry));
            std::unique_ptr<uint8_t[]> pcm;
            uint32_t pcmLen = 0;
            ASSERT_TRUE(doc_->DecodeEntry(entry, pcm, pcmLen));
            waves_[voxIndex] = MakeWaveBytes(pcm.get(), pcmLen);
        }
    }
    // What the folder and the list must hold after fragments first..last were exported: no
    // wave file named in `missing`, and nothing else in the folder (no temporary) but `extra`.
    void ExpectExported(int first, int last, const std::vector<std::string>& missing = {},
                        std::vector<std::string> extra = {}) {
        std::string lines = kHeaderLines;
        std::vector<std::string>& names = extra;
        names.push_back("Filenames.csv");
        for (int f = first; f <= last; ++f) {
            for (int v = 0; v < 13; ++v) {
                const std::string name = std::to_string(f) + "-" + std::to_string(v);
                if (v == 7 || std::count(missing.begin(), missing.end(), name) != 0) continue;
                lines += name + ";.lh\r\n";
                names.push_back(name + ".wav");
                EXPECT_EQ(ReadFileBytes(out_ + "/" + name + ".wav"), waves_[(f + v) % 2]) << name;
            }
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(ListFolder(out_), names);
        EXPECT_EQ(Text(ReadFileBytes(list_)), lines);
    }
    static bool IsFolder(const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    DatabaseBuilder db_;
    std::string out_;
    std::string list_;
    Bytes waves_[2];
};

TEST_F(LongExport, EveryFileOfEveryBatchIsWholeAndListedInOrder) {
    const ExportResult result = ExportFragmentRange(*doc_, 0, kFragments - 1, list_);
    EXPECT_TRUE(result.listWritten) << result.error;
    EXPECT_EQ(result.saved, kFragments * 12);
    EXPECT_EQ(result.undecodable, kFragments);
    EXPECT_EQ(result.unwritten, 0);
    ExpectExported(0, kFragments - 1);
}

TEST_F(LongExport, AFileThatCannotBeCommittedInALaterBatchCostsOnlyThatFile) {
    // 9-3 lies in the second batch; a folder at its name makes its rename fail.
    ASSERT_EQ(mkdir((out_ + "/9-3.wav").c_str(), 0700), 0);
    const ExportResult result = ExportFragmentRange(*doc_, 0, kFragments - 1, list_);
    EXPECT_TRUE(result.listWritten) << result.error;
    EXPECT_EQ(result.saved, kFragments * 12 - 1);
    EXPECT_EQ(result.unwritten, 1);
    EXPECT_EQ(result.error.rfind(out_ + "/9-3.wav: ", 0), 0u) << result.error;
    EXPECT_TRUE(IsFolder(out_ + "/9-3.wav"));
    ExpectExported(0, kFragments - 1, {"9-3"}, {"9-3.wav"});
}

TEST_F(LongExport, ACancelKeepsAndListsEveryFileWrittenUpToThenAndNoLaterOne) {
    // Cancelled after fragment 6: 84 files, more than one batch, the last one not yet full.
    const ProgressFn progress = [](uint64_t done, uint64_t) { return done < 7; };
    const ExportResult result = ExportFragmentRange(*doc_, 0, kFragments - 1, list_, progress);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.listWritten) << result.error;
    EXPECT_EQ(result.saved, 7 * 12);
    ExpectExported(0, 6);
}

}  // namespace
}  // namespace vox::test
