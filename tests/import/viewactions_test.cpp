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

const std::string kHeaderLines =
    "; Filenames of saved voxfile wav files with .lh extension\r\n"
    "; for later reinstallation into a voxfile\r\n";

// An export folder ex/ beside the database, made again for each export.
class ExportFixture : public ImportFixture {
  protected:
    void SetUp() override { NewFolder(); }
    void NewFolder() {
        std::filesystem::remove_all(out_);
        ASSERT_EQ(mkdir(out_.c_str(), 0700), 0);
    }
    Bytes PcmOf(int voxIndex) {
        VoxEntry entry;
        EXPECT_TRUE(doc_->GetVoxEntry(voxIndex, entry));
        std::unique_ptr<uint8_t[]> pcm;
        uint32_t pcmLen = 0;
        EXPECT_TRUE(doc_->DecodeEntry(entry, pcm, pcmLen));
        return Bytes(pcm.get(), pcm.get() + pcmLen);
    }
    // The wave file an entry must become: its decoded samples in SpeechWaveFormat.
    Bytes WaveOf(int voxIndex) {
        const Bytes pcm = PcmOf(voxIndex);
        return MakeWaveBytes(pcm.data(), static_cast<uint32_t>(pcm.size()));
    }

    DatabaseBuilder db_;
    const std::string out_ = dir_.File("out");
    const std::string list_ = out_ + "/Filenames.csv";
};

class ViewActions : public ExportFixture {
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
        ExportFixture::SetUp();
    }
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
        NewFolder();
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

// Cancelled at the range, nothing is written or said. A list that cannot be written is the
// fault tests' to see.
TEST_F(ViewActions, TheExportAsksForTheListThenTheRangeUpToTheFragmentCount) {
    prompter_.AnswerFile(list_);
    prompter_.AnswerNumbers(std::nullopt);
    SaveFragmentRange(*doc_);
    ASSERT_EQ(prompter_.numberRequests.size(), 1u);
    EXPECT_EQ(prompter_.numberRequests[0].fields.at(0).value, 0);
    EXPECT_EQ(prompter_.numberRequests[0].fields.at(1).value, 4);
    EXPECT_EQ(prompter_.fileRequests.at(0).fileName, "Filenames.csv");
    EXPECT_EQ(ListFolder(out_), std::vector<std::string>{});
    EXPECT_EQ(prompter_.messages, Messages{});
}

// A missing voice asks nothing; an undecodable one writes nothing.
TEST_F(ViewActions, SaveWritesOneVoiceAfterItsDialog) {
    prompter_.AnswerFile(out_ + "/one.wav");
    SaveFragmentWave(*doc_, 1, 9);
    EXPECT_EQ(ReadFileBytes(out_ + "/one.wav"), WaveOf(0));
    EXPECT_EQ(prompter_.messages, Messages{});
    SaveFragmentWave(*doc_, 1, 3);
    EXPECT_EQ(prompter_.fileRequests.size(), 1u);
    prompter_.AnswerFile(out_ + "/bad.wav");
    SaveFragmentWave(*doc_, 1, 4);
    const Status undecodable = WriteFragmentWave(*doc_, 1, 4, out_ + "/bad.wav");
    EXPECT_NE(undecodable.error.find("does not decode"), std::string::npos);
    EXPECT_FALSE(WriteFragmentWave(*doc_, 2, 0, out_ + "/bad.wav"));
    EXPECT_FALSE(FileExists(out_ + "/bad.wav"));
}

// A sequence stops at the first fragment that cannot be played; an undecodable entry is never
// played at all.
TEST_F(ViewActions, PlayingDecodesEachEntryAndSkipsWhatCannotBePlayed) {
    const auto control = std::make_shared<NullSoundControl>();
    doc_ = std::make_unique<CVoxbenchDoc>(profile_, MakeNullSoundFactory(control));
    ASSERT_TRUE(doc_->OnOpenDocument(talk_));
    EXPECT_FALSE(PlayFragment(*doc_, 1, 4));
    EXPECT_FALSE(PlayFragment(*doc_, 1, 3));
    EXPECT_EQ(PlayFragmentSequence(*doc_, {1}, 4), 0);
    EXPECT_EQ(control->GetCalls(NullSoundStep::Open), 0);

    EXPECT_EQ(PlayFragmentSequence(*doc_, {3, 0, 2, 3}, 0), 2);
    ASSERT_TRUE(control->WaitForCalls(NullSoundStep::Play, 2, std::chrono::seconds(10)));
    const std::vector<NullSoundRecord> played = control->GetPlayed();
    ASSERT_GE(played.size(), 1u);
    EXPECT_EQ(played[0].pcm, PcmOf(1));
}

// An export long enough to be committed in several batches: 12 fragments of 13 voices each,
// voice 7 of every fragment undecodable, so 144 wave files.
class LongExport : public ExportFixture {
  protected:
    void SetUp() override {
        db_.AddEntry(1600, CodedPcm(SpeechLikePcm(1600)));       // 0
        db_.AddEntry(960, CodedPcm(SpeechLikePcm(960, 330.0)));  // 1
        db_.AddEntry(320, UndecodableFrame());                   // 2
        for (int f = 0; f < 12; ++f) {
            std::vector<FragVoice> voices;
            for (int v = 0; v < 13; ++v) {
                const int voxIndex = v == 7 ? 2 : (f + v) % 2;
                voices.push_back({static_cast<int16_t>(v), static_cast<int16_t>(voxIndex)});
            }
            db_.AddFragment(voices);
        }
        Open(db_);
        ExportFixture::SetUp();
    }
    // Fragments 0..last are in the folder and the list, but for `skipped`, which is in neither
    // but may stand in the folder as something else; nothing more (no temporary) is there.
    void ExpectExported(int last, const std::string& skipped = "") {
        const Bytes waves[2] = {WaveOf(0), WaveOf(1)};
        std::string lines = kHeaderLines;
        std::vector<std::string> names = {"Filenames.csv"};
        if (!skipped.empty()) names.push_back(skipped + ".wav");
        for (int f = 0; f <= last; ++f) {
            for (int v = 0; v < 13; ++v) {
                const std::string name = std::to_string(f) + "-" + std::to_string(v);
                if (v == 7 || name == skipped) continue;
                lines += name + ";.lh\r\n";
                names.push_back(name + ".wav");
                EXPECT_EQ(ReadFileBytes(out_ + "/" + name + ".wav"), waves[(f + v) % 2]) << name;
            }
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(ListFolder(out_), names);
        EXPECT_EQ(ReadText(list_), lines);
    }
};

TEST_F(LongExport, AFileThatCannotBeCommittedCostsOnlyItselfAndACancelKeepsWhatWasWritten) {
    // 9-3 lies in the second batch; a folder at its name makes its rename fail.
    ASSERT_EQ(mkdir((out_ + "/9-3.wav").c_str(), 0700), 0);
    ExportResult result = ExportFragmentRange(*doc_, 0, 11, list_);
    EXPECT_TRUE(result.listWritten) << result.error;
    EXPECT_EQ(result.saved, 12 * 12 - 1);
    EXPECT_EQ(result.undecodable, 12);
    EXPECT_EQ(result.unwritten, 1);
    EXPECT_EQ(result.error.rfind(out_ + "/9-3.wav: ", 0), 0u) << result.error;
    EXPECT_TRUE(std::filesystem::is_directory(out_ + "/9-3.wav"));
    ExpectExported(11, "9-3");

    // Cancelled after fragment 6: 84 files, more than one batch, the last one not yet full.
    NewFolder();
    result =
        ExportFragmentRange(*doc_, 0, 11, list_, [](uint64_t done, uint64_t) { return done < 7; });
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.listWritten) << result.error;
    EXPECT_EQ(result.saved, 7 * 12);
    ExpectExported(6);
}

}  // namespace
}  // namespace vox::test
