#include "talkdata/growablearray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vox {
namespace {

TEST(GrowableArray, InsertAtShiftsUpOrFillsTheGapWithZeros) {
    GrowableArray<int> array;
    array.Add(1);
    array.Add(3);
    array.InsertAt(1, 2);
    array.InsertAt(0, 0);
    ASSERT_EQ(array.GetSize(), 4u);
    EXPECT_EQ((std::vector<int>(array.begin(), array.end())), (std::vector<int>{0, 1, 2, 3}));

    array.InsertAt(6, 9);  // beyond the end: sized to pos + 1
    EXPECT_EQ((std::vector<int>(array.begin(), array.end())),
              (std::vector<int>{0, 1, 2, 3, 0, 0, 9}));
}

TEST(GrowableArray, InsertingAnOwnElementSurvivesReallocation) {
    GrowableArray<std::string> array;
    for (int i = 0; i < 4; ++i) array.Add("word" + std::to_string(i));
    ASSERT_EQ(array.GetSize(), array.GetCapacity());
    array.InsertAt(0, array[3]);
    EXPECT_EQ(array[0], "word3");
    EXPECT_EQ(array[4], "word3");
}

}  // namespace
}  // namespace vox
