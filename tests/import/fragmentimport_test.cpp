// Replace, Add New and Add Voice from wave files as the form runs them: the fragment table, the
// messages in order, and what the document reads afterwards. The talk file's bytes are the
// library's to check.
#include <sys/stat.h>
#include <unistd.h>

#include "talkdata/faultinjection.h"
#include "talkdata/writerlock.h"
#include "tests/import/importfixture.h"
#include "ui/importflows.h"

namespace vox::test {
namespace {

const std::string kReplaceWarning =
    "This function only replaces the file pointer !\nThe new .wav file will be appended to the "
    "voxfile !";

using Messages = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) { return ReadU32(bytes.data() + at); }

class FragmentImport : public ImportFixture {
  protected:
    void SetUp() override {
        pcmA_ = SpeechLikePcm(3200);
        pcmB_ = SpeechLikePcm(1600, 300.0);
        db_.AddEntry(3200, CodedPcm(pcmA_));  // 0
        db_.AddEmptySlot();                   // 1
        db_.AddSharedSlot(0);                 // 2
        db_.AddEntry(1600, CodedPcm(pcmB_));  // 3
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
    bool Add(int fragment, int voice, int presetVoice = 0) {
        prompter_.AnswerFile(wave_);
        if (fragment < doc_->GetFragCount()) prompter_.AnswerPreview(true);
        prompter_.AnswerNumbers(std::vector<long long>{voice});
        int fragmentVoice = presetVoice;
        const bool added = AddFromWave(*doc_, fragment, fragmentVoice);
        EXPECT_EQ(fragmentVoice, voice) << "the typed voice becomes the fragment voice";
        return added;
    }
    void Replace(int fragment, int voice) {
        prompter_.AnswerFile(wave_);
        prompter_.AnswerPreview(true);
        ReplaceFromWave(*doc_, fragment, voice);
    }
    void ExpectNothingChanged() {
        EXPECT_EQ(TalkBytes(), before_);
        EXPECT_EQ(FragTableBytes(), tableBefore_);
        EXPECT_FALSE(FileExists(TempTalkPath()));
        EXPECT_TRUE(doc_->IsTalkFileOpen());
        EXPECT_EQ(doc_->GetVoxFile().GetSize(), before_.size());
        EXPECT_FALSE(doc_->IsModified());
        EXPECT_EQ(view_.updates, 0);
    }
    int VoxIndexOf(int fragment, int voice) {
        ListRecord record;
        if (!doc_->GetFragRecord(fragment, record)) return -2;
        return doc_->FindVoxIndex(record, voice);
    }

    DatabaseBuilder db_;
    std::vector<uint8_t> pcmA_, pcmB_, newPcm_;
    std::vector<uint8_t> before_, tableBefore_;
    std::string wave_;
};

// --- Add New and Add Voice --------------------------------------------------------------------

TEST_F(FragmentImport, AddVoiceRewritesTheTalkFileWithOneMoreSlotAndTheNewEntryLast) {
    ASSERT_TRUE(Add(1, 5));
    EXPECT_EQ(prompter_.messages, Messages{});
    const std::vector<uint8_t> coded = CodedPcm(newPcm_);
    EXPECT_EQ(TalkBytes().size(), before_.size() + 4 + 8 + coded.size());
    EXPECT_EQ(VoxIndexOf(1, 5), 4);
    EXPECT_EQ(VoxIndexOf(1, 2), 3);
    EXPECT_TRUE(doc_->IsModified());
    EXPECT_EQ(view_.updates, 1);
    EXPECT_FALSE(FileExists(TempTalkPath()));
    // The document reads the new file: the new entry and the old ones behind moved slots.
    VoxEntry entry;
    ASSERT_TRUE(doc_->GetVoxEntry(4, entry));
    EXPECT_EQ(entry.decodedSize, 4800u);
    EXPECT_EQ(std::vector<uint8_t>(entry.data, entry.data + entry.codedSize), coded);
    ASSERT_TRUE(doc_->GetVoxEntry(2, entry));
    EXPECT_EQ(entry.decodedSize, 3200u);
}

// Regression: the rewrite renamed a new talk file into place while the lock stayed on the old
// one, so another writer (a compact) could take the database from under the open document.
TEST_F(FragmentImport, TheRewrittenTalkFileIsStillLockedAgainstOtherWriters) {
    ASSERT_TRUE(Add(1, 5));
    WriterLock other;
    EXPECT_FALSE(other.Acquire(talk_));
    EXPECT_EQ(other.GetError(), WriterLock::kHeldElsewhere);
}

TEST_F(FragmentImport, AddNewAppendsAFragmentAndAsksForTheVoiceWithTheDialogOfTheForm) {
    ASSERT_TRUE(Add(3, 7, 2));
    EXPECT_EQ(doc_->GetFragCount(), 4);
    EXPECT_EQ(VoxIndexOf(3, 7), 4);
    ASSERT_EQ(prompter_.fileRequests.size(), 1u);
    const FileDialogRequest& file = prompter_.fileRequests[0];
    EXPECT_FALSE(file.save);
    EXPECT_EQ(file.defaultExtension, "wav");
    EXPECT_EQ(file.fileName, "");
    EXPECT_EQ(file.filter,
              "Sound Files (*.wav;*.flac;*.ogg;*.oga;*.aif;*.aiff)|*.wav;*.flac;*.ogg;*.oga;*.aif;"
              "*.aiff|Wave Files (*.wav)|*.wav|All files (*.*)|*.*||");
    EXPECT_TRUE(file.mustExist);
    EXPECT_EQ(file.optionLabel, "Normalize loudness");
    EXPECT_FALSE(file.optionChecked);
    ASSERT_EQ(prompter_.numberRequests.size(), 1u);
    const NumberDialogRequest& voice = prompter_.numberRequests[0];
    EXPECT_EQ(voice.caption, "Voice Index");
    ASSERT_EQ(voice.fields.size(), 1u);
    EXPECT_EQ(voice.fields[0].label, "Voice Id");
    EXPECT_EQ(voice.fields[0].value, 2);
}

// Regression: a take longer than an entry holds was stored with its whole length as
// decodedSize while only its first 5.06 s were coded, without a word. Now the person is asked;
// a yes stores exactly the first 5.06 s, a no changes nothing.
TEST_F(FragmentImport, AWaveLongerThanAnEntryHoldsIsCutOnlyAfterAYes) {
    wave_ = WriteWaveFile("long.wav", SpeechLikePcm(96000));
    prompter_.AnswerFile(wave_);
    prompter_.AnswerYesNoCancel(Answer::No);
    int voice = 0;
    EXPECT_FALSE(AddFromWave(*doc_, 2, voice));
    ExpectNothingChanged();
    prompter_.AnswerYesNoCancel(Answer::Yes);
    ASSERT_TRUE(Add(2, 0));
    EXPECT_EQ(prompter_.questions,
              (Messages{"The recording is 6.00 s long; only the first 5.06 s can be stored. "
                        "Store the first 5.06 s?",
                        "The recording is 6.00 s long; only the first 5.06 s can be stored. "
                        "Store the first 5.06 s?"}));
    VoxEntry entry;
    ASSERT_TRUE(doc_->GetVoxEntry(4, entry));
    EXPECT_EQ(entry.decodedSize, 80960u);
    EXPECT_EQ(entry.codedSize, 5060u);
    EXPECT_EQ(prompter_.statuses, Messages{"cut to the first 5.06 s of 6.00 s"});
}

TEST_F(FragmentImport, AWaveShorterThanOneFrameIsStoredWithoutCodedBytes) {
    wave_ = WriteWaveFile("short.wav", SpeechLikePcm(300));
    ASSERT_TRUE(Add(2, 0));
    VoxEntry entry;
    ASSERT_TRUE(doc_->GetVoxEntry(4, entry));
    EXPECT_EQ(entry.decodedSize, 300u);
    EXPECT_EQ(entry.codedSize, 0u);
    EXPECT_EQ(TalkBytes().size(), before_.size() + 4 + 8);
}

// --- the failure table, for the adds -------------------------------------------------------------

TEST_F(FragmentImport, CancellingTheFileOrTheVoiceDialogChangesNothing) {
    prompter_.AnswerFile(std::nullopt);
    int voice = 3;
    EXPECT_FALSE(AddFromWave(*doc_, 1, voice));
    EXPECT_EQ(voice, 3);
    prompter_.AnswerFile(wave_);
    prompter_.AnswerPreview(true);
    prompter_.AnswerNumbers(std::nullopt);
    EXPECT_FALSE(AddFromWave(*doc_, 1, voice));
    EXPECT_EQ(voice, 3);
    EXPECT_EQ(prompter_.messages, Messages{});
    ExpectNothingChanged();
}

TEST_F(FragmentImport, ABadWaveFileOrACodecFailureIsSaidAndChangesNothing) {
    WriteFileBytes(dir_.File("bad.wav"), {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    prompter_.AnswerFile(dir_.File("bad.wav"));
    int voice = 0;
    EXPECT_FALSE(AddFromWave(*doc_, 1, voice));
    EXPECT_TRUE(prompter_.numberRequests.empty());
    faults::Arm("import.encode");
    prompter_.AnswerFile(wave_);
    EXPECT_FALSE(AddFromWave(*doc_, 1, voice));
    EXPECT_EQ(prompter_.messages, (Messages{"Bad wave file\nnot a sound file libsndfile can read",
                                            "Compression stage failed"}));
    ExpectNothingChanged();
}

TEST_F(FragmentImport, AnExistingVoiceOrAFragmentBeyondTheCountIsRefusedBeforeTheRewrite) {
    EXPECT_FALSE(Add(1, 2));
    EXPECT_FALSE(Add(4, 0));
    EXPECT_EQ(prompter_.messages, (Messages{"Add new fragment failed", "Failed to add fragment",
                                            "Add new fragment failed", "Failed to add fragment"}));
    ExpectNothingChanged();
}

TEST_F(FragmentImport, AProgressWatcherCanStopTheRewrite) {
    prompter_.AnswerFile(wave_);
    prompter_.AnswerPreview(true);
    prompter_.AnswerNumbers(std::vector<long long>{5});
    int voice = 0;
    int reports = 0;
    EXPECT_FALSE(AddFromWave(*doc_, 1, voice, [&](uint64_t, uint64_t) { return ++reports < 1; }));
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(prompter_.messages, Messages{"Failed to add fragment"});
    ExpectNothingChanged();
}

TEST_F(FragmentImport, ATalkFileWhoseNameEndsInTheTemporaryMarkIsNeverItsOwnTemporaryFile) {
    Open(db_, "speech.vo$");
    before_ = TalkBytes();
    EXPECT_FALSE(Add(1, 5));
    ASSERT_EQ(prompter_.messages.size(), 2u);
    EXPECT_EQ(prompter_.messages[0].rfind("Can't create temporary file: " + TalkPath() + ": ", 0),
              0u);
    EXPECT_EQ(TalkBytes(), before_);
    EXPECT_TRUE(doc_->IsTalkFileOpen());
}

TEST_F(FragmentImport, AReadOnlyDocumentNeverRewritesItsTalkFile) {
    doc_->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadOnly);
    EXPECT_FALSE(Add(1, 5));
    EXPECT_EQ(prompter_.messages,
              (Messages{"Voxfile is opened read-only", "Failed to add fragment"}));
    EXPECT_EQ(TalkBytes(), before_);
}

// --- Replace ------------------------------------------------------------------------------------

// The bytes of both ways are the talk file's tests; here, what the document reads afterwards.
TEST_F(FragmentImport, ReplaceAppendsOneEntryAndRepointsOnlyTheFragmentsSlot) {
    Replace(1, 2);  // voxIndex 3
    EXPECT_EQ(prompter_.messages, Messages{kReplaceWarning});
    const std::vector<uint8_t> coded = CodedPcm(newPcm_);
    EXPECT_EQ(TalkBytes().size(), before_.size() + 8 + coded.size());
    VoxEntry entry;
    ASSERT_TRUE(doc_->GetVoxEntry(3, entry));
    EXPECT_EQ(std::vector<uint8_t>(entry.data, entry.data + entry.codedSize), coded);
    // The form is not refreshed and nothing counts as modified.
    EXPECT_FALSE(doc_->IsModified());
    EXPECT_EQ(view_.updates, 0);
    EXPECT_EQ(FragTableBytes(), tableBefore_);
}

TEST_F(FragmentImport, ReplaceOfSlotZeroRewritesWithTheNewEntryRightBehindTheDirectory) {
    Replace(0, 0);
    EXPECT_EQ(prompter_.messages, Messages{kReplaceWarning});
    EXPECT_EQ(U32At(TalkBytes(), 12), U32At(before_, 12));
    EXPECT_FALSE(FileExists(TempTalkPath()));
    ASSERT_TRUE(doc_->IsTalkFileOpen());
    VoxEntry entry;
    ASSERT_TRUE(doc_->GetVoxEntry(0, entry));
    EXPECT_EQ(entry.decodedSize, 4800u);
    EXPECT_EQ(std::vector<uint8_t>(entry.data, entry.data + entry.codedSize), CodedPcm(newPcm_));
    ASSERT_TRUE(doc_->GetVoxEntry(2, entry));
    EXPECT_EQ(entry.decodedSize, 3200u);

    // The directory still ends where it did, so a later add finds four slots.
    prompter_.messages.clear();
    ASSERT_TRUE(Add(2, 0));
    EXPECT_EQ(VoxIndexOf(2, 0), 4);
}

TEST_F(FragmentImport, ReplaceOfAMissingFragmentOrVoiceChangesNothingAndSaysNothing) {
    Replace(9, 0);
    Replace(1, 0);
    Replace(2, 0);
    EXPECT_EQ(prompter_.messages, (Messages{kReplaceWarning, kReplaceWarning, kReplaceWarning}));
    ExpectNothingChanged();
}

TEST_F(FragmentImport, ReplaceSaysABadWaveOrACodecFailureAfterItsWarning) {
    WriteFileBytes(dir_.File("bad.wav"), {0, 1, 2});
    prompter_.AnswerFile(dir_.File("bad.wav"));
    ReplaceFromWave(*doc_, 1, 2);
    faults::Arm("import.encode");
    Replace(1, 2);
    prompter_.AnswerFile(std::nullopt);
    ReplaceFromWave(*doc_, 1, 2);
    EXPECT_EQ(prompter_.messages,
              (Messages{kReplaceWarning, "Bad wave file\nnot a sound file libsndfile can read",
                        kReplaceWarning, "Compression stage failed", kReplaceWarning}));
    ExpectNothingChanged();
}

}  // namespace
}  // namespace vox::test
