#include "talkdata/evaltable.h"

#include <gtest/gtest.h>

#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;

// Eval 0: index 1 -> frag 5, index 9 -> frag 6. Eval 1: index 7 -> frag 3. Eval 2: empty.
const Bytes kEvals = {
    0, 0, 2, 0, 24, 0, 0, 0,  // eval 0: count 2, offset 24
    0, 0, 1, 0, 32, 0, 0, 0,  // eval 1: count 1, offset 32
    0, 0, 0, 0, 36, 0, 0, 0,  // eval 2: count 0, offset 36 (end of the file)
    1, 0, 5, 0,               // index 1, frag 5
    9, 0, 6, 0,               // index 9, frag 6
    7, 0, 3, 0,               // index 7, frag 3
};

class EvalTableTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(table_.LoadBytes(kEvals)); }

    ListRecord Eval(int eval) const {
        ListRecord rec;
        EXPECT_TRUE(table_.GetRecord(eval, rec));
        return rec;
    }

    EvalTable table_;
};

TEST_F(EvalTableTest, InsertSortsByIndexAndMovesLaterOffsetsOnly) {
    ASSERT_TRUE(table_.InsertElement(0, EvalElement{4, 8}));
    const Bytes expected = {
        0, 0, 3, 0, 24, 0, 0, 0,  // eval 0: count 3
        0, 0, 1, 0, 36, 0, 0, 0,  // eval 1: 32 + 4
        0, 0, 0, 0, 40, 0, 0, 0,  // eval 2: 36 + 4
        1, 0, 5, 0, 4,  0, 8, 0,  // index 4 -> frag 8, between 1 and 9
        9, 0, 6, 0, 7,  0, 3, 0,
    };
    EXPECT_EQ(table_.SaveBytes(), expected);
    EXPECT_TRUE(table_.IsModified());

    EXPECT_EQ(table_.GetEvalFrag(Eval(0), 0), 5);
    EXPECT_EQ(table_.GetEvalFrag(Eval(0), 1), 8);
    EXPECT_EQ(table_.GetEvalFrag(Eval(0), 2), 6);
    EXPECT_EQ(table_.GetEvalFrag(Eval(0), 3), -1);
    EXPECT_EQ(table_.GetEvalFrag(Eval(0), -1), -1);
}

TEST_F(EvalTableTest, DuplicateIndexAndUnknownEvalAreRejected) {
    EXPECT_FALSE(table_.InsertElement(0, EvalElement{9, 1}));
    EXPECT_FALSE(table_.InsertElement(3, EvalElement{2, 1}));
    EXPECT_FALSE(table_.InsertElement(-1, EvalElement{2, 1}));
    EXPECT_FALSE(table_.IsModified());
    EXPECT_EQ(table_.SaveBytes(), kEvals);
}

TEST_F(EvalTableTest, NegativeIndicesSortBeforePositiveOnes) {
    ASSERT_TRUE(table_.InsertElement(1, EvalElement{-2, 4}));
    EvalElement element;
    ASSERT_TRUE(table_.GetEvalElement(Eval(1), 0, element));
    EXPECT_EQ(element.index, -2);
    EXPECT_EQ(element.frag, 4);
    ASSERT_TRUE(table_.GetEvalElement(Eval(1), 1, element));
    EXPECT_EQ(element.index, 7);
}

TEST_F(EvalTableTest, SetElementOverwritesWithinTheListOnly) {
    EXPECT_FALSE(table_.SetElement(0, 2, EvalElement{5, 5}));
    EXPECT_FALSE(table_.SetElement(0, -1, EvalElement{5, 5}));
    EXPECT_FALSE(table_.SetElement(3, 0, EvalElement{5, 5}));
    EXPECT_FALSE(table_.IsModified());
    ASSERT_TRUE(table_.SetElement(0, 1, EvalElement{0, 2}));  // not re-sorted
    EXPECT_TRUE(table_.IsModified());
    EvalElement element;
    ASSERT_TRUE(table_.GetEvalElement(Eval(0), 1, element));
    EXPECT_EQ(element.index, 0);
    EXPECT_EQ(element.frag, 2);
}

TEST_F(EvalTableTest, ContainsFragComparesTheFragHalfOnly) {
    EXPECT_TRUE(table_.ContainsFrag(1, 3));
    EXPECT_FALSE(table_.ContainsFrag(1, 7));
    EXPECT_TRUE(table_.ContainsFrag(0, 6));
    EXPECT_FALSE(table_.ContainsFrag(2, 0));  // no alternatives
    EXPECT_FALSE(table_.ContainsFrag(3, 3));
    EXPECT_FALSE(table_.ContainsFrag(-1, 3));
}

TEST_F(EvalTableTest, AbsentAlternativeIsNotFragmentMinusOne) {
    EvalTable table;
    const Bytes bytes = {
        0, 0, 3, 0, 8, 0, 0, 0,  // eval 0 claims 3 alternatives, 1 is there
        2, 0, 4, 0,              // index 2, frag 4
    };
    ASSERT_TRUE(table.LoadBytes(bytes));
    ListRecord rec;
    ASSERT_TRUE(table.GetRecord(0, rec));
    EXPECT_EQ(table.GetEvalFrag(rec, 1), -1);
    EvalElement element;
    EXPECT_FALSE(table.GetEvalElement(rec, 1, element));
    EXPECT_FALSE(table.ContainsFrag(0, -1));
    EXPECT_TRUE(table.ContainsFrag(0, 4));
    EXPECT_FALSE(table.SetElement(0, 2, EvalElement{1, 1}));
    EXPECT_FALSE(table.IsModified());
}

}  // namespace
}  // namespace vox
