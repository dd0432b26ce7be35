// Exporting fragments as wave files: the files and the list byte for byte, and what happens to
// entries that do not decode. Saving one voice and playing are the form's tests; failed writes
// the fault tests'.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>

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
