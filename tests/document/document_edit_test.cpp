// Editing through the document: the modified flags, the save commands and their dialogs, eval
// names kept in the profile, the search commands and the side-file commands.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/player/nullsounddevice.h"
#include "talkdata/memoryprofile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/tempdir.h"
#include "ui/documentcommands.h"
#include "workbench/document.h"

namespace vox {
namespace {

using test::DatabaseBuilder;
using test::ScriptedPrompter;
using test::TempDir;

class DocumentEdit : public ::testing::Test {
  protected:
    void SetUp() override {
        DatabaseBuilder db;
        db.AddEntry(640, {1, 2, 3, 4});
        db.AddFragment({{2, 0}, {7, 0}});
        db.AddFragment({{0, 0}});
        db.AddEval({{1, 0}, {9, 1}});
        db.AddEval({{0, 1}});
        db.AddComm({.entries = {1, -1}});
        db.AddComm({.entries = {0, 5}});
        db.AddComm({.entries = {-0, 9}});
        talk_ = db.WriteTo(dir_.Path());
        fragBytes_ = db.FragBytes();
        evalBytes_ = db.EvalBytes();
        OpenDoc();
    }
    void OpenDoc() {
        doc_ = std::make_unique<CVoxbenchDoc>(
            profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
        doc_->SetPrompter(&prompter_);
        ASSERT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError();
    }

    TempDir dir_;
    MemoryProfile profile_;
    ScriptedPrompter prompter_;
    std::string talk_;
    std::vector<uint8_t> fragBytes_;
    std::vector<uint8_t> evalBytes_;
    std::unique_ptr<CVoxbenchDoc> doc_;
};

TEST_F(DocumentEdit, SuccessfulEditsMarkTheDocumentModifiedRefusedOnesDoNot) {
    EXPECT_FALSE(doc_->InsertFragElement(0, 7, 3)) << "voice 7 exists already";
    EXPECT_FALSE(doc_->InsertEvalElement(0, {9, 4})) << "index 9 exists already";
    EXPECT_FALSE(doc_->SetEvalElement(0, 2, {3, 3})) << "position 2 is past the list";
    EXPECT_FALSE(doc_->IsModified());
    EXPECT_TRUE(doc_->InsertFragElement(0, 5, 3));
    EXPECT_TRUE(doc_->IsModified());
    ListRecord frag;
    ASSERT_TRUE(doc_->GetFragRecord(0, frag));
    FragElement element;
    ASSERT_TRUE(doc_->GetFragElement(frag, 1, element));
    EXPECT_EQ(element.voice, 5);
    EXPECT_EQ(element.voxIndex, 3);
}

TEST_F(DocumentEdit, SaveWithNothingModifiedAsksNothingAndClearsTheFlag) {
    doc_->SetModifiedFlag(true);
    EXPECT_TRUE(OnSaveDocument(*doc_));
    EXPECT_TRUE(prompter_.fileRequests.empty());
    EXPECT_FALSE(doc_->IsModified());
}

TEST_F(DocumentEdit, SaveAsksForTheFragmentTableFirstThenTheEvalTable) {
    ASSERT_TRUE(doc_->InsertFragElement(1, 4, 0));
    ASSERT_TRUE(doc_->InsertEvalElement(1, {5, 1}));
    prompter_.AnswerFile(dir_.File("frags-out.bin"));
    prompter_.AnswerFile(dir_.File("evals-out.bin"));
    EXPECT_TRUE(OnSaveDocument(*doc_));
    ASSERT_EQ(prompter_.fileRequests.size(), 2u);
    EXPECT_EQ(prompter_.fileRequests[0].fileName, "fragFile.bin");
    EXPECT_EQ(prompter_.fileRequests[0].filter,
              "Frag Bin Files (*.bin)|*.bin|All files (*.*)|*.*||");
    EXPECT_EQ(prompter_.fileRequests[1].fileName, "evalFile.bin");
    EXPECT_EQ(prompter_.fileRequests[1].filter,
              "Eval Bin Files (*.bin)|*.bin|All files (*.*)|*.*||");
    EXPECT_TRUE(prompter_.fileRequests[0].save);
    EXPECT_TRUE(prompter_.fileRequests[0].overwritePrompt);
    EXPECT_EQ(prompter_.fileRequests[0].defaultExtension, "bin");
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_FALSE(doc_->GetFragTable().IsModified());
    EXPECT_FALSE(doc_->GetEvalTable().IsModified());
    EXPECT_EQ(test::ReadFileBytes(dir_.File("frags-out.bin")), doc_->GetFragTable().SaveBytes());
}

TEST_F(DocumentEdit, CancelledSaveKeepsTheTablesModifiedFlagSoTheNextSaveAsksAgain) {
    ASSERT_TRUE(doc_->InsertEvalElement(1, {5, 1}));
    prompter_.AnswerFile(std::nullopt);
    EXPECT_FALSE(OnSaveDocument(*doc_));
    EXPECT_TRUE(doc_->IsModified());
    EXPECT_TRUE(doc_->GetEvalTable().IsModified());
    prompter_.AnswerFile(std::nullopt);
    OnSaveDocument(*doc_);
    EXPECT_EQ(prompter_.fileRequests.size(), 2u);
}

TEST_F(DocumentEdit, SaveOverTheOpenTablesWorksAndTheReopenedDatabaseHasTheChange) {
    ASSERT_TRUE(doc_->InsertFragElement(1, 4, 0));
    prompter_.AnswerFile(dir_.File("fragFile.bin"));
    OnSaveFragFile(*doc_);
    EXPECT_TRUE(prompter_.messages.empty());
    ListRecord frag;
    ASSERT_TRUE(doc_->GetFragRecord(1, frag)) << "the open database stays usable";
    EXPECT_EQ(doc_->FindVoxIndex(frag, 4), 0);
    OpenDoc();
    ASSERT_TRUE(doc_->GetFragRecord(1, frag));
    EXPECT_EQ(frag.count, 2);
    EXPECT_EQ(doc_->FindVoxIndex(frag, 4), 0);
}

TEST_F(DocumentEdit, FailedSaveSaysSoKeepsTheOldFileAndTheModifiedFlag) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write into a read-only folder";
    ASSERT_TRUE(doc_->InsertEvalElement(1, {5, 1}));
    ASSERT_EQ(chmod(dir_.Path().c_str(), 0500), 0);
    prompter_.AnswerFile(dir_.File("evalFile.bin"));
    OnSaveEvalFile(*doc_);
    chmod(dir_.Path().c_str(), 0700);
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].rfind("File save failed", 0), 0u);
    EXPECT_TRUE(doc_->GetEvalTable().IsModified());
    EXPECT_EQ(test::ReadFileBytes(dir_.File("evalFile.bin")), evalBytes_);
}

TEST_F(DocumentEdit, EvalNamesLiveInTheProfileAcrossDocuments) {
    std::string name;
    EXPECT_TRUE(doc_->GetEvalName(7, name));
    EXPECT_EQ(name, "7");
    EXPECT_TRUE(doc_->SetEvalName(1, "callsign"));
    EXPECT_FALSE(doc_->IsModified()) << "names are not part of the tables";
    doc_.reset();
    EXPECT_EQ(profile_.GetString("EvalNames", "MaxEvals", ""), "2");
    EXPECT_EQ(profile_.GetString("EvalNames", "EvalName1", ""), "callsign");
    OpenDoc();
    EXPECT_TRUE(doc_->GetEvalName(1, name));
    EXPECT_EQ(name, "callsign");
}

TEST_F(DocumentEdit, SettingAnEvalNameRefreshesTheViews) {
    struct View : DocumentView {
        int updates = 0;
        void OnUpdate() override { ++updates; }
    } view;
    doc_->AddView(&view);
    doc_->SetEvalName(0, "digit");
    EXPECT_EQ(view.updates, 1);
    doc_->RemoveView(&view);
}

TEST_F(DocumentEdit, LoadPhrasesRemembersTheChosenFileEvenWhenItCannotBeRead) {
    prompter_.AnswerFile(dir_.File("missing.csv"));
    OnLoadPhrases(*doc_);
    EXPECT_EQ(profile_.GetString("Data", "Phrases", ""), dir_.File("missing.csv"));
    ASSERT_EQ(prompter_.fileRequests.size(), 1u);
    EXPECT_TRUE(prompter_.fileRequests[0].mustExist);
    EXPECT_EQ(prompter_.fileRequests[0].filter, "Phrase Files (*.csv)|*.csv|All Files (*.*)|*.*||");
}

TEST_F(DocumentEdit, LoadCommNamesReplacesTheNamesAndRefreshes) {
    const std::string text = "2,last call\n";
    test::WriteFileBytes(dir_.File("names.csv"), {text.begin(), text.end()});
    prompter_.AnswerFile(dir_.File("names.csv"));
    OnLoadCommNames(*doc_);
    EXPECT_EQ(doc_->GetCommName(2), "last call");
    EXPECT_EQ(profile_.GetString("Data", "Comms", ""), dir_.File("names.csv"));
}

}  // namespace
}  // namespace vox
