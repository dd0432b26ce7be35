// The document: opening a database (the companion folder rule, every failing file named with its
// reason, the remembered side files, read-only access), editing, the save commands and the
// side-file commands; and the profile file, whose values survive the file and whose sections and
// keys keep their order.
#include "workbench/document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "audio/player/nullsounddevice.h"
#include "talkdata/iniprofile.h"
#include "talkdata/memoryprofile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/tempdir.h"
#include "ui/documentcommands.h"

namespace vox {
namespace {

using test::ReadFileBytes;
using test::TempDir;

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
        doc_ = std::make_unique<CVoxbenchDoc>(
            profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
        doc_->SetPrompter(&prompter_);
    }
    void Open() { ASSERT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError(); }

    TempDir dir_;
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
    prompter_.AnswerFile(dir_.File("db/fragFile.bin"));
    prompter_.AnswerFile(dir_.File("evals-out.bin"));
    EXPECT_TRUE(OnSaveDocument(*doc_));
    ASSERT_EQ(prompter_.fileRequests.size(), 2u);
    EXPECT_EQ(prompter_.fileRequests[0].fileName, "fragFile.bin");
    EXPECT_EQ(prompter_.fileRequests[1].fileName, "evalFile.bin");
    EXPECT_TRUE(prompter_.fileRequests[1].save && prompter_.fileRequests[1].overwritePrompt);
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_FALSE(doc_->GetFragTable().IsModified() || doc_->GetEvalTable().IsModified());
    EXPECT_EQ(ReadFileBytes(dir_.File("db/fragFile.bin")), doc_->GetFragTable().SaveBytes());
    EXPECT_EQ(ReadFileBytes(dir_.File("evals-out.bin")), doc_->GetEvalTable().SaveBytes());
    ListRecord frag;
    ASSERT_TRUE(doc_->GetFragRecord(1, frag)) << "the open database stays usable";
    EXPECT_EQ(doc_->FindVoxIndex(frag, 4), 0);
}

// Any value surviving the text is the fuzz target's to show; here, the file and its folders.
TEST(IniProfile, ValuesSurviveTheFileWrittenIntoFoldersThatDidNotExist) {
    TempDir dir;
    const std::string path = dir.File("deep/er/voxbench.ini");
    {
        IniProfile profile(path);
        profile.WriteString("Data", "Phrases", "/tmp/a\\b c/phrases.csv");
        profile.WriteString("EvalNames", "EvalName0", "two\nlines ");
        profile.WriteInt("EvalNames", "MaxEvals", 2);
        ASSERT_TRUE(profile.Flush()) << profile.GetError();
    }
    IniProfile again(path);
    EXPECT_EQ(again.GetString("Data", "Phrases", ""), "/tmp/a\\b c/phrases.csv");
    EXPECT_EQ(again.GetString("EvalNames", "EvalName0", ""), "two\nlines ");
    EXPECT_EQ(again.GetInt("EvalNames", "MaxEvals", 0), 2);
}

TEST(IniProfile, RepeatedSectionsMergeAndARepeatedKeyKeepsItsPlaceWithTheLastValue) {
    IniProfile profile("/nonexistent/never-written.ini");
    profile.ParseText("; comment\r\n[A]\r\nx=1\ny = 2\n\n[B]\nz=3\n[A]\nx=4\nw=5\n");
    EXPECT_EQ(profile.GetString("A", "x", ""), "4");
    EXPECT_EQ(profile.ToText(), "[A]\nx=4\ny= 2\nw=5\n\n[B]\nz=3\n");

    // A new value goes behind the section's others, a new section behind the file's others.
    profile.WriteString("B", "v", "6");
    profile.WriteString("C", "u", "7");
    profile.WriteString("A", "y", "8");
    EXPECT_EQ(profile.ToText(), "[A]\nx=4\ny=8\nw=5\n\n[B]\nz=3\nv=6\n\n[C]\nu=7\n");

    // A second parse starts from nothing: no key of the first text is left behind.
    profile.ParseText("[C]\nu=9\n");
    EXPECT_EQ(profile.ToText(), "[C]\nu=9\n");
}

TEST(IniProfile, FlushWithoutChangesDoesNotRewriteTheFile) {
    TempDir dir;
    const std::string path = dir.File("voxbench.ini");
    test::WriteFileBytes(path, {'[', 'D', ']', '\n', 'k', '=', 'v', '\n', ';', 'x', '\n'});
    IniProfile profile(path);
    profile.WriteString("D", "k", "v");
    EXPECT_TRUE(profile.Flush());
    EXPECT_EQ(ReadFileBytes(path).size(), 11u) << "the hand-written comment is still there";
}
TEST(IniProfile, DefaultPathFollowsXdgConfigHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = saved != nullptr ? saved : "";
    const char* savedHome = std::getenv("HOME");
    const std::string restoreHome = savedHome != nullptr ? savedHome : "";
    setenv("XDG_CONFIG_HOME", "/some/config", 1);
    EXPECT_EQ(IniProfile::DefaultPath(), "/some/config/Voxbench/voxbench.ini");
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(IniProfile::DefaultPath(), "/home/someone/.config/Voxbench/voxbench.ini");
    if (savedHome != nullptr) setenv("HOME", restoreHome.c_str(), 1);
    if (saved != nullptr)
        setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace vox
