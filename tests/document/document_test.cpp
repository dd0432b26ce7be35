// The document: opening a database (the companion folder rule, every failing file named with its
// reason, the remembered side files, read-only access), editing, the save commands and the
// side-file commands.
#include "workbench/document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/player/nullsounddevice.h"
#include "talkdata/memoryprofile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/tempdir.h"
#include "ui/documentcommands.h"

namespace vox {
namespace {

using test::ReadFileBytes;

// The database lies in a folder of its own, so its tables cannot come from the current folder.
class DocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(mkdir(dir_.File("db").c_str(), 0700), 0);
        test::DatabaseBuilder db;
        db.AddEntry(640, {1, 2, 3, 4});
        db.AddFragment({{2, 0}, {7, 0}});
        db.AddFragment({{0, 0}});
        db.AddEval({{1, 0}, {9, 1}});
        db.AddEval({{0, 1}});
        talk_ = db.WriteTo(dir_.File("db"));
        NewDocument();
    }
    void NewDocument() {
        doc_ = std::make_unique<CVoxbenchDoc>(
            profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
        doc_->SetPrompter(&prompter_);
    }
    void Open() { ASSERT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError(); }
    std::string Db(const std::string& name) const { return dir_.File("db/" + name); }

    test::TempDir dir_;
    MemoryProfile profile_;
    test::ScriptedPrompter prompter_;
    std::string talk_;
    std::unique_ptr<CVoxbenchDoc> doc_;
};

// A backslash is an ordinary character of a name, and the root is the root, not the current folder.
TEST(CompanionFolder, TakesEverythingUpToTheLastSlash) {
    EXPECT_EQ(CVoxbenchDoc::CompanionFolder("/srv/db/speech.vox"), "/srv/db/");
    EXPECT_EQ(CVoxbenchDoc::CompanionFolder("speech.vox"), "");
    EXPECT_EQ(CVoxbenchDoc::CompanionFolder("/speech.vox"), "/");
    EXPECT_EQ(CVoxbenchDoc::CompanionFolder("C:\\data\\speech.vox"), "");
    EXPECT_EQ(CVoxbenchDoc::CompanionFolder("odd\\name/speech.vox"), "odd\\name/");
}

// A remembered file that is gone is skipped without a word and stays remembered.
TEST_F(DocumentTest, LoadsTheRememberedSideFilesOnlyWhileTheListsAreEmpty) {
    profile_.WriteString("Data", "Phrases", dir_.Write("phrases.csv", "header\n1,x,one,uno\n"));
    profile_.WriteString("Data", "Comms", dir_.File("gone.csv"));
    EXPECT_EQ(doc_->GetPhrase(1, 1), "") << "nothing is read before a talk file opens";
    Open();
    EXPECT_EQ(doc_->GetPhrase(1, 0), "one");
    EXPECT_EQ(doc_->GetPhrase(1, 1), "uno");
    EXPECT_EQ(profile_.GetString("Data", "Comms", ""), dir_.File("gone.csv"));

    profile_.WriteString("Data", "Phrases", dir_.Write("other.csv", "header\n1,x,other\n"));
    doc_->OnCloseDocument();
    EXPECT_EQ(doc_->GetFragCount(), 0);
    Open();
    EXPECT_EQ(doc_->GetPhrase(1, 0), "one") << "the lists outlive the database they came with";
}

// Position 0 is a move like any other: it still marks the document modified.
TEST_F(DocumentTest, SuccessfulEditsMarkTheDocumentModifiedRefusedOnesDoNot) {
    Open();
    EXPECT_FALSE(doc_->InsertFragElement(0, 7, 3)) << "voice 7 exists already";
    EXPECT_FALSE(doc_->InsertEvalElement(0, {9, 4})) << "index 9 exists already";
    EXPECT_FALSE(doc_->SetEvalElement(0, 2, {3, 3})) << "position 2 is past the list";
    EXPECT_FALSE(doc_->IsModified());
    EXPECT_EQ(doc_->ChangeEvalElement(0, 1, {0, 3}), 0);
    EXPECT_TRUE(doc_->IsModified());
}

TEST_F(DocumentTest, SaveAsksForEachModifiedTableInTurnAndMayWriteOverTheOpenOne) {
    Open();
    ASSERT_TRUE(doc_->InsertFragElement(1, 4, 0));
    ASSERT_TRUE(doc_->InsertEvalElement(1, {5, 1}));
    prompter_.AnswerFile(Db("fragFile.bin"));
    prompter_.AnswerFile(dir_.File("evals-out.bin"));
    EXPECT_TRUE(OnSaveDocument(*doc_));
    ASSERT_EQ(prompter_.fileRequests.size(), 2u);
    EXPECT_EQ(prompter_.fileRequests[0].fileName, "fragFile.bin");
    EXPECT_EQ(prompter_.fileRequests[1].fileName, "evalFile.bin");
    EXPECT_TRUE(prompter_.fileRequests[1].save && prompter_.fileRequests[1].overwritePrompt);
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_FALSE(doc_->GetFragTable().IsModified() || doc_->GetEvalTable().IsModified());
    EXPECT_EQ(ReadFileBytes(dir_.File("evals-out.bin")), doc_->GetEvalTable().SaveBytes());
    ListRecord frag;
    ASSERT_TRUE(doc_->GetFragRecord(1, frag)) << "the open database stays usable";
    EXPECT_EQ(doc_->FindVoxIndex(frag, 4), 0);

    NewDocument();
    Open();
    ASSERT_TRUE(doc_->GetFragRecord(1, frag));
    EXPECT_EQ(frag.count, 2);
    EXPECT_EQ(doc_->FindVoxIndex(frag, 4), 0);
}

}  // namespace
}  // namespace vox
