#include "talkdata/commtable.h"

#include <gtest/gtest.h>

#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;

const Bytes kComms = {
    0xEF, 0xBE, 0xFB, 0xFF, 200, 3,  // comm 0: reserved 0xBEEF, warp -5, priority 200, position 3
    0xD4, 0xFE, 3,    1,             //   bullseye -300, elements 3, evals 1
    28,   0,    0,    0,             //   listOffset 28 (unaligned in the file): 2 comms
    0,    0,    1,    0,    2,   0, 3, 0, 2, 0, 0x22, 0, 0, 0,  // comm 1: elements 2, listOffset 34
    3,    0,    0xFD, 0xFF, 0,   0,  // 28: fragment 3, eval 3, fragment 0
    7,    0,    8,    0,             // 34: comm 1's entries
    0,    0,    0,    0,    0,   0, 0, 0, 0, 0, 0,    0, 0, 0,  // 38: the file's size says nothing
};

TEST(CommTable, RecordsAndEntriesAreReadFieldByFieldFromTheMappedFile) {
    test::TempDir folder;
    const std::string path = folder.File("commFile.bin");
    CommTable table;
    test::WriteFileBytes(path, kComms);
    ASSERT_TRUE(table.Open(path)) << table.GetError();
    EXPECT_EQ(table.GetCount(), 2);
    CommRecord rec;
    ASSERT_TRUE(table.GetCommRecord(0, rec));
    EXPECT_EQ(rec.reserved, 0xBEEF);
    EXPECT_EQ(rec.warp, -5);
    EXPECT_EQ(rec.priority, 200);
    EXPECT_EQ(rec.position, 3);
    EXPECT_EQ(rec.bullseye, -300);
    EXPECT_EQ(rec.elements, 3);
    EXPECT_EQ(rec.evals, 1);
    EXPECT_EQ(rec.listOffset, 28u);
    EXPECT_EQ(table.GetCommEntry(rec, 1), -3);
    ASSERT_TRUE(table.GetCommRecord(1, rec));
    EXPECT_EQ(table.GetCommEntry(rec, 1), 8);
    // Outside the records or the file: no record, entry 0.
    EXPECT_FALSE(table.GetCommRecord(-1, rec) || table.GetCommRecord(2, rec));
    EXPECT_EQ(table.GetCommEntry(rec, -18) + table.GetCommEntry(rec, 100), 0);
    rec.listOffset = static_cast<uint32_t>(kComms.size());
    EXPECT_EQ(table.GetCommEntry(rec, 0), 0);
    // A file shorter than one record still counts one comm, which cannot be read.
    const Bytes shortFile(10, 0);
    EXPECT_EQ(CommTable::CountFrom(shortFile), 1);
    table.Close();
    EXPECT_FALSE(table.Open(folder.File("missing.bin")));
    EXPECT_FALSE(table.GetError().empty());
}

}  // namespace
}  // namespace vox
