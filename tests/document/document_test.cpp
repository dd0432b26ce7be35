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

struct CountingView : DocumentView {
    int updates = 0;
    void OnUpdate() override { ++updates; }
};

// The database lies in a folder of its own, so its tables cannot come from the current folder.
class DocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(mkdir(dir_.File("db").c_str(), 0700), 0);
        test::DatabaseBuilder db;
        db.AddEntry(640, {1, 2, 3, 4});
        db.AddEntry(320, {5, 6});
        db.AddFragment({{2, 0}, {7, 1}});
        db.AddFragment({{0, 0}});
        db.AddEval({{1, 0}, {9, 1}});
        db.AddEval({{0, 1}});
        db.AddComm({.entries = {0, -0, 1}});
        talk_ = db.WriteTo(dir_.File("db"));
        NewDocument();
    }
    void NewDocument() {
        doc_ = std::make_unique<CVoxbenchDoc>(
            profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
        doc_->SetPrompter(&prompter_);
        doc_->AddView(&view_);
    }
    void Open() { ASSERT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError(); }
    std::string Db(const std::string& name) const { return dir_.File("db/" + name); }

    test::TempDir dir_;
    MemoryProfile profile_;
    test::ScriptedPrompter prompter_;
    CountingView view_;
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

TEST_F(DocumentTest, OpensTheTalkFileWithItsCompanionTablesAndANewDocumentDropsThem) {
    Open();
    EXPECT_EQ(view_.updates, 1);
    EXPECT_EQ(doc_->GetFragCount(), 2);
    EXPECT_EQ(doc_->GetEvalCount(), 2);
    EXPECT_EQ(doc_->GetCommCount(), 1);
    doc_->SetModifiedFlag(true);
    EXPECT_TRUE(doc_->OnNewDocument());
    EXPECT_EQ(doc_->GetFragCount() + doc_->GetEvalCount() + doc_->GetCommCount(), 0);
    VoxEntry entry;
    EXPECT_FALSE(doc_->GetVoxEntry(0, entry));
    EXPECT_FALSE(doc_->IsModified());
    EXPECT_EQ(doc_->GetPathName(), "");
}

// Every file that fails is named with its reason; a failed open does not refresh the views.
TEST_F(DocumentTest, AFailedOpenNamesTheFileAndTheReason) {
    const struct {
        const char* file;
        test::Bytes bytes;
        const char* reason;
    } cases[] = {
        {"speech.vox", {}, "empty"},
        {"fragFile.bin", {0, 0, 0, 0, 4, 0, 0, 0}, "below 8"},
        {"commFile.bin", {}, "empty"},
        {"evalFile.bin", {0, 0, 0, 0, 16, 0, 0, 0}, "record area"},
    };
    for (const auto& c : cases) {
        const std::string path = c.file == std::string("speech.vox") ? talk_ : Db(c.file);
        const test::Bytes good = ReadFileBytes(path);
        test::WriteFileBytes(path, c.bytes);
        EXPECT_FALSE(doc_->OnOpenDocument(talk_));
        const std::string error = doc_->GetOpenError();
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        test::WriteFileBytes(path, good);
    }
    EXPECT_EQ(view_.updates, 0);
}

TEST_F(DocumentTest, AReadOnlyOpenWritesNothingAndAReadOnlyFileOpensOnlyForReading) {
    const test::Bytes before = ReadFileBytes(talk_);
    ASSERT_TRUE(doc_->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadOnly));
    EXPECT_FALSE(OnSaveDocument(*doc_));
    doc_.reset();
    EXPECT_EQ(ReadFileBytes(talk_), before);

    if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
    NewDocument();
    ASSERT_EQ(chmod(talk_.c_str(), 0400), 0);
    EXPECT_FALSE(doc_->OnOpenDocument(talk_));
    EXPECT_TRUE(doc_->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadOnly));
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

// How the names are kept in the profile is the name list's test.
TEST_F(DocumentTest, EvalNamesRefreshTheViewsAndReachTheProfileWhenTheDocumentGoes) {
    Open();
    EXPECT_TRUE(doc_->SetEvalName(1, "callsign"));
    EXPECT_EQ(view_.updates, 2);
    EXPECT_FALSE(doc_->IsModified()) << "names are not part of the tables";
    doc_.reset();
    EXPECT_EQ(profile_.GetString("EvalNames", "EvalName1", ""), "callsign");
}

TEST_F(DocumentTest, TheSideFileCommandsRememberTheChosenFileEvenWhenItCannotBeRead) {
    Open();
    prompter_.AnswerFile(dir_.File("missing.csv"));
    OnLoadPhrases(*doc_);
    EXPECT_EQ(profile_.GetString("Data", "Phrases", ""), dir_.File("missing.csv"));
    prompter_.AnswerFile(dir_.Write("names.csv", "2,last call\n"));
    OnLoadCommNames(*doc_);
    EXPECT_EQ(doc_->GetCommName(2), "last call");
    EXPECT_EQ(profile_.GetString("Data", "Comms", ""), dir_.File("names.csv"));
    ASSERT_EQ(prompter_.fileRequests.size(), 2u);
    EXPECT_TRUE(prompter_.fileRequests[0].mustExist);
}

}  // namespace
}  // namespace vox
