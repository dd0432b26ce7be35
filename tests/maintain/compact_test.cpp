// Compacting the talk file: exactly the unreferenced bytes go, every entry and slot stays; and
// the writer lock that keeps a second writer out meanwhile.
#include "talkdata/compact.h"

#include "talkdata/faultinjection.h"
#include "talkdata/writerlock.h"
#include "tests/maintain/maintainfixture.h"

namespace vox::test {
namespace {

using CompactTest = DocumentFixture;

// Bytes no slot points to between and after the entries; slots that share an entry and an
// empty slot. A stop or a failed write leaves the file as it was; a compact that ends gives
// exactly the file written without those bytes, and a second run leaves it alone.
TEST_F(CompactTest, GivesExactlyTheFileWrittenWithoutTheUnreferencedBytes) {
    DatabaseBuilder messy;
    DatabaseBuilder clean;
    for (DatabaseBuilder* db : {&messy, &clean}) {
        db->AddEntry(640, CodedPcm(SpeechLikePcm(640, 300)));
        if (db == &messy) db->AddUnreferencedBytes(Bytes(37, 0xAB));
        db->AddEntry(1280, CodedPcm(SpeechLikePcm(1280, 500)));
        db->AddSharedSlot(0);
        db->AddEmptySlot();
        db->AddEntry(7, {});  // an entry without coded bytes
        if (db == &messy) db->AddUnreferencedBytes(Bytes(3, 0xCD));
        db->AddFragment({{0, 0}, {1, 1}, {2, 2}, {4, 4}});
    }
    Write(messy);
    const Bytes before = TalkBytes();
    const std::vector<std::string> database = {"commFile.bin", "evalFile.bin", "fragFile.bin",
                                               "speech.vox"};
    CompactResult result;
    EXPECT_FALSE(CompactTalkFile(talk_, result, [](uint64_t, uint64_t) { return false; }));
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(TalkBytes(), before);
    EXPECT_EQ(ListFolder(dir_.Path()), database);
    for (const char* point :
         {"safefile.create", "safefile.write", "safefile.sync", "safefile.rename"}) {
        faults::Arm(point);
        EXPECT_FALSE(CompactTalkFile(talk_, result)) << point;
        faults::DisarmAll();
        EXPECT_FALSE(result.cancelled);
        EXPECT_FALSE(result.error.empty()) << point;
        EXPECT_EQ(TalkBytes(), before) << point;
        EXPECT_EQ(ListFolder(dir_.Path()), database);
    }

    ASSERT_TRUE(CompactTalkFile(talk_, result)) << result.error;
    EXPECT_TRUE(result.rewritten);
    EXPECT_EQ(result.Reclaimed(), 40u);
    EXPECT_EQ(TalkBytes(), clean.TalkBytes());
    EXPECT_EQ(ListFolder(dir_.Path()), database);
    ASSERT_TRUE(CompactTalkFile(talk_, result)) << result.error;
    EXPECT_FALSE(result.rewritten);
    EXPECT_EQ(result.Reclaimed(), 0u);
    EXPECT_EQ(TalkBytes(), clean.TalkBytes());
}

TEST_F(CompactTest, RefusesDamageThatARewriteWouldMakeWorse) {
    DatabaseBuilder db = SampleDatabase();
    db.AddUnreferencedBytes(Bytes(10, 1));
    const Bytes good = db.TalkBytes();
    const uint32_t entry1 = SlotValue(good, 1);
    const struct {
        const char* name;
        uint32_t at;  // the u32 that is damaged
        uint32_t value;
        const char* why;
    } cases[] = {
        {"crooked slot 0", 12, SlotValue(good, 0) - 2, "is not 12 plus a multiple of 4"},
        {"into the directory", 24, 16,
         "slot 3 does not point at a whole entry behind the directory"},
        {"overlapping entries", entry1 + 4, static_cast<uint32_t>(EntryOf(good, 1).size()),
         "overlap"},
    };
    Write(db);
    for (const auto& c : cases) {
        Bytes talk = good;
        WriteU32(talk.data() + c.at, c.value);
        WriteFileBytes(talk_, talk);
        CompactResult result;
        EXPECT_FALSE(CompactTalkFile(talk_, result)) << c.name;
        EXPECT_NE(result.error.find(c.why), std::string::npos) << c.name << ": " << result.error;
        EXPECT_EQ(TalkBytes(), talk) << c.name;
    }
}

using WriterLockTest = DocumentFixture;

// One writer per talk file, across objects and documents (across processes it is the fault
// tests' two writers that show it). Asking again for the file it holds is no conflict with
// itself; missing files and folders are refused with their reason.
TEST_F(WriterLockTest, ASecondLockOrDocumentForWritingIsRefusedUntilTheFirstIsReleased) {
    WriterLock first;
    WriterLock second;
    ASSERT_TRUE(first.Acquire(talk_)) << first.GetError();
    EXPECT_FALSE(second.Acquire(talk_));
    EXPECT_FALSE(second.IsHeld());
    EXPECT_EQ(second.GetError(), WriterLock::kHeldElsewhere);
    EXPECT_TRUE(first.Acquire(talk_));
    first.Release();
    EXPECT_TRUE(second.Acquire(talk_)) << second.GetError();

    EXPECT_FALSE(first.Acquire(dir_.File("none.vox")));
    EXPECT_EQ(first.GetError(), "No such file or directory");
    EXPECT_FALSE(first.Acquire(dir_.Path()));
    EXPECT_EQ(first.GetError(), "not a regular file");
    EXPECT_FALSE(first.IsHeld());
    second.Release();

    // The same document opening its file again keeps its lock; one that turns to reading, or
    // closes, gives it up.
    Open();
    std::unique_ptr<CVoxbenchDoc> another = MakeDocument();
    EXPECT_FALSE(another->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadWrite));
    EXPECT_EQ(another->GetOpenError(), talk_ + ": " + WriterLock::kHeldElsewhere);
    EXPECT_FALSE(another->IsTalkFileOpen());
    EXPECT_TRUE(another->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadOnly))
        << another->GetOpenError();

    EXPECT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError();
    EXPECT_TRUE(doc_->GetWriterLock().IsHeld());
    ASSERT_TRUE(doc_->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadOnly));
    EXPECT_FALSE(doc_->GetWriterLock().IsHeld());
    EXPECT_TRUE(another->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadWrite))
        << another->GetOpenError();
    another->OnCloseDocument();
    EXPECT_TRUE(first.Acquire(talk_)) << first.GetError();
}

}  // namespace
}  // namespace vox::test
