#include "talkdata/listtable.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "talkdata/faultinjection.h"
#include "talkdata/fragtable.h"
#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;
using test::ReadFileBytes;
using test::WriteFileBytes;

// Three records; record 1 has an empty list.
const Bytes kTable = {
    0, 0, 2,    0,    24, 0, 0, 0,  // record 0: number 0, count 2, offset 24
    1, 0, 0,    0,    32, 0, 0, 0,  // record 1: number 1, count 0, offset 32
    9, 0, 1,    0,    32, 0, 0, 0,  // record 2: number 9 (never read), count 1, offset 32
    2, 0, 10,   0,                  // 24: word (2, 10)
    7, 0, 11,   0,                  // 28: word (7, 11)
    0, 0, 0xFF, 0xFF,               // 32: word (0, -1)
};

class ListTableTest : public ::testing::Test {
  protected:
    void TearDown() override { faults::DisarmAll(); }

    std::string LoadError(const Bytes& bytes) {
        EXPECT_FALSE(table_.LoadBytes(bytes));
        return table_.GetError();
    }

    test::TempDir folder_;
    FragTable table_;
};

TEST_F(ListTableTest, LoadReadsRecordsAndWordsFieldByField) {
    ASSERT_TRUE(table_.LoadBytes(kTable)) << table_.GetError();
    EXPECT_EQ(table_.GetCount(), 3);
    EXPECT_FALSE(table_.IsModified());
    ListRecord rec;
    ASSERT_TRUE(table_.GetRecord(2, rec));
    EXPECT_EQ(rec.number, 9);
    EXPECT_EQ(rec.count, 1);
    EXPECT_EQ(rec.offset, 32u);
    ASSERT_EQ(table_.GetElementWordCount(), 3);
    EXPECT_EQ(table_.GetElementWord(0), 0x000A0002u);
    EXPECT_EQ(table_.GetElementWord(2), 0xFFFF0000u);
    EXPECT_EQ(table_.GetElementWord(3), 0u);
    EXPECT_FALSE(table_.GetRecord(3, rec));
    EXPECT_FALSE(table_.GetRecord(-1, rec));
}

TEST_F(ListTableTest, LoadThenSaveReproducesTheFileByteForByte) {
    const std::string path = folder_.File("fragFile.bin");
    WriteFileBytes(path, kTable);
    ASSERT_TRUE(table_.Load(path)) << table_.GetError();
    EXPECT_EQ(table_.SaveBytes(), kTable);
    const std::string out = folder_.File("copy.bin");
    ASSERT_TRUE(table_.Save(out)) << table_.GetError();
    EXPECT_EQ(ReadFileBytes(out), kTable);
}

TEST_F(ListTableTest, LoadFailuresSayWhy) {
    EXPECT_FALSE(table_.Load(folder_.File("missing.bin")));
    EXPECT_EQ(table_.GetError(), "No such file or directory");
    EXPECT_FALSE(table_.Load(folder_.Path()));
    EXPECT_EQ(table_.GetError(), "Is a directory");
    ASSERT_EQ(mkfifo(folder_.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(table_.Load(folder_.File("fifo")));  // returns at once, no writer awaited
    EXPECT_EQ(table_.GetError(), "not a regular file");

    EXPECT_EQ(LoadError({}), "file is shorter than one record");
    EXPECT_EQ(LoadError({0, 0, 0, 0, 8, 0, 0}), "file is shorter than one record");
    EXPECT_EQ(LoadError({0, 0, 0, 0, 0, 0, 0, 0}), "first offset 0 is below 8");
    EXPECT_EQ(LoadError({0, 0, 0, 0, 7, 0, 0, 0}), "first offset 7 is below 8");
    EXPECT_EQ(LoadError({0, 0, 0, 0, 16, 0, 0, 0}), "file ends inside the record area");
    // A first offset near 4 GiB must fail without sizing arrays for half a billion records.
    EXPECT_EQ(LoadError({0, 0, 0, 0, 0xF8, 0xFF, 0xFF, 0xFF}), "file ends inside the record area");
    Bytes twoRecords(16, 0);
    twoRecords[4] = 20;
    EXPECT_EQ(LoadError(twoRecords), "first offset 20 lies beyond the end of the file (16 bytes)");
    EXPECT_EQ(table_.GetCount(), 0);
}

TEST_F(ListTableTest, EightByteFileIsOneRecordWithoutElements) {
    ASSERT_TRUE(table_.LoadBytes(Bytes{0, 0, 0, 0, 8, 0, 0, 0}));
    EXPECT_EQ(table_.GetCount(), 1);
    EXPECT_EQ(table_.GetElementWordCount(), 0);
}

TEST_F(ListTableTest, OffsetNotAMultipleOfEightReadsWordsRightAfterTheRecords) {
    const Bytes bytes = {
        0, 0, 1, 0, 20, 0, 0, 0,  // record 0: offset 20 -> 2 records
        0, 0, 0, 0, 24, 0, 0, 0,  // record 1
        1, 0, 0, 0,               // 16: first word read
        2, 0, 0, 0,               // 20: second word read; (28 - 20) / 4 = 2 words
        3, 0, 0, 0,               // 24: not read
    };
    ASSERT_TRUE(table_.LoadBytes(bytes));
    EXPECT_EQ(table_.GetCount(), 2);
    ASSERT_EQ(table_.GetElementWordCount(), 2);
    EXPECT_EQ(table_.GetElementWord(0), 1u);
    EXPECT_EQ(table_.GetElementWord(1), 2u);
}

TEST_F(ListTableTest, TrailingPartialWordIsIgnored) {
    Bytes bytes = kTable;
    bytes.insert(bytes.end(), {0x55, 0x66, 0x77});
    ASSERT_TRUE(table_.LoadBytes(bytes));
    EXPECT_EQ(table_.GetElementWordCount(), 3);
    EXPECT_EQ(table_.SaveBytes(), kTable);
}

TEST_F(ListTableTest, ElementIndexTreatsPositionsOutsideTheArrayAsAbsent) {
    ASSERT_TRUE(table_.LoadBytes(kTable));
    ListRecord rec;
    table_.GetRecord(0, rec);
    EXPECT_EQ(table_.ElementIndex(rec, 0), 0);
    EXPECT_EQ(table_.ElementIndex(rec, 2), 2);
    EXPECT_EQ(table_.ElementIndex(rec, 3), -1);
    EXPECT_EQ(table_.ElementIndex(rec, -1), -1);
    rec.offset = 20;  // below the element area
    EXPECT_EQ(table_.ElementIndex(rec, 1), -1);
    rec.offset = 0xFFFFFFFC;  // far beyond the array
    EXPECT_EQ(table_.ElementIndex(rec, 0), -1);
    FragTable empty;
    EXPECT_EQ(empty.ElementIndex(rec, 0), -1);
}

TEST_F(ListTableTest, FailedSaveKeepsTheOldFileAndModified) {
    const std::string path = folder_.File("fragFile.bin");
    WriteFileBytes(path, kTable);
    ASSERT_TRUE(table_.LoadBytes(kTable));
    ASSERT_TRUE(table_.InsertElement(1, 4, 4));
    for (const char* point :
         {"safefile.create", "safefile.write", "safefile.sync", "safefile.rename"}) {
        faults::Arm(point);
        EXPECT_FALSE(table_.Save(path)) << point;
        EXPECT_FALSE(table_.GetError().empty());
        EXPECT_TRUE(table_.IsModified());
        EXPECT_EQ(ReadFileBytes(path), kTable);
        EXPECT_EQ(test::ListFolder(folder_.Path()), std::vector<std::string>{"fragFile.bin"});
        faults::DisarmAll();
    }
    EXPECT_FALSE(table_.Save(folder_.File("no/such/folder.bin")));
    EXPECT_EQ(table_.GetError(), "No such file or directory");
    EXPECT_TRUE(table_.IsModified());
}

}  // namespace
}  // namespace vox
