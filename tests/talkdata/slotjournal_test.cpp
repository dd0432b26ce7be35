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

// A talk file with slots 1 and 2 absent and two entries appended that nothing points to: what a
// batch leaves when it is stopped after its journal and before its slots. A journal that does
// not fit it is refused and kept; the right one is completed and removed by the next writer.
TEST(SlotJournal, TheNextWriterCompletesAJournalThatFitsTheTalkFileAndRefusesOthers) {
    test::TempDir folder;
    const std::string path = folder.File("speech.vox");
    Bytes talk = {'V', 'X', 'H', 'D', 1, 2, 3, 4, 0,    0, 0, 0,  // header
                  24,  0,   0,   0,   0, 0, 0, 0, 0,    0, 0, 0,  // slots 0, 1, 2
                  1,   0,   0,   0,   1, 0, 0, 0, 0xAA,           // 24: entry 0
                  2,   0,   0,   0,   1, 0, 0, 0, 0xBB,           // 33: new for 1
                  3,   0,   0,   0,   1, 0, 0, 0, 0xCC};          // 42: new for 2
    test::WriteFileBytes(path, talk);
    for (const SlotJournal& bad : {SlotJournal{51, {{0, 33}}}, SlotJournal{51, {{3, 33}}},
                                   SlotJournal{51, {{1, 47}}}, SlotJournal{60, {{1, 33}}}}) {
        ASSERT_TRUE(WriteSlotJournal(path, bad));
        std::string why;
        EXPECT_FALSE(CompleteInterruptedBatch(path, &why));
        EXPECT_NE(why.find("move it away"), std::string::npos) << why;
        EXPECT_TRUE(HasSlotJournal(path));
        EXPECT_EQ(test::ReadFileBytes(path), talk);
    }
    ASSERT_TRUE(WriteSlotJournal(path, {51, {{1, 33}, {2, 42}}}));
    std::string why;
    ASSERT_TRUE(CompleteInterruptedBatch(path, &why)) << why;
    EXPECT_FALSE(HasSlotJournal(path));
    talk[16] = 33;
    talk[20] = 42;
    EXPECT_EQ(test::ReadFileBytes(path), talk);
    EXPECT_TRUE(CompleteInterruptedBatch(path)) << "no journal: nothing to do";
}

}  // namespace
}  // namespace vox
