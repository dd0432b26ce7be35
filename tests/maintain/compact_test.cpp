// Compacting the talk file: exactly the unreferenced bytes go, every entry and slot stays.
#include "talkdata/compact.h"

#include <unistd.h>

#include <random>

#include "talkdata/faultinjection.h"
#include "talkdata/safefile.h"
#include "talkdata/voxfile.h"
#include "talkdata/writerlock.h"
#include "tests/maintain/maintainfixture.h"

namespace vox::test {
namespace {

class MemorySink : public ByteSink {
  public:
    bool Write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        this->bytes.insert(this->bytes.end(), bytes, bytes + size);
        return true;
    }
    Bytes bytes;
};

// Every slot's entry as its bytes (empty for an absent entry).
std::vector<Bytes> Entries(const Bytes& talk) {
    std::vector<Bytes> entries;
    for (uint32_t slot = 0; slot < VoxFile::SlotCount(talk); ++slot) {
        VoxEntry entry;
        if (!VoxFile::GetVoxEntry(talk, static_cast<int>(slot), entry)) {
            entries.emplace_back();
            continue;
        }
        entries.emplace_back(entry.data - 8, entry.data + entry.codedSize);
    }
    return entries;
}

class CompactTest : public DocumentFixture {
  protected:
    void ExpectFolderHoldsOnlyTheDatabase() {
        EXPECT_EQ(ListFolder(dir_.Path()),
                  (std::vector<std::string>{"commFile.bin", "evalFile.bin", "fragFile.bin",
                                            "speech.vox"}));
    }
};

TEST_F(CompactTest, GivesExactlyTheFileWrittenWithoutTheUnreferencedBytes) {
    // Bytes no slot points to before, between and after the entries; slots that share an
    // entry and an empty slot.
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
    CompactResult result;
    ASSERT_TRUE(CompactTalkFile(talk_, result)) << result.error;
    EXPECT_TRUE(result.rewritten);
    EXPECT_EQ(result.Reclaimed(), 40u);
    EXPECT_EQ(result.oldSize, before.size());
    EXPECT_EQ(TalkBytes(), clean.TalkBytes());
    ExpectFolderHoldsOnlyTheDatabase();

    MemorySink sink;
    uint64_t newSize = 0;
    ASSERT_TRUE(WriteCompactedTalk(before, sink, {}, newSize));
    EXPECT_EQ(sink.bytes, clean.TalkBytes());
    EXPECT_EQ(newSize, sink.bytes.size());
}

TEST_F(CompactTest, AfterManyReplacesReclaimsWhatEachReplaceLeftBehind) {
    Write(SampleDatabase());
    Open();
    std::mt19937 random(7);
    uint64_t leftBehind = 0;
    for (int i = 0; i < 40; ++i) {
        const int fragment = static_cast<int>(random() % 4);  // fragment 4 shares entry 2
        ListRecord record;
        ASSERT_TRUE(doc_->GetFragRecord(fragment, record));
        FragElement element;
        ASSERT_TRUE(
            doc_->GetFragElement(record, static_cast<int>(random() % record.count), element));
        if (element.voxIndex == 0) continue;  // slot 0 is rewritten, not appended
        const Bytes talk = TalkBytes();
        leftBehind += EntryLength(talk, element.voxIndex);
        const Bytes pcm = SpeechLikePcm(320 * (1 + random() % 20), 150.0 + i * 10);
        const Bytes coded = CodedPcm(pcm);
        ASSERT_TRUE(doc_->ReplaceFragment(fragment, element.voice, coded.data(),
                                          static_cast<uint32_t>(coded.size()),
                                          static_cast<uint32_t>(pcm.size())));
    }
    doc_.reset();
    // Entry 6 shares entry 2: a replace of entry 2 leaves its old bytes referenced by 6.
    const Bytes replaced = TalkBytes();
    if (SlotValue(replaced, 2) != SlotValue(replaced, 6)) leftBehind -= EntryLength(replaced, 6);

    CompactResult result;
    ASSERT_TRUE(CompactTalkFile(talk_, result, {}, true)) << result.error;
    EXPECT_EQ(result.Reclaimed(), leftBehind);
    const Bytes compacted = TalkBytes();
    EXPECT_EQ(compacted.size(), replaced.size() - leftBehind);
    EXPECT_EQ(Bytes(compacted.begin(), compacted.begin() + 12),
              Bytes(replaced.begin(), replaced.begin() + 12));
    EXPECT_EQ(Entries(compacted), Entries(replaced));
    EXPECT_EQ(SlotValue(compacted, 7), 0u);

    // Nothing is left to reclaim: a second run leaves the file alone.
    ASSERT_TRUE(CompactTalkFile(talk_, result)) << result.error;
    EXPECT_FALSE(result.rewritten);
    EXPECT_EQ(result.Reclaimed(), 0u);
    EXPECT_EQ(TalkBytes(), compacted);
}

TEST_F(CompactTest, AStopOrAFailedWriteLeavesTheFileAsItWas) {
    DatabaseBuilder db = SampleDatabase();
    db.AddUnreferencedBytes(Bytes(100, 1));
    Write(db);
    const Bytes before = TalkBytes();
    CompactResult result;
    EXPECT_FALSE(CompactTalkFile(talk_, result, [](uint64_t, uint64_t) { return false; }));
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(TalkBytes(), before);
    ExpectFolderHoldsOnlyTheDatabase();

    for (const char* point :
         {"safefile.create", "safefile.write", "safefile.sync", "safefile.rename"}) {
        faults::Arm(point);
        EXPECT_FALSE(CompactTalkFile(talk_, result)) << point;
        faults::DisarmAll();
        EXPECT_FALSE(result.cancelled);
        EXPECT_FALSE(result.error.empty()) << point;
        EXPECT_EQ(TalkBytes(), before) << point;
        ExpectFolderHoldsOnlyTheDatabase();
    }
}

TEST_F(CompactTest, TakesOverWhatAKilledRewriteLeftInsteadOfLeavingASecondCopy) {
    DatabaseBuilder db = SampleDatabase();
    db.AddUnreferencedBytes(Bytes(100, 1));
    Write(db);
    // A killed compact or add leaves its temporary talk file; a symlink there must not be
    // followed either.
    WriteFileBytes(dir_.File("speech.vo$"), Bytes(4096, 0x5A));
    CompactResult result;
    ASSERT_TRUE(CompactTalkFile(talk_, result)) << result.error;
    EXPECT_EQ(result.Reclaimed(), 100u);
    ExpectFolderHoldsOnlyTheDatabase();

    db.AddUnreferencedBytes(Bytes(10, 2));
    Write(db);
    const std::string victim = dir_.File("victim");
    WriteFileBytes(victim, Bytes{1, 2, 3});
    ASSERT_EQ(symlink(victim.c_str(), dir_.File("speech.vo$").c_str()), 0);
    ASSERT_TRUE(CompactTalkFile(talk_, result)) << result.error;
    EXPECT_EQ(ReadFileBytes(victim), (Bytes{1, 2, 3}));
    EXPECT_FALSE(FileExists(dir_.File("speech.vo$")));
}

TEST_F(CompactTest, RefusesDamageThatARewriteWouldMakeWorse) {
    struct Case {
        const char* name;
        uint32_t at;  // the u32 that is damaged
        uint32_t value;
        const char* why;
    };
    DatabaseBuilder db = SampleDatabase();
    db.AddUnreferencedBytes(Bytes(10, 1));
    const Bytes good = db.TalkBytes();
    const uint32_t entry1 = SlotValue(good, 1);
    const Case cases[] = {
        {"crooked slot 0", 12, SlotValue(good, 0) - 2, "is not 12 plus a multiple of 4"},
        {"outside the file", 24, static_cast<uint32_t>(good.size()) + 4,
         "slot 3 does not point at a whole entry behind the directory"},
        {"into the directory", 24, 16,
         "slot 3 does not point at a whole entry behind the directory"},
        {"overlapping entries", entry1 + 4, EntryLength(good, 1), "overlap"},
    };
    Write(db);
    for (const Case& c : cases) {
        Bytes talk = good;
        WriteU32(talk.data() + c.at, c.value);
        WriteFileBytes(talk_, talk);
        CompactResult result;
        EXPECT_FALSE(CompactTalkFile(talk_, result)) << c.name;
        EXPECT_NE(result.error.find(c.why), std::string::npos) << c.name << ": " << result.error;
        EXPECT_EQ(TalkBytes(), talk) << c.name;
    }
}

}  // namespace
}  // namespace vox::test
