// Opening a database: the companion folder rule, every failing file named with its reason,
// the automatic load of the side files, read-only access.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "audio/player/nullsounddevice.h"
#include "talkdata/memoryprofile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "ui/documentcommands.h"
#include "workbench/document.h"

namespace vox {
namespace {

using test::DatabaseBuilder;
using test::TempDir;

std::unique_ptr<CVoxbenchDoc> MakeDoc(Profile& profile) {
    return std::make_unique<CVoxbenchDoc>(
        profile, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
}

DatabaseBuilder SmallDatabase() {
    DatabaseBuilder db;
    db.AddEntry(640, {1, 2, 3, 4});
    db.AddEntry(320, {5, 6});
    db.AddFragment({{0, 0}, {3, 1}});
    db.AddFragment({{1, 1}});
    db.AddEval({{1, 0}, {9, 1}});
    db.AddComm({.entries = {0, -0, 1}, .warp = -2, .priority = 7});
    return db;
}

struct CountingView : DocumentView {
    int updates = 0;
    void OnUpdate() override { ++updates; }
};

// A backslash is an ordinary character of a name, and the root is the root, not the current folder.
TEST(CompanionFolder, TakesEverythingUpToTheLastSlash) {
    EXPECT_EQ(CVoxbenchDoc::CompanionFolder("/srv/db/speech.vox"), "/srv/db/");
    EXPECT_EQ(CVoxbenchDoc::CompanionFolder("speech.vox"), "");
    EXPECT_EQ(CVoxbenchDoc::CompanionFolder("/speech.vox"), "/");
    EXPECT_EQ(CVoxbenchDoc::CompanionFolder("C:\\data\\speech.vox"), "");
    EXPECT_EQ(CVoxbenchDoc::CompanionFolder("odd\\name/speech.vox"), "odd\\name/");
}

TEST(DocumentOpen, OpensTheTalkFileWithItsCompanionTables) {
    TempDir dir;
    const std::string talk = SmallDatabase().WriteTo(dir.Path());
    MemoryProfile profile;
    auto doc = MakeDoc(profile);
    CountingView view;
    doc->AddView(&view);
    ASSERT_TRUE(doc->OnOpenDocument(talk)) << doc->GetOpenError();
    EXPECT_EQ(view.updates, 1);
    EXPECT_EQ(doc->GetFragCount(), 2);
    EXPECT_EQ(doc->GetEvalCount(), 1);
    EXPECT_EQ(doc->GetCommCount(), 1);
    EXPECT_EQ(doc->GetPathName(), talk);
    EXPECT_FALSE(doc->IsModified());

    ListRecord frag;
    ASSERT_TRUE(doc->GetFragRecord(0, frag));
    EXPECT_EQ(doc->FindVoxIndex(frag, 3), 1);
    VoxEntry entry;
    ASSERT_TRUE(doc->GetVoxEntry(1, entry));
    EXPECT_EQ(entry.decodedSize, 320u);
    ASSERT_EQ(entry.codedSize, 2u);
    EXPECT_EQ(entry.data[0], 5);
    CommRecord comm;
    ASSERT_TRUE(doc->GetCommRecord(0, comm));
    EXPECT_EQ(comm.warp, -2);
    EXPECT_EQ(doc->GetCommEntry(comm, 2), 1);
    doc->RemoveView(&view);
}

TEST(DocumentOpen, CompanionTablesComeFromTheTalkFilesFolderNotTheCurrentOne) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("db").c_str(), 0700), 0);
    const std::string talk = SmallDatabase().WriteTo(dir.File("db"));
    MemoryProfile profile;
    auto doc = MakeDoc(profile);
    ASSERT_TRUE(doc->OnOpenDocument(talk)) << doc->GetOpenError();
    EXPECT_EQ(doc->GetFragCount(), 2);
}

struct BrokenFileCase {
    const char* file;
    std::vector<uint8_t> bytes;  // empty with remove = true: the file is missing
    bool remove;
    const char* reason;
};

class DocumentOpenFailure : public ::testing::TestWithParam<BrokenFileCase> {};

TEST_P(DocumentOpenFailure, NamesTheFileAndTheReason) {
    const BrokenFileCase& c = GetParam();
    TempDir dir;
    const std::string talk = SmallDatabase().WriteTo(dir.Path());
    if (c.remove)
        ASSERT_EQ(std::remove(dir.File(c.file).c_str()), 0);
    else
        test::WriteFileBytes(dir.File(c.file), c.bytes);

    MemoryProfile profile;
    auto doc = MakeDoc(profile);
    CountingView view;
    doc->AddView(&view);
    EXPECT_FALSE(doc->OnOpenDocument(talk));
    const std::string error = doc->GetOpenError();
    EXPECT_NE(error.find(c.file), std::string::npos) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(view.updates, 0) << "a failed open does not refresh the views";
    doc->RemoveView(&view);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFile, DocumentOpenFailure,
    ::testing::Values(BrokenFileCase{"speech.vox", {}, true, "No such file"},
                      BrokenFileCase{"speech.vox", {}, false, "empty"},
                      BrokenFileCase{"fragFile.bin", {}, true, "No such file"},
                      BrokenFileCase{"fragFile.bin", {8, 0, 0}, false, "shorter than one record"},
                      BrokenFileCase{"fragFile.bin", {0, 0, 0, 0, 4, 0, 0, 0}, false, "below 8"},
                      BrokenFileCase{"commFile.bin", {}, true, "No such file"},
                      BrokenFileCase{"commFile.bin", {}, false, "empty"},
                      BrokenFileCase{
                          "evalFile.bin", {0, 0, 0, 0, 16, 0, 0, 0}, false, "record area"},
                      BrokenFileCase{"evalFile.bin", {}, true, "No such file"}));

TEST(DocumentOpen, MissingFragmentTableStopsBeforeTheCommAndEvalFiles) {
    TempDir dir;
    const std::string talk = SmallDatabase().WriteTo(dir.Path());
    ASSERT_EQ(std::remove(dir.File("fragFile.bin").c_str()), 0);
    MemoryProfile profile;
    auto doc = MakeDoc(profile);
    EXPECT_FALSE(doc->OnOpenDocument(talk));
    EXPECT_EQ(doc->GetCommCount(), 0);
    EXPECT_EQ(doc->GetEvalCount(), 0);
}

TEST(DocumentOpen, ReadOnlyOpenLeavesEveryByteAsItWas) {
    TempDir dir;
    const std::string talk = SmallDatabase().WriteTo(dir.Path());
    const auto before = test::ReadFileBytes(talk);
    MemoryProfile profile;
    {
        auto doc = MakeDoc(profile);
        ASSERT_TRUE(doc->OnOpenDocument(talk, CVoxbenchDoc::Access::ReadOnly));
        EXPECT_FALSE(OnSaveDocument(*doc));  // refused: nothing is written to a read-only open
    }
    EXPECT_EQ(test::ReadFileBytes(talk), before);
}

TEST(DocumentOpen, ReadOnlyTalkFileCannotBeOpenedForWriting) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
    TempDir dir;
    const std::string talk = SmallDatabase().WriteTo(dir.Path());
    ASSERT_EQ(chmod(talk.c_str(), 0400), 0);
    MemoryProfile profile;
    auto doc = MakeDoc(profile);
    EXPECT_FALSE(doc->OnOpenDocument(talk));
    EXPECT_TRUE(doc->OnOpenDocument(talk, CVoxbenchDoc::Access::ReadOnly));
}

TEST(DocumentOpen, LoadsTheRememberedSideFilesOnlyWhileTheListsAreEmpty) {
    TempDir dir;
    const std::string talk = SmallDatabase().WriteTo(dir.Path());
    test::WriteFileBytes(dir.File("phrases.csv"), {});
    {
        const std::string text = "header\n1,x,one,uno\n";
        test::WriteFileBytes(dir.File("phrases.csv"), {text.begin(), text.end()});
        const std::string other = "header\n1,x,other\n";
        test::WriteFileBytes(dir.File("other.csv"), {other.begin(), other.end()});
        const std::string comms = "0,first call\n";
        test::WriteFileBytes(dir.File("comms.csv"), {comms.begin(), comms.end()});
    }
    MemoryProfile profile;
    profile.WriteString("Data", "Phrases", dir.File("phrases.csv"));
    profile.WriteString("Data", "Comms", dir.File("comms.csv"));
    auto doc = MakeDoc(profile);
    EXPECT_EQ(doc->GetPhrase(1, 1), "") << "nothing is read before a talk file opens";
    ASSERT_TRUE(doc->OnOpenDocument(talk));
    EXPECT_EQ(doc->GetPhrase(1, 0), "one");
    EXPECT_EQ(doc->GetPhrase(1, 1), "uno");
    EXPECT_EQ(doc->GetCommName(0), "first call");

    profile.WriteString("Data", "Phrases", dir.File("other.csv"));
    ASSERT_TRUE(doc->OnOpenDocument(talk));
    EXPECT_EQ(doc->GetPhrase(1, 0), "one") << "a second open keeps the phrases of the first";
}

TEST(DocumentOpen, MissingRememberedSideFileIsSkippedSilently) {
    TempDir dir;
    const std::string talk = SmallDatabase().WriteTo(dir.Path());
    MemoryProfile profile;
    profile.WriteString("Data", "Phrases", dir.File("gone.csv"));
    auto doc = MakeDoc(profile);
    EXPECT_TRUE(doc->OnOpenDocument(talk));
    EXPECT_EQ(doc->GetPhrase(0, 0), "");
    EXPECT_EQ(profile.GetString("Data", "Phrases", ""), dir.File("gone.csv"));
}

TEST(DocumentClose, ReleasesTheTablesButKeepsTheNameLists) {
    TempDir dir;
    const std::string talk = SmallDatabase().WriteTo(dir.Path());
    const std::string text = "header\n0,x,zero\n";
    test::WriteFileBytes(dir.File("p.csv"), {text.begin(), text.end()});
    MemoryProfile profile;
    profile.WriteString("Data", "Phrases", dir.File("p.csv"));
    auto doc = MakeDoc(profile);
    ASSERT_TRUE(doc->OnOpenDocument(talk));
    doc->OnCloseDocument();
    EXPECT_EQ(doc->GetFragCount(), 0);
    EXPECT_EQ(doc->GetCommCount(), 0);
    EXPECT_EQ(doc->GetEvalCount(), 0);
    VoxEntry entry;
    EXPECT_FALSE(doc->GetVoxEntry(0, entry));
    EXPECT_EQ(doc->GetPhrase(0, 0), "zero");
}

TEST(DocumentNew, StartsEmptyWithoutTouchingAnyFile) {
    TempDir dir;
    const std::string talk = SmallDatabase().WriteTo(dir.Path());
    MemoryProfile profile;
    auto doc = MakeDoc(profile);
    ASSERT_TRUE(doc->OnOpenDocument(talk));
    doc->SetModifiedFlag(true);
    EXPECT_TRUE(doc->OnNewDocument());
    EXPECT_EQ(doc->GetFragCount(), 0);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetPathName(), "");
}

}  // namespace
}  // namespace vox
