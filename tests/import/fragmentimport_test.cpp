// Replace and Add Voice from wave files as the form runs them: the fragment table, the messages,
// and what the document reads afterwards. The talk file's bytes are the library's to check,
// refusals and failed writes the form's and the fault tests'.
#include "talkdata/writerlock.h"
#include "tests/import/importfixture.h"
#include "ui/importflows.h"

namespace vox::test {
namespace {

const std::string kReplaceWarning =
    "This function only replaces the file pointer !\nThe new .wav file will be appended to the "
    "voxfile !";

using Messages = std::vector<std::string>;

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
        tableBefore_ = FragTableBytes();
        newPcm_ = SpeechLikePcm(4800, 180.0);
        wave_ = WriteWaveFile("new.wav", newPcm_);
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
    int VoxIndexOf(int fragment, int voice) {
        ListRecord record;
        if (!doc_->GetFragRecord(fragment, record)) return -2;
        return doc_->FindVoxIndex(record, voice);
    }
    Bytes CodedOf(int voxIndex) {
        VoxEntry entry;
        EXPECT_TRUE(doc_->GetVoxEntry(voxIndex, entry));
        return Bytes(entry.data, entry.data + entry.codedSize);
    }

    DatabaseBuilder db_;
    Bytes newPcm_, before_, tableBefore_;
    std::string wave_;
};

// Regression: the rewrite renamed a new talk file into place while the lock stayed on the old
// one, so another writer (a compact) could take the database from under the open document.
TEST_F(FragmentImport, AddVoiceRewritesTheTalkFileWithTheNewEntryLastAndKeepsTheLock) {
    ASSERT_TRUE(Add(1, 5));
    EXPECT_EQ(prompter_.messages, Messages{});
    EXPECT_EQ(TalkBytes().size(), before_.size() + 4 + 8 + CodedPcm(newPcm_).size());
    EXPECT_EQ(VoxIndexOf(1, 5), 4);
    EXPECT_EQ(CodedOf(4), CodedPcm(newPcm_));
    EXPECT_EQ(CodedOf(2), CodedOf(0)) << "the old entries are read behind their moved slots";
    EXPECT_TRUE(doc_->IsModified());
    EXPECT_EQ(view_.updates, 1);
    EXPECT_FALSE(FileExists(TempTalkPath()));
    WriterLock other;
    EXPECT_FALSE(other.Acquire(talk_));
    EXPECT_EQ(other.GetError(), WriterLock::kHeldElsewhere);
}

// Regression: a take longer than an entry holds was stored with its whole length as
// decodedSize while only its first 5.06 s were coded, without a word. Now the person is asked;
// a yes stores exactly the first 5.06 s, a no changes nothing. A take shorter than one frame
// is stored without coded bytes.
TEST_F(FragmentImport, AWaveLongerThanAnEntryHoldsIsCutOnlyAfterAYes) {
    wave_ = WriteWaveFile("long.wav", SpeechLikePcm(96000));
    prompter_.AnswerFile(wave_);
    prompter_.AnswerYesNoCancel(Answer::No);
    int voice = 0;
    EXPECT_FALSE(AddFromWave(*doc_, 2, voice));
    EXPECT_EQ(TalkBytes(), before_);
    EXPECT_EQ(FragTableBytes(), tableBefore_);
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

    wave_ = WriteWaveFile("short.wav", SpeechLikePcm(300));
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

TEST_F(FragmentImport, ReplaceOfSlotZeroRewritesWithTheNewEntryRightBehindTheDirectory) {
    prompter_.AnswerFile(wave_);
    prompter_.AnswerPreview(true);
    ReplaceFromWave(*doc_, 0, 0);
    EXPECT_EQ(prompter_.messages, Messages{kReplaceWarning});
    EXPECT_EQ(ReadU32(TalkBytes().data() + 12), ReadU32(before_.data() + 12));
    EXPECT_FALSE(FileExists(TempTalkPath()));
    ASSERT_TRUE(doc_->IsTalkFileOpen());
    EXPECT_EQ(CodedOf(0), CodedPcm(newPcm_));
    VoxEntry entry;
    ASSERT_TRUE(doc_->GetVoxEntry(2, entry));
    EXPECT_EQ(entry.decodedSize, 3200u);

    // The directory still ends where it did, so a later add finds four slots.
    prompter_.messages.clear();
    ASSERT_TRUE(Add(2, 0));
    EXPECT_EQ(VoxIndexOf(2, 0), 4);
}

}  // namespace
}  // namespace vox::test
