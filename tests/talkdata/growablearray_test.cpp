#include "talkdata/growablearray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vox {
namespace {

TEST(GrowableArray, InsertAtShiftsUpFillsAGapAndCopiesAnOwnElementBeforeItMoves) {
    GrowableArray<std::string> array;
    for (const char* word : {"a", "c", "d", "e"}) array.Add(word);
    ASSERT_EQ(array.GetSize(), array.GetCapacity());
    array.InsertAt(1, array[3]);  // the array grows, and array[3] with it
    array.InsertAt(7, "z");       // beyond the end: sized to 8
    EXPECT_EQ(std::vector<std::string>(array.begin(), array.end()),
              (std::vector<std::string>{"a", "e", "c", "d", "e", "", "", "z"}));
}

}  // namespace
}  // namespace vox
