// The list tables' file layout and its edits, seen through the fragment table; what the eval
// table adds: alternatives sorted by a signed index, changed in place or moved to their sorted
// place; and the comm table, read field by field where it is mapped.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "talkdata/commtable.h"
#include "talkdata/evaltable.h"
#include "talkdata/fragtable.h"
#include "talkdata/listtable.h"
#include "tests/support/tempdir.h"

namespace vox::test {
namespace {

const Bytes kTable = {
    0,  0, 2,  0,    24, 0, 0,  0,  // fragment 0: number 0, count 2, offset 24
    1,  0, 0,  0,    32, 0, 0,  0,  // fragment 1: no voices
    9,  0, 1,  0,    32, 0, 0,  0,  // fragment 2: its number is never read
    2,  0, 10, 0,    7,  0, 11, 0,  // 24: voice 2 -> voxIndex 10, voice 7 -> 11
    13, 0, 0,  0x80,                // 32: voice 13 -> voxIndex -32768
};

ListRecord Record(const ListTable& table, int index) {
    ListRecord rec;
    EXPECT_TRUE(table.GetRecord(index, rec));
    return rec;
}

// A table of one empty record is the least a file holds; with a first offset that is no multiple
// of 8, the words are read from right behind the records. Less is refused, and says why.
TEST(ListTable, LoadTakesTheFilesLayoutAndRefusesWhatHoldsNoRecordArea) {
    FragTable table;
    ASSERT_TRUE(table.LoadBytes(Bytes{0, 0, 0, 0, 8, 0, 0, 0}));
    EXPECT_EQ(table.GetCount(), 1);
    // First offset 20: two records, and the words are read from 16.
    ASSERT_TRUE(table.LoadBytes(Bytes{0, 0, 1, 0, 20, 0, 0, 0, 0, 0, 0, 0, 24, 0, 0, 0,  //
                                      1, 0, 0, 0, 2,  0, 0, 0, 3, 0, 0, 0}));
    ASSERT_EQ(table.GetElementWordCount(), 2);
    EXPECT_EQ(table.GetElementWord(1), 2u);
    const struct {
        Bytes bytes;
        const char* why;
    } cases[] = {
        {{}, "file is shorter than one record"},
        {{0, 0, 0, 0, 7, 0, 0, 0}, "first offset 7 is below 8"},
        // Must fail without sizing arrays for half a billion records.
        {{0, 0, 0, 0, 0xF8, 0xFF, 0xFF, 0xFF}, "file ends inside the record area"},
        {{0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         "first offset 20 lies beyond the end of the file (16 bytes)"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(table.LoadBytes(kTable));
        EXPECT_FALSE(table.LoadBytes(c.bytes));
        EXPECT_EQ(table.GetError(), c.why);
        EXPECT_EQ(table.GetCount(), 0) << c.why;
    }
    TempDir folder;
    ASSERT_EQ(mkfifo(folder.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(table.Load(folder.File("fifo")));  // at once, no writer awaited
    EXPECT_EQ(table.GetError(), "not a regular file");
}

TEST(ListTable, EditsMoveTheOffsetsOfTheRecordsBehindThemOnlyAndUndoAnAppend) {
    FragTable table;
    ASSERT_TRUE(table.LoadBytes(kTable));
    // A voice's voxIndex is read sign-extended; voice 5, between 2 and 7, has none.
    EXPECT_EQ(table.FindVoxIndex(Record(table, 2), 13), -32768);
    EXPECT_EQ(table.FindVoxIndex(Record(table, 0), 7), 11);
    EXPECT_EQ(table.FindVoxIndex(Record(table, 0), 5), -1);
    // Undo of Add New takes the appended fragment back; only a record whose list is the array's
    // tail can go, so nothing else is ever cut.
    ASSERT_TRUE(table.AddElement(3, 3, 40));
    ASSERT_TRUE(table.RemoveLastRecord());
    EXPECT_EQ(table.SaveBytes(), kTable);
    ASSERT_TRUE(table.InsertElement(0, 5, 20));  // between voices 2 and 7
    ASSERT_TRUE(table.InsertElement(1, 3, 30));  // into an empty list
    ASSERT_TRUE(table.InsertElement(2, 12, 31));
    ASSERT_TRUE(table.RemoveElement(0, 0));
    ASSERT_TRUE(table.AddElement(3, 4, 40));
    ASSERT_TRUE(table.SetVoxIndex(1, 0, 40000));  // kept as its low 16 bits
    EXPECT_FALSE(table.AddElement(0, 7, 1));      // a voice the fragment has
    EXPECT_FALSE(table.AddElement(5, 1, 1));      // beyond the next fragment
    const Bytes expected = {
        0,  0, 2,    0,    32, 0, 0,  0,     // fragment 0: voice 2 removed, 5 inserted
        1,  0, 1,    0,    40, 0, 0,  0,     // fragment 1
        9,  0, 2,    0,    44, 0, 0,  0,     // fragment 2
        3,  0, 1,    0,    52, 0, 0,  0,     // fragment 3, appended: every offset moved by 8
        5,  0, 20,   0,    7,  0, 11, 0,     // 32: fragment 0
        3,  0, 0x40, 0x9C,                   // 40: fragment 1, voxIndex 40000
        12, 0, 31,   0,    13, 0, 0,  0x80,  // 44: fragment 2, 12 before 13
        4,  0, 40,   0,                      // 52: fragment 3
    };
    TempDir folder;
    ASSERT_TRUE(table.Save(folder.File("frags.bin")));
    EXPECT_FALSE(table.IsModified());
    EXPECT_EQ(ReadFileBytes(folder.File("frags.bin")), expected);
    ASSERT_TRUE(table.RemoveElement(3, 0));  // the last fragment, now without voices
    EXPECT_FALSE(table.RemoveLastRecord());
}

// Lookups and edits of records, positions and words outside the table, or of a list that starts
// inside the record area, are refused and change nothing.
TEST(ListTable, WhatLiesOutsideTheTableIsRefusedAndChangesNothing) {
    FragTable frags;
    EvalTable evals;
    ASSERT_TRUE(frags.LoadBytes(kTable));
    ASSERT_TRUE(evals.LoadBytes(kTable));
    ListRecord rec;
    EXPECT_FALSE(frags.GetRecord(-1, rec) || frags.GetRecord(3, rec));
    const ListRecord first = Record(frags, 0);
    ListRecord inRecords = first;
    inRecords.offset = 4;
    FragElement voice;
    EvalElement alternative;
    for (int position : {-1, 2, 14}) {
        EXPECT_FALSE(frags.GetFragElement(first, position, voice)) << position;
        EXPECT_FALSE(evals.GetEvalElement(first, position, alternative)) << position;
        EXPECT_EQ(evals.GetEvalFrag(first, position), -1) << position;
        EXPECT_FALSE(frags.RemoveElement(0, position) || frags.SetVoxIndex(0, position, 1));
        EXPECT_FALSE(evals.SetElement(0, position, {5, 1}));
        EXPECT_EQ(evals.ChangeElement(0, position, {5, 1}), -1) << position;
    }
    EXPECT_FALSE(frags.GetFragElement(inRecords, 0, voice));
    EXPECT_FALSE(evals.GetEvalElement(inRecords, 0, alternative));
    EXPECT_EQ(frags.ElementIndex(first, -1), -1);
    EXPECT_EQ(frags.FindVoxIndex(first, -1) + frags.FindVoxIndex(first, 14), -2);
    EXPECT_EQ(frags.GetElementWord(-1) + frags.GetElementWord(99), 0u);
    for (int record : {-1, 3}) {
        EXPECT_FALSE(frags.RemoveElement(record, 0) || frags.InsertElement(record, 1, 1));
        EXPECT_FALSE(frags.SetVoxIndex(record, 0, 1) || evals.SetElement(record, 0, {5, 1}));
        EXPECT_EQ(evals.ChangeElement(record, 0, {5, 1}), -1) << record;
    }
    EXPECT_FALSE(frags.IsModified() || evals.IsModified());
    EXPECT_EQ(frags.SaveBytes(), kTable);
    EXPECT_FALSE(FragTable().RemoveLastRecord());
}

// Eval 0: index 1 -> frag 5, 4 -> 8, 9 -> 6. Eval 1: index 7 -> frag 3. Eval 2: empty.
const Bytes kEvals = {
    0, 0, 3, 0, 24, 0, 0, 0,  // eval 0: count 3, offset 24
    0, 0, 1, 0, 36, 0, 0, 0,  // eval 1
    0, 0, 0, 0, 40, 0, 0, 0,  // eval 2: offset 40, the end of the file
    1, 0, 5, 0, 4,  0, 8, 0, 9, 0, 6, 0, 7, 0, 3, 0,
};

std::vector<int> Indices(const EvalTable& table, int eval) {
    std::vector<int> indices;
    EvalElement element;
    for (int p = 0; table.GetEvalElement(Record(table, eval), p, element); ++p)
        indices.push_back(element.index);
    return indices;
}

// Change moves an alternative to its sorted place without moving any list, and refuses an index
// another alternative has; Insert keeps the signed indices sorted, Set leaves the order as given.
TEST(EvalTable, EditsKeepOrLeaveTheOrderOfTheSignedIndices) {
    EvalTable table;
    ASSERT_TRUE(table.LoadBytes(kEvals));
    EXPECT_EQ(table.ChangeElement(0, 0, EvalElement{9, 1}), -1);
    EXPECT_EQ(table.ChangeElement(0, 5, EvalElement{2, 1}), -1);
    EXPECT_FALSE(table.IsModified());
    EvalTable claims;  // eval 0 claims 3 alternatives, 1 is there: no move may reach past it
    ASSERT_TRUE(claims.LoadBytes(Bytes{0, 0, 3, 0, 8, 0, 0, 0, 2, 0, 4, 0}));
    EXPECT_EQ(claims.ChangeElement(0, 0, EvalElement{1, 1}), -1);

    EXPECT_EQ(table.ChangeElement(0, 1, EvalElement{4, 99}), 1);
    Bytes expected = kEvals;
    expected[30] = 99;  // the second alternative's frag
    EXPECT_EQ(table.SaveBytes(), expected);
    EXPECT_EQ(table.ChangeElement(0, 0, EvalElement{20, 5}), 2);
    EXPECT_EQ(Indices(table, 0), (std::vector<int>{4, 9, 20}));
    EXPECT_EQ(table.ChangeElement(0, 2, EvalElement{-3, 5}), 0);
    EXPECT_EQ(Indices(table, 0), (std::vector<int>{-3, 4, 9}));
    EXPECT_EQ(table.ChangeElement(0, 2, EvalElement{9, 6}), 2) << "its own index";
    const Bytes image = table.SaveBytes();
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 24), Bytes(kEvals.begin(), kEvals.begin() + 24));

    ASSERT_TRUE(table.InsertElement(1, EvalElement{-2, 4}));
    EXPECT_EQ(Indices(table, 1), (std::vector<int>{-2, 7}));
    EXPECT_FALSE(table.SetElement(0, 3, EvalElement{5, 5}));
    ASSERT_TRUE(table.SetElement(0, 1, EvalElement{0, 2}));
    EXPECT_EQ(Indices(table, 0), (std::vector<int>{-3, 0, 9}));
}

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
    TempDir folder;
    const std::string path = folder.File("commFile.bin");
    CommTable table;
    WriteFileBytes(path, kComms);
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
}  // namespace vox::test
