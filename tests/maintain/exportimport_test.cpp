// Re-installing an export through the document: only changed waves are coded again, all
// appends come first, and every refused line is named.
#include <sys/stat.h>

#include "audio/wavefile.h"
#include "talkdata/faultinjection.h"
#include "tests/maintain/maintainfixture.h"
#include "workbench/fragmentexport.h"
#include "workbench/listimport.h"

namespace vox::test {
namespace {

class ExportImportTest : public DocumentFixture {
  protected:
    void SetUp() override { Export(); }

    // Opens the written database, exports every voice into ex/ and remembers the talk file.
    void Export() {
        Open();
        mkdir(dir_.File("ex").c_str(), 0700);
        list_ = dir_.File("ex/Filenames.csv");
        const ExportResult exported = ExportFragmentRange(*doc_, 0, doc_->GetFragCount(), list_);
        ASSERT_TRUE(exported.listWritten) << exported.error;
        before_ = TalkBytes();
    }
    void WriteWave(const std::string& name, const Bytes& pcm) {
        WriteFileBytes(dir_.File("ex/" + name),
                       MakeWaveBytes(pcm.data(), static_cast<uint32_t>(pcm.size())));
    }
    // The entry's header and coded bytes as the file holds them.
    static Bytes NewEntry(const Bytes& pcm) {
        Bytes entry;
        const Bytes coded = CodedPcm(pcm);
        PutU32(entry, static_cast<uint32_t>(pcm.size()));
        PutU32(entry, static_cast<uint32_t>(coded.size()));
        entry.insert(entry.end(), coded.begin(), coded.end());
        return entry;
    }

    std::string list_;
    Bytes before_;
};

// Importing the same export again finds the entries already holding those recordings.
TEST_F(ExportImportTest, OnlyEditedWavesReplaceTheirEntriesInOneAppendAndRefusalsAreNamed) {
    const Bytes louder = SpeechLikePcm(4800, 330);
    const Bytes other = SpeechLikePcm(2560, 610);
    WriteWave("1-2.wav", louder);  // entry 2; fragment 4 keeps its own slot 6
    WriteWave("2-5.wav", other);   // entry 4
    ImportResult result = ImportExportList(*doc_, list_);
    EXPECT_EQ(result.replaced, 2);
    EXPECT_EQ(result.unchanged, 5);
    EXPECT_TRUE(result.refused.empty() && result.error.empty());

    // One append, in voxIndex order, at the old end of the file; only slots 2 and 4 moved.
    const Bytes after = TalkBytes();
    Bytes expected = before_;
    const Bytes entry2 = NewEntry(louder);
    const Bytes entry4 = NewEntry(other);
    WriteU32(expected.data() + 12 + 4 * 2, static_cast<uint32_t>(before_.size()));
    WriteU32(expected.data() + 12 + 4 * 4, static_cast<uint32_t>(before_.size() + entry2.size()));
    expected.insert(expected.end(), entry2.begin(), entry2.end());
    expected.insert(expected.end(), entry4.begin(), entry4.end());
    EXPECT_EQ(after, expected);

    result = ImportExportList(*doc_, list_);
    EXPECT_EQ(result.replaced, 0);
    EXPECT_EQ(TalkBytes(), after);

    // Refused lines are named, and everything else is still imported. A missing or unreadable
    // wave and a missing list are voxtool's tests' to show.
    WriteWave("1-2.wav", SpeechLikePcm(1600, 450));
    WriteWave("0-3.wav", Bytes(SpeechCodec::kMaxPcmBytes + 2, 0));
    WriteText(list_, ReadText(list_) + "9-0;.lh\r\n0-5;.lh\r\n\r\n12-x;.lh\r\n; a remark\r\n");
    // Lines 1-2 are the header; 3 0-0, 4 0-3, 5 1-2, 6 2-0, 7 2-5, 8 3-1, 9 4-2, then ours.
    result = ImportExportList(*doc_, list_);
    EXPECT_EQ(result.replaced, 1);
    EXPECT_EQ(result.unchanged, 5);
    std::vector<std::pair<int, std::string>> refusals;
    for (const ImportRefusal& r : result.refused) refusals.emplace_back(r.line, r.why);
    EXPECT_EQ(refusals, (std::vector<std::pair<int, std::string>>{
                            {4, "0-3.wav: 5.07 s long; a talk entry holds at most 5.06 s"},
                            {10, "there is no fragment 9"},
                            {11, "fragment 0 has no voice 5"},
                            {13, "not a line of an export list (\"F-V;.lh\")"}}));
    EXPECT_EQ(result.refused.back().text, "12-x;.lh");
    EXPECT_NE(SlotValue(TalkBytes(), 2), SlotValue(after, 2));
}

// A list that cannot be read, a failed append and a stop write nothing.
TEST_F(ExportImportTest, AFailedAppendOrAStopLeavesEverySlotAsItWas) {
    ImportResult result = ImportExportList(*doc_, dir_.File("ex/none.csv"));
    EXPECT_FALSE(result.listRead);
    EXPECT_EQ(result.error, dir_.File("ex/none.csv") + ": missing file");
    result = ImportExportList(*doc_, dir_.File("ex"));
    EXPECT_FALSE(result.listRead);
    EXPECT_EQ(result.error, dir_.File("ex") + ": not a regular file");
    WriteWave("1-2.wav", SpeechLikePcm(1600, 450));
    WriteWave("2-5.wav", SpeechLikePcm(1920, 390));
    faults::Arm("mappedfile.append");
    result = ImportExportList(*doc_, list_);
    faults::DisarmAll();
    EXPECT_EQ(result.replaced, 0);
    EXPECT_FALSE(result.error.empty());
    ASSERT_EQ(result.refused.size(), 2u);
    EXPECT_EQ(result.refused[0].why.rfind("the talk file could not be written: ", 0), 0u);
    EXPECT_EQ(TalkBytes(), before_);

    std::vector<uint64_t> seen;
    result = ImportExportList(*doc_, list_, [&seen](uint64_t done, uint64_t total) {
        seen.push_back(done);
        EXPECT_EQ(total, 8u);  // seven lines and the write
        return done < 3;
    });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(seen, (std::vector<uint64_t>{1, 2, 3}));
    EXPECT_EQ(result.replaced, 0);
    EXPECT_EQ(TalkBytes(), before_);
}

}  // namespace
TEST_F(ExportImportTest, LinesSharingAnEntryMustAgreeOnItsRecording) {
    DatabaseBuilder db = SampleDatabase();
    db.AddFragment({{0, 3}});  // fragment 5 names entry 3, as fragment 2 does
    doc_.reset();              // the new database takes the old one's place
    Write(db);
    Export();
    const Bytes pcm = SpeechLikePcm(3200, 520);
    WriteWave("2-0.wav", pcm);
    WriteWave("5-0.wav", SpeechLikePcm(3200, 700));
    ImportResult result = ImportExportList(*doc_, list_);
    EXPECT_EQ(result.replaced, 1);
    ASSERT_EQ(result.refused.size(), 1u);
    EXPECT_EQ(result.refused[0].why,
              "talk entry 3 is shared with line 6, whose wave file holds other samples");

    WriteWave("5-0.wav", pcm);
    before_ = TalkBytes();
    result = ImportExportList(*doc_, list_);
    EXPECT_EQ(result.replaced, 0);  // entry 3 already holds that recording
    EXPECT_TRUE(result.refused.empty());
    EXPECT_EQ(TalkBytes(), before_);
}

}  // namespace vox::test
