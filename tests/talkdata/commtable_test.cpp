#include "talkdata/commtable.h"

#include <gtest/gtest.h>

#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;
using test::WriteFileBytes;

const Bytes kComms = {
    0xEF, 0xBE,        // comm 0: reserved 0xBEEF
    0xFB, 0xFF,        //   warp -5
    200,               //   priority 200
    3,                 //   position 3
    0xD4, 0xFE,        //   bullseye -300
    3,                 //   elements 3
    1,                 //   evals 1
    28,   0,    0, 0,  //   listOffset 28 (unaligned in the file): 2 comms
    0,    0,    1, 0, 2, 0, 3, 0, 2, 0, 0x22, 0, 0, 0,  // comm 1: elements 2, listOffset 34
    3,    0,                                            // 28: fragment 3
    0xFD, 0xFF,                                         // 30: eval 3
    0,    0,                                            // 32: fragment 0
    7,    0,    8, 0,                                   // 34: comm 1's entries
    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0,    0, 0, 0,  // 38: trailing bytes; the size says nothing
};

class CommTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFileBytes(path_, kComms);
        ASSERT_TRUE(table_.Open(path_)) << table_.GetError();
    }

    test::TempDir folder_;
    const std::string path_ = folder_.File("commFile.bin");
    CommTable table_;
};

TEST_F(CommTableTest, CountComesFromRecordZerosListOffset) {
    EXPECT_EQ(table_.GetCount(), 2);
    EXPECT_EQ(CommTable::CountFrom(kComms), 2);
}

TEST_F(CommTableTest, RecordIsCopiedFieldByField) {
    CommRecord rec;
    ASSERT_TRUE(table_.GetCommRecord(0, rec));
    EXPECT_EQ(rec.reserved, 0xBEEF);
    EXPECT_EQ(rec.warp, -5);
    EXPECT_EQ(rec.priority, 200);
    EXPECT_EQ(rec.position, 3);
    EXPECT_EQ(rec.bullseye, -300);
    EXPECT_EQ(rec.elements, 3);
    EXPECT_EQ(rec.evals, 1);
    EXPECT_EQ(rec.listOffset, 28u);
    EXPECT_FALSE(table_.GetCommRecord(2, rec));
    EXPECT_FALSE(table_.GetCommRecord(-1, rec));
}

TEST_F(CommTableTest, EntriesNameFragmentsAndNegatedEvals) {
    CommRecord rec;
    ASSERT_TRUE(table_.GetCommRecord(0, rec));
    EXPECT_EQ(table_.GetCommEntry(rec, 0), 3);
    EXPECT_EQ(table_.GetCommEntry(rec, 1), -3);
    EXPECT_EQ(table_.GetCommEntry(rec, 2), 0);
    ASSERT_TRUE(table_.GetCommRecord(1, rec));
    EXPECT_EQ(table_.GetCommEntry(rec, 0), 7);
    EXPECT_EQ(table_.GetCommEntry(rec, 1), 8);
}

TEST_F(CommTableTest, EntriesOutsideTheFileReadZero) {
    CommRecord rec;
    rec.listOffset = static_cast<uint32_t>(kComms.size());
    EXPECT_EQ(table_.GetCommEntry(rec, 0), 0);
    rec.listOffset = 0xFFFFFFFF;
    EXPECT_EQ(table_.GetCommEntry(rec, 0), 0);
    EXPECT_EQ(table_.GetCommEntry(rec, -1), 0);

    Bytes file = {0x34, 0x12, 0x56};  // only one whole entry
    rec.listOffset = 0;
    EXPECT_EQ(CommTable::EntryAt(file, rec, 0), 0x1234);
    EXPECT_EQ(CommTable::EntryAt(file, rec, 1), 0);  // its second byte lies outside
    EXPECT_EQ(CommTable::EntryAt(file, rec, 1000000000), 0);
}

TEST(CommTableCount, RecordZeroMayClaimMoreRecordsThanTheFileHolds) {
    Bytes file(30, 0);
    file[10] = 70;  // listOffset 70: 5 comms claimed, 2 there
    EXPECT_EQ(CommTable::CountFrom(file), 5);
    CommRecord rec;
    EXPECT_TRUE(CommTable::RecordAt(file, 5, 1, rec));
    EXPECT_FALSE(CommTable::RecordAt(file, 5, 2, rec));
}

TEST(CommTableCount, RecordZeroUnreadableGivesOneAndListOffsetBelow14GivesNone) {
    EXPECT_EQ(CommTable::CountFrom(Bytes(13, 0x7F)), 1);
    CommRecord rec;
    EXPECT_FALSE(CommTable::RecordAt(Bytes(13, 0x7F), 1, 0, rec));
    Bytes file(14, 0);
    file[10] = 13;
    EXPECT_EQ(CommTable::CountFrom(file), 0);
    file[10] = file[11] = file[12] = file[13] = 0xFF;
    EXPECT_EQ(CommTable::CountFrom(file), 306783378);
}

TEST(CommTableOpen, MissingOrEmptyFileFailsAndCloseResets) {
    test::TempDir folder;
    CommTable table;
    EXPECT_FALSE(table.Open(folder.File("commFile.bin")));
    EXPECT_EQ(table.GetError(), "No such file or directory");
    EXPECT_EQ(table.GetCount(), 0);
    WriteFileBytes(folder.File("commFile.bin"), {});
    EXPECT_FALSE(table.Open(folder.File("commFile.bin")));
    EXPECT_EQ(table.GetError(), "file is empty");

    WriteFileBytes(folder.File("commFile.bin"), kComms);
    ASSERT_TRUE(table.Open(folder.File("commFile.bin")));
    EXPECT_EQ(table.Bytes().size(), kComms.size());
    table.Close();
    EXPECT_EQ(table.GetCount(), 0);
    CommRecord rec;
    EXPECT_FALSE(table.GetCommRecord(0, rec));
    EXPECT_TRUE(table.Bytes().empty());
}

}  // namespace
}  // namespace vox
