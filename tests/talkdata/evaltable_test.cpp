// What the eval table adds to the list table: alternatives sorted by a signed index, looked up
// by their fragment, changed in place or moved to their sorted place.
#include "talkdata/evaltable.h"

#include <gtest/gtest.h>

#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;

// Eval 0: index 1 -> frag 5, 4 -> 8, 9 -> 6. Eval 1: index 7 -> frag 3. Eval 2: empty.
const Bytes kEvals = {
    0, 0, 3, 0, 24, 0, 0, 0,  // eval 0: count 3, offset 24
    0, 0, 1, 0, 36, 0, 0, 0,  // eval 1
    0, 0, 0, 0, 40, 0, 0, 0,  // eval 2: offset 40, the end of the file
    1, 0, 5, 0, 4,  0, 8, 0, 9, 0, 6, 0, 7, 0, 3, 0,
};

class EvalTableTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(table_.LoadBytes(kEvals)); }

    std::vector<int> Indices(int eval) const {
        ListRecord rec;
        EXPECT_TRUE(table_.GetRecord(eval, rec));
        std::vector<int> indices;
        EvalElement element;
        for (int p = 0; table_.GetEvalElement(rec, p, element); ++p)
            indices.push_back(element.index);
        return indices;
    }

    EvalTable table_;
};

TEST_F(EvalTableTest, AlternativesAreFoundByPositionAndByFragment) {
    ListRecord eval0;
    ASSERT_TRUE(table_.GetRecord(0, eval0));
    EXPECT_EQ(table_.GetEvalFrag(eval0, 2), 6);
    EXPECT_EQ(table_.GetEvalFrag(eval0, 3), -1);
    EXPECT_TRUE(table_.ContainsFrag(1, 3));
    EXPECT_FALSE(table_.ContainsFrag(1, 7));  // the index half is no fragment
    EXPECT_FALSE(table_.ContainsFrag(3, 3));
}

TEST_F(EvalTableTest, InsertAndSetKeepOrLeaveTheOrderOfTheSignedIndices) {
    ASSERT_TRUE(table_.InsertElement(1, EvalElement{-2, 4}));
    EXPECT_EQ(Indices(1), (std::vector<int>{-2, 7}));
    EXPECT_FALSE(table_.SetElement(0, 3, EvalElement{5, 5}));
    EXPECT_FALSE(table_.SetElement(3, 0, EvalElement{5, 5}));
    ASSERT_TRUE(table_.SetElement(0, 1, EvalElement{0, 2}));
    EXPECT_EQ(Indices(0), (std::vector<int>{1, 0, 9}));
}

TEST_F(EvalTableTest, ChangeMovesTheAlternativeToItsSortedPlaceAndNoOffset) {
    EXPECT_EQ(table_.ChangeElement(0, 1, EvalElement{4, 99}), 1);
    Bytes expected = kEvals;
    expected[30] = 99;  // the second alternative's frag
    EXPECT_EQ(table_.SaveBytes(), expected);
    EXPECT_EQ(table_.ChangeElement(0, 0, EvalElement{20, 5}), 2);
    EXPECT_EQ(Indices(0), (std::vector<int>{4, 9, 20}));
    EXPECT_EQ(table_.ChangeElement(0, 2, EvalElement{-3, 5}), 0);
    EXPECT_EQ(Indices(0), (std::vector<int>{-3, 4, 9}));
    EXPECT_EQ(table_.ChangeElement(0, 2, EvalElement{9, 6}), 2) << "its own index";
    const Bytes image = table_.SaveBytes();
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 24), Bytes(kEvals.begin(), kEvals.begin() + 24));
}

TEST_F(EvalTableTest, ChangeRefusesAnIndexAnotherAlternativeHasOrNoSuchAlternative) {
    EXPECT_EQ(table_.ChangeElement(0, 0, EvalElement{9, 1}), -1);
    EXPECT_EQ(table_.ChangeElement(0, 5, EvalElement{2, 1}), -1);
    EXPECT_EQ(table_.ChangeElement(7, 0, EvalElement{2, 1}), -1);
    EXPECT_FALSE(table_.IsModified());
    EXPECT_EQ(table_.SaveBytes(), kEvals);
    EvalTable claims;  // eval 0 claims 3 alternatives, 1 is there: no move may reach past it
    ASSERT_TRUE(claims.LoadBytes(Bytes{0, 0, 3, 0, 8, 0, 0, 0, 2, 0, 4, 0}));
    EXPECT_EQ(claims.ChangeElement(0, 0, EvalElement{1, 1}), -1);
}

}  // namespace
}  // namespace vox
