#include "talkdata/growablearray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vox {
namespace {

TEST(GrowableArray, CapacityFollowsTheGrowthRuleOneElementAtATime) {
    // step = size / 8 clamped to 4..1024; new capacity = max(requested, capacity + step)
    const std::vector<size_t> expected = {4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 45, 50, 56};
    GrowableArray<int> array;
    std::vector<size_t> seen;
    for (int i = 0; i < 56; ++i) {
        ASSERT_TRUE(array.Add(i));
        if (seen.empty() || seen.back() != array.GetCapacity()) seen.push_back(array.GetCapacity());
    }
    EXPECT_EQ(seen, expected);
    for (int i = 0; i < 56; ++i) EXPECT_EQ(array[static_cast<size_t>(i)], i);
}

TEST(GrowableArray, RequestBeyondCapacityPlusStepGetsExactlyTheRequest) {
    GrowableArray<int> array;
    array.SetSize(3);
    EXPECT_EQ(array.GetCapacity(), 4u);
    array.SetSize(100);
    EXPECT_EQ(array.GetCapacity(), 100u);
    EXPECT_EQ(array.GetSize(), 100u);
}

TEST(GrowableArray, StepIsClampedTo1024) {
    GrowableArray<int> array;
    array.SetSize(10000);
    EXPECT_EQ(array.GetCapacity(), 10000u);
    array.SetSize(10001);  // size / 8 = 1250, clamped
    EXPECT_EQ(array.GetCapacity(), 11024u);
}

TEST(GrowableArray, ShrinkingKeepsCapacityAndRegrownSlotsAreZero) {
    GrowableArray<int> array;
    array.SetSize(6);
    for (size_t i = 0; i < 6; ++i) array[i] = 7;
    const size_t capacity = array.GetCapacity();
    array.SetSize(2);
    EXPECT_EQ(array.GetCapacity(), capacity);
    array.SetSize(6);
    EXPECT_EQ(array.GetCapacity(), capacity);
    EXPECT_EQ(array[1], 7);
    for (size_t i = 2; i < 6; ++i) EXPECT_EQ(array[i], 0) << i;
}

TEST(GrowableArray, SizingToZeroFreesTheStorage) {
    GrowableArray<int> array;
    array.SetSize(20);
    array.SetSize(0);
    EXPECT_EQ(array.GetSize(), 0u);
    EXPECT_EQ(array.GetCapacity(), 0u);
    EXPECT_EQ(array.Data(), nullptr);
}

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

TEST(GrowableArray, NewStringSlotsAreEmptyAndCopiesAreDeep) {
    GrowableArray<std::string> array;
    array.SetSize(3);
    array[2] = "x";
    array.SetSize(1);
    array.SetSize(3);
    EXPECT_EQ(array[2], "");

    array[0] = "kept";
    GrowableArray<std::string> copy = array;
    copy[0] = "changed";
    EXPECT_EQ(array[0], "kept");
    EXPECT_EQ(copy.GetCapacity(), array.GetCapacity());

    GrowableArray<std::string> moved = std::move(copy);
    EXPECT_EQ(moved[0], "changed");
}

}  // namespace
}  // namespace vox
