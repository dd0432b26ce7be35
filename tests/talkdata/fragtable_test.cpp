#include "talkdata/fragtable.h"

#include <gtest/gtest.h>

#include "tests/support/tempdir.h"

namespace vox {
namespace {

using test::Bytes;

// Fragment 0 has voices 2 and 7, fragment 1 none, fragment 2 voice 13.
const Bytes kFrags = {
    0,  0, 2,    0,    24, 0, 0, 0,  // fragment 0: count 2, offset 24
    1,  0, 0,    0,    32, 0, 0, 0,  // fragment 1: count 0, offset 32
    2,  0, 1,    0,    32, 0, 0, 0,  // fragment 2: count 1, offset 32
    2,  0, 10,   0,                  // voice 2 -> voxIndex 10
    7,  0, 11,   0,                  // voice 7 -> voxIndex 11
    13, 0, 0x00, 0x80,               // voice 13 -> voxIndex -32768
};

class FragTableTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(table_.LoadBytes(kFrags)); }

    ListRecord Frag(int frag) const {
        ListRecord rec;
        EXPECT_TRUE(table_.GetRecord(frag, rec));
        return rec;
    }

    FragTable table_;
};

TEST_F(FragTableTest, FindVoxIndexSearchesVoicesZeroToThirteen) {
    EXPECT_EQ(table_.FindVoxIndex(Frag(0), 2), 10);
    EXPECT_EQ(table_.FindVoxIndex(Frag(0), 7), 11);
    EXPECT_EQ(table_.FindVoxIndex(Frag(0), 5), -1);
    EXPECT_EQ(table_.FindVoxIndex(Frag(2), 13), -32768);  // sign-extended
    EXPECT_EQ(table_.FindVoxIndex(Frag(1), 0), -1);
    EXPECT_EQ(table_.FindVoxIndex(Frag(0), 14), -1);
    EXPECT_EQ(table_.FindVoxIndex(Frag(0), -1), -1);
}

TEST_F(FragTableTest, FindVoxIndexIgnoresVoicesOutsideTheRangeEvenWhenStored) {
    ASSERT_TRUE(table_.InsertElement(1, 14, 99));  // inserts do not check the voice
    EXPECT_EQ(table_.FindVoxIndex(Frag(1), 14), -1);
    FragElement element;
    ASSERT_TRUE(table_.GetFragElement(Frag(1), 0, element));
    EXPECT_EQ(element.voice, 14);
}

TEST_F(FragTableTest, GetFragElementBounds) {
    FragElement element;
    ASSERT_TRUE(table_.GetFragElement(Frag(0), 1, element));
    EXPECT_EQ(element.voice, 7);
    EXPECT_EQ(element.voxIndex, 11);
    EXPECT_FALSE(table_.GetFragElement(Frag(0), 2, element));
    EXPECT_FALSE(table_.GetFragElement(Frag(0), -1, element));
}

TEST_F(FragTableTest, PositionFourteenFailsEvenWhenTheFragmentClaimsMore) {
    FragTable table;
    Bytes bytes = {0, 0, 20, 0, 8, 0, 0, 0};  // one fragment claiming 20 elements
    for (int i = 0; i < 20; ++i) bytes.insert(bytes.end(), {static_cast<uint8_t>(i), 0, 1, 0});
    ASSERT_TRUE(table.LoadBytes(bytes));
    ListRecord rec;
    ASSERT_TRUE(table.GetRecord(0, rec));
    FragElement element;
    EXPECT_TRUE(table.GetFragElement(rec, 13, element));
    EXPECT_EQ(element.voice, 13);
    EXPECT_FALSE(table.GetFragElement(rec, 14, element));
}

TEST_F(FragTableTest, ListThatRunsPastTheArrayEndsThere) {
    ListRecord rec = Frag(2);
    rec.count = 5;
    EXPECT_EQ(table_.FindVoxIndex(rec, 3), -1);
    FragElement element;
    EXPECT_TRUE(table_.GetFragElement(rec, 0, element));
    EXPECT_FALSE(table_.GetFragElement(rec, 1, element));
    rec.offset = 8;  // below the element area
    EXPECT_FALSE(table_.GetFragElement(rec, 0, element));
    EXPECT_EQ(table_.FindVoxIndex(rec, 13), -1);
}

TEST_F(FragTableTest, InsertKeepsVoicesSortedAndMovesLaterOffsetsOnly) {
    ASSERT_TRUE(table_.InsertElement(0, 5, 20));
    EXPECT_TRUE(table_.IsModified());
    const Bytes expected = {
        0,  0, 3,    0,    24, 0, 0, 0,  // fragment 0: count 3, offset unchanged
        1,  0, 0,    0,    36, 0, 0, 0,  // fragment 1: 32 + 4
        2,  0, 1,    0,    36, 0, 0, 0,  // fragment 2: 32 + 4
        2,  0, 10,   0,                  // voice 2
        5,  0, 20,   0,                  // voice 5 (new), between 2 and 7
        7,  0, 11,   0,                  // voice 7
        13, 0, 0x00, 0x80,               // fragment 2's voice 13
    };
    EXPECT_EQ(table_.SaveBytes(), expected);
}

TEST_F(FragTableTest, InsertIntoAnEmptyFragmentAndTheLastOne) {
    ASSERT_TRUE(table_.InsertElement(1, 3, 30));
    ASSERT_TRUE(table_.InsertElement(2, 12, 31));
    const Bytes expected = {
        0,  0, 2,    0,    24, 0, 0,  0,  // fragment 0 unchanged
        1,  0, 1,    0,    32, 0, 0,  0,  // fragment 1: count 1, offset unchanged
        2,  0, 2,    0,    36, 0, 0,  0,  // fragment 2: count 2, 32 + 4
        2,  0, 10,   0,    7,  0, 11, 0,  // fragment 0's voices
        3,  0, 30,   0,                   // fragment 1: voice 3
        12, 0, 31,   0,                   // fragment 2: voice 12 before 13
        13, 0, 0x00, 0x80,
    };
    EXPECT_EQ(table_.SaveBytes(), expected);
}

TEST_F(FragTableTest, InsertIntoAListOutsideTheArrayIsRefused) {
    FragTable table;
    const Bytes bytes = {
        0, 0, 0, 0, 16,   0,    0,    0,     // fragment 0
        0, 0, 3, 0, 0xF0, 0xFF, 0xFF, 0xFF,  // fragment 1: offset far beyond the file
    };
    ASSERT_TRUE(table.LoadBytes(bytes));
    EXPECT_FALSE(table.InsertElement(1, 1, 1));  // would otherwise size the array to ~1e9 words
    EXPECT_FALSE(table.IsModified());
    EXPECT_EQ(table.GetElementWordCount(), 0);
}

TEST_F(FragTableTest, AddElementAppendsAFragmentAndMovesEveryOffsetByEight) {
    ASSERT_TRUE(table_.AddElement(3, 4, 40));
    EXPECT_TRUE(table_.IsModified());
    const Bytes expected = {
        0, 0, 2,  0, 32, 0, 0,  0,  // fragment 0: 24 + 8
        1, 0, 0,  0, 40, 0, 0,  0,  // fragment 1: 32 + 8
        2, 0, 1,  0, 40, 0, 0,  0,  // fragment 2: 32 + 8
        3, 0, 1,  0, 44, 0, 0,  0,  // fragment 3 (new): number 3, count 1, 24 + 4 * 3 + 8
        2, 0, 10, 0, 7,  0, 11, 0, 13, 0, 0x00, 0x80, 4, 0, 40, 0,  // voice 4 -> voxIndex 40
    };
    const Bytes saved = table_.SaveBytes();
    EXPECT_EQ(saved, expected);

    FragTable reloaded;
    ASSERT_TRUE(reloaded.LoadBytes(saved));
    EXPECT_EQ(reloaded.SaveBytes(), saved);
    ListRecord rec;
    ASSERT_TRUE(reloaded.GetRecord(3, rec));
    EXPECT_EQ(reloaded.FindVoxIndex(rec, 4), 40);
    ASSERT_TRUE(reloaded.GetRecord(0, rec));
    EXPECT_EQ(reloaded.FindVoxIndex(rec, 7), 11);
}

TEST_F(FragTableTest, AddElementBelowTheCountInsertsAndAboveFails) {
    ASSERT_TRUE(table_.AddElement(1, 6, 60));
    EXPECT_EQ(table_.FindVoxIndex(Frag(1), 6), 60);
    EXPECT_EQ(table_.GetCount(), 3);
    EXPECT_FALSE(table_.AddElement(4, 1, 1));
    EXPECT_FALSE(table_.AddElement(1, 6, 61));  // voice present
    EXPECT_FALSE(table_.AddElement(-1, 1, 1));
}

TEST_F(FragTableTest, AddElementToAnEmptyTableStartsTheElementAreaAtEight) {
    FragTable table;
    ASSERT_TRUE(table.AddElement(0, 3, 7));
    ASSERT_TRUE(table.AddElement(1, 2, 8));
    const Bytes expected = {
        0, 0, 1, 0, 16, 0, 0, 0,  // fragment 0
        1, 0, 1, 0, 20, 0, 0, 0,  // fragment 1
        3, 0, 7, 0, 2,  0, 8, 0,
    };
    EXPECT_EQ(table.SaveBytes(), expected);
}

}  // namespace
}  // namespace vox
