// Removing, re-sorting and re-pointing elements: the edits behind the editors' Delete and Modify.
// Every case checks the whole file image, so offsets, counts and order are all covered.
#include <gtest/gtest.h>

#include "talkdata/evaltable.h"
#include "talkdata/fragtable.h"
#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;

// Eval 0: index 1 -> 5, index 4 -> 8, index 9 -> 6. Eval 1: index 7 -> 3. Eval 2: empty.
const Bytes kEvals = {
    0, 0, 3, 0, 24, 0, 0, 0,  // eval 0: count 3, offset 24
    0, 0, 1, 0, 36, 0, 0, 0,  // eval 1: count 1, offset 36
    0, 0, 0, 0, 40, 0, 0, 0,  // eval 2: count 0, offset 40 (end of the file)
    1, 0, 5, 0,               // index 1, frag 5
    4, 0, 8, 0,               // index 4, frag 8
    9, 0, 6, 0,               // index 9, frag 6
    7, 0, 3, 0,               // index 7, frag 3
};

// Fragment 0: voice 1 -> vox 10, voice 5 -> vox 11. Fragment 1: voice 0 -> vox 12.
const Bytes kFrags = {
    0, 0, 2,  0, 16, 0, 0, 0,  // fragment 0: count 2, offset 16
    1, 0, 1,  0, 24, 0, 0, 0,  // fragment 1: count 1, offset 24
    1, 0, 10, 0,               // voice 1, vox 10
    5, 0, 11, 0,               // voice 5, vox 11
    0, 0, 12, 0,               // voice 0, vox 12
};

TEST(ListTableRemove, RemovingMovesLaterOffsetsBackAndKeepsEarlierOnes) {
    EvalTable table;
    ASSERT_TRUE(table.LoadBytes(kEvals));
    ASSERT_TRUE(table.RemoveElement(0, 1));
    const Bytes expected = {
        0, 0, 2, 0, 24, 0, 0, 0,  // eval 0: count 2, offset unchanged
        0, 0, 1, 0, 32, 0, 0, 0,  // eval 1: 36 - 4
        0, 0, 0, 0, 36, 0, 0, 0,  // eval 2: 40 - 4
        1, 0, 5, 0, 9,  0, 6, 0,  // index 4 is gone
        7, 0, 3, 0,
    };
    EXPECT_EQ(table.SaveBytes(), expected);
    EXPECT_TRUE(table.IsModified());
}

TEST(ListTableRemove, RemovingTheLastElementOfAListLeavesAnEmptyRecordThatTakesInsertsAgain) {
    EvalTable table;
    ASSERT_TRUE(table.LoadBytes(kEvals));
    ASSERT_TRUE(table.RemoveElement(1, 0));
    ListRecord eval1;
    ASSERT_TRUE(table.GetRecord(1, eval1));
    EXPECT_EQ(eval1.count, 0);
    EXPECT_EQ(eval1.offset, 36u);
    ASSERT_TRUE(table.InsertElement(1, EvalElement{7, 3}));
    EXPECT_EQ(table.SaveBytes(), kEvals) << "remove then re-insert restores the image";
}

TEST(ListTableRemove, PositionsAndRecordsOutsideTheTableAreRefusedWithoutChange) {
    EvalTable table;
    ASSERT_TRUE(table.LoadBytes(kEvals));
    EXPECT_FALSE(table.RemoveElement(0, 3));
    EXPECT_FALSE(table.RemoveElement(0, -1));
    EXPECT_FALSE(table.RemoveElement(2, 0)) << "eval 2 is empty";
    EXPECT_FALSE(table.RemoveElement(3, 0));
    EXPECT_FALSE(table.RemoveElement(-1, 0));
    EXPECT_EQ(table.SaveBytes(), kEvals);
    EXPECT_FALSE(table.IsModified());
}

TEST(ListTableRemove, AListThatClaimsMoreWordsThanTheFileHoldsIsRefused) {
    const Bytes broken = {
        0, 0, 3, 0, 8, 0, 0, 0,  // claims 3 words, the file has 1
        2, 0, 2, 0,
    };
    EvalTable table;
    ASSERT_TRUE(table.LoadBytes(broken));
    EXPECT_FALSE(table.RemoveElement(0, 2));
    EXPECT_TRUE(table.RemoveElement(0, 0));
    EXPECT_EQ(table.GetElementWordCount(), 0);
}

TEST(EvalTableChange, ChangingTheFragKeepsThePosition) {
    EvalTable table;
    ASSERT_TRUE(table.LoadBytes(kEvals));
    EXPECT_EQ(table.ChangeElement(0, 1, EvalElement{4, 99}), 1);
    Bytes expected = kEvals;
    expected[24 + 4 + 2] = 99;  // frag of the second alternative
    EXPECT_EQ(table.SaveBytes(), expected);
    EXPECT_TRUE(table.IsModified());
}

TEST(EvalTableChange, AChangedIndexMovesTheAlternativeToItsSortedPlaceBothWays) {
    EvalTable table;
    ASSERT_TRUE(table.LoadBytes(kEvals));
    EXPECT_EQ(table.ChangeElement(0, 0, EvalElement{20, 5}), 2) << "1 -> 20 goes last";
    ListRecord eval0;
    ASSERT_TRUE(table.GetRecord(0, eval0));
    EvalElement element;
    const int16_t expectedOrder[] = {4, 9, 20};
    for (int position = 0; position < 3; ++position) {
        ASSERT_TRUE(table.GetEvalElement(eval0, position, element));
        EXPECT_EQ(element.index, expectedOrder[position]);
    }
    EXPECT_EQ(table.ChangeElement(0, 2, EvalElement{-3, 5}), 0) << "20 -> -3 goes first";
    ASSERT_TRUE(table.GetEvalElement(eval0, 0, element));
    EXPECT_EQ(element.index, -3);
    EXPECT_EQ(element.frag, 5);
    // Other records are untouched: same counts, same offsets.
    const Bytes image = table.SaveBytes();
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 24), Bytes(kEvals.begin(), kEvals.begin() + 24));
    EXPECT_EQ(Bytes(image.end() - 4, image.end()), Bytes(kEvals.end() - 4, kEvals.end()));
}

TEST(EvalTableChange, AnIndexAnotherAlternativeHasIsRefusedButItsOwnIsAccepted) {
    EvalTable table;
    ASSERT_TRUE(table.LoadBytes(kEvals));
    EXPECT_EQ(table.ChangeElement(0, 0, EvalElement{9, 1}), -1);
    EXPECT_EQ(table.ChangeElement(0, 5, EvalElement{2, 1}), -1);
    EXPECT_EQ(table.ChangeElement(2, 0, EvalElement{2, 1}), -1) << "empty eval";
    EXPECT_EQ(table.ChangeElement(7, 0, EvalElement{2, 1}), -1);
    EXPECT_EQ(table.SaveBytes(), kEvals);
    EXPECT_FALSE(table.IsModified());
    EXPECT_EQ(table.ChangeElement(0, 2, EvalElement{9, 6}), 2) << "its own index";
}

TEST(FragTableSetVoxIndex, RepointsOneEntryAndKeepsItsVoice) {
    FragTable table;
    ASSERT_TRUE(table.LoadBytes(kFrags));
    ASSERT_TRUE(table.SetVoxIndex(0, 1, 40000));  // stored as its low 16 bits
    Bytes expected = kFrags;
    expected[16 + 4 + 2] = 0x40;  // 40000 = 0x9C40
    expected[16 + 4 + 3] = 0x9C;
    EXPECT_EQ(table.SaveBytes(), expected);
    ListRecord frag0;
    ASSERT_TRUE(table.GetRecord(0, frag0));
    EXPECT_EQ(table.FindVoxIndex(frag0, 5), 40000 - 65536);
    EXPECT_TRUE(table.IsModified());
}

TEST(FragTableSetVoxIndex, AbsentEntriesAreRefused) {
    FragTable table;
    ASSERT_TRUE(table.LoadBytes(kFrags));
    EXPECT_FALSE(table.SetVoxIndex(0, 2, 1));
    EXPECT_FALSE(table.SetVoxIndex(1, -1, 1));
    EXPECT_FALSE(table.SetVoxIndex(2, 0, 1));
    EXPECT_EQ(table.SaveBytes(), kFrags);
    EXPECT_FALSE(table.IsModified());
}

TEST(TableEditRoundTrip, EditedTablesSaveAndReloadByteExactly) {
    test::TempDir folder;
    FragTable frags;
    ASSERT_TRUE(frags.LoadBytes(kFrags));
    ASSERT_TRUE(frags.RemoveElement(0, 0));
    ASSERT_TRUE(frags.SetVoxIndex(1, 0, 77));
    ASSERT_TRUE(frags.InsertElement(1, 13, 78));
    const std::string path = folder.File("fragFile.bin");
    ASSERT_TRUE(frags.Save(path)) << frags.GetError();
    EXPECT_FALSE(frags.IsModified());
    const Bytes expected = {
        0,  0, 1,  0, 16, 0, 0,  0,  // fragment 0: voice 5 left
        1,  0, 2,  0, 20, 0, 0,  0,  // fragment 1: 24 - 4, now two voices
        5,  0, 11, 0, 0,  0, 77, 0,  // voice 0 re-pointed to 77
        13, 0, 78, 0,                // voice 13 added
    };
    EXPECT_EQ(test::ReadFileBytes(path), expected);
    FragTable reloaded;
    ASSERT_TRUE(reloaded.Load(path));
    EXPECT_EQ(reloaded.SaveBytes(), expected);
}

// Undo of Add New takes the appended fragment back; only a record whose list is the array's
// tail can go, so nothing else is ever cut.
TEST(ListTableRemoveLast, TakesBackAnAppendedRecordByteForByteAndRefusesOtherShapes) {
    FragTable frags;
    ASSERT_TRUE(frags.LoadBytes(kFrags));
    ASSERT_TRUE(frags.AddElement(2, 3, 40));
    ASSERT_TRUE(frags.RemoveLastRecord());
    EXPECT_EQ(frags.SaveBytes(), kFrags);

    ASSERT_TRUE(frags.RemoveElement(1, 0));  // the last fragment, now without voices
    const Bytes emptyLast = frags.SaveBytes();
    EXPECT_FALSE(frags.RemoveLastRecord());
    EXPECT_EQ(frags.SaveBytes(), emptyLast);

    EvalTable evals;
    ASSERT_TRUE(evals.LoadBytes(kEvals));  // eval 2 is empty: its list is no tail
    EXPECT_FALSE(evals.RemoveLastRecord());
    FragTable none;
    EXPECT_FALSE(none.RemoveLastRecord());
}

}  // namespace
}  // namespace vox
