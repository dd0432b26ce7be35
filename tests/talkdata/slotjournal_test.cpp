// The journal that makes a batch of slots all or nothing: its bytes, its refusal of anything
// but a whole journal, and its completion by the next writer.
#include "talkdata/slotjournal.h"

#include <gtest/gtest.h>

#include "talkdata/mappedfile.h"
#include "talkdata/voxfile.h"
#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;

const SlotJournal kJournal{46, {{1, 36}, {2, 24}}};

TEST(SlotJournal, BytesAreMagicSizeCountPairsAndAChecksumAndOnlyAWholeJournalIsTaken) {
    const Bytes bytes = SlotJournalBytes(kJournal);
    const Bytes front = {'V', 'X', 'J', '1', 46, 0, 0, 0, 2, 0, 0, 0,  // magic, talk size, count
                         1,   0,   0,   0,   36, 0, 0, 0, 2, 0, 0, 0, 24, 0, 0, 0};  // the pairs
    ASSERT_EQ(bytes.size(), front.size() + 4);
    EXPECT_TRUE(std::equal(front.begin(), front.end(), bytes.begin()));
    SlotJournal parsed;
    ASSERT_TRUE(ParseSlotJournal(bytes, parsed));
    EXPECT_EQ(SlotJournalBytes(parsed), bytes);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_FALSE(ParseSlotJournal(ByteSpan(bytes.data(), cut), parsed)) << cut;
    }
    for (size_t at : {size_t{5}, size_t{9}, size_t{14}, bytes.size() - 1}) {
        Bytes flipped = bytes;
        flipped[at] ^= 0x10;
        EXPECT_FALSE(ParseSlotJournal(flipped, parsed)) << at;
    }
}

class JournalOnDisk : public ::testing::Test {
  protected:
    // A talk file with slots 1 and 2 absent and two entries appended that nothing points to:
    // what a batch leaves when it is stopped after its journal and before its slots.
    void SetUp() override {
        test::WriteFileBytes(talk_,
                             {'V', 'X', 'H', 'D', 1, 2, 3, 4, 0,    0, 0, 0,  // header
                              24,  0,   0,   0,   0, 0, 0, 0, 0,    0, 0, 0,  // slots 0, 1, 2
                              1,   0,   0,   0,   1, 0, 0, 0, 0xAA,           // 24: entry 0
                              2,   0,   0,   0,   1, 0, 0, 0, 0xBB,           // 33: new for 1
                              3,   0,   0,   0,   1, 0, 0, 0, 0xCC});         // 42: new for 2
    }

    test::TempDir folder_;
    const std::string talk_ = folder_.File("speech.vox");
};

TEST_F(JournalOnDisk, TheNextWriterCompletesTheBatchAndRemovesTheJournal) {
    ASSERT_TRUE(WriteSlotJournal(talk_, {51, {{1, 33}, {2, 42}}}));
    ASSERT_TRUE(HasSlotJournal(talk_));
    std::string why;
    ASSERT_TRUE(CompleteInterruptedBatch(talk_, &why)) << why;
    EXPECT_FALSE(HasSlotJournal(talk_));
    const Bytes talk = test::ReadFileBytes(talk_);
    EXPECT_EQ(ReadU32(talk.data() + 16), 33u);
    EXPECT_EQ(ReadU32(talk.data() + 20), 42u);
    EXPECT_TRUE(CompleteInterruptedBatch(talk_)) << "no journal: nothing to do";
}

TEST_F(JournalOnDisk, AJournalThatDoesNotFitIsRefusedAndKept) {
    const Bytes before = test::ReadFileBytes(talk_);
    for (const SlotJournal& bad : {SlotJournal{51, {{0, 33}}}, SlotJournal{51, {{3, 33}}},
                                   SlotJournal{51, {{1, 47}}}, SlotJournal{60, {{1, 33}}}}) {
        ASSERT_TRUE(WriteSlotJournal(talk_, bad));
        std::string why;
        EXPECT_FALSE(CompleteInterruptedBatch(talk_, &why));
        EXPECT_NE(why.find("move it away"), std::string::npos) << why;
        EXPECT_TRUE(HasSlotJournal(talk_));
        EXPECT_EQ(test::ReadFileBytes(talk_), before);
    }
}

}  // namespace
}  // namespace vox
