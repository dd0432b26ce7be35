#include "lookup/evalnamelist.h"

#include <gtest/gtest.h>

#include <string>

#include "talkdata/memoryprofile.h"

namespace vox {
namespace {

std::string NameOf(const EvalNameList& list, int eval) {
    std::string out = "untouched";
    EXPECT_TRUE(list.GetEvalName(eval, out));
    return out;
}

TEST(EvalNameList, WithoutASectionEvalsShowTheirNumbersAndSaveWritesOnlyTheCount) {
    MemoryProfile profile;
    EvalNameList list;
    list.Load(profile);
    EXPECT_EQ(NameOf(list, 7), "7");
    list.Save(profile);
    EXPECT_EQ(profile.GetString("EvalNames", "MaxEvals", ""), "0");
    EXPECT_EQ(profile.GetWriteCount(), 1u);
}

TEST(EvalNameList, ValuesBeyondTheCountAreNeitherReadNorRemoved) {
    MemoryProfile profile;
    profile.WriteString("EvalNames", "MaxEvals", "1");
    profile.WriteString("EvalNames", "EvalName0", "zero");
    profile.WriteString("EvalNames", "EvalName1", "beyond");
    EvalNameList list;
    list.Load(profile);
    EXPECT_EQ(list.GetSize(), 1u);
    EXPECT_EQ(NameOf(list, 1), "1");
    list.Save(profile);
    EXPECT_EQ(profile.GetString("EvalNames", "EvalName1", ""), "beyond");
}

// Names, an emptied one and the shown number stored as a name go through a save and a load;
// the list grows to the highest name and the save writes every entry up to it.
TEST(EvalNameList, NamesSurviveASaveAndLoad) {
    EvalNameList list;
    ASSERT_TRUE(list.SetEvalName(0, "first, with comma"));
    ASSERT_TRUE(list.SetEvalName(2, "two"));
    ASSERT_TRUE(list.SetEvalName(2, ""));
    std::string shown;
    list.GetEvalName(7, shown);
    ASSERT_TRUE(list.SetEvalName(7, shown));
    ASSERT_TRUE(list.SetEvalName(500, "far"));
    MemoryProfile profile;
    list.Save(profile);
    EXPECT_EQ(profile.GetString("EvalNames", "MaxEvals", ""), "501");
    EXPECT_EQ(profile.GetWriteCount(), 502u);
    EXPECT_EQ(profile.GetString("EvalNames", "EvalName7", ""), "7");
    EXPECT_EQ(profile.GetString("EvalNames", "EvalName499", "x"), "");
    EXPECT_FALSE(profile.Has("EvalNames", "EvalName501"));
    EvalNameList again;
    again.Load(profile);
    EXPECT_EQ(again.GetSize(), 501u);
    EXPECT_EQ(NameOf(again, 0), "first, with comma");
    EXPECT_EQ(NameOf(again, 2), "2");
    EXPECT_EQ(NameOf(again, 499), "499");
    EXPECT_EQ(NameOf(again, 500), "far");
}

TEST(EvalNameList, NegativeOrUnreachableEvalIsRefusedAndNothingChanges) {
    EvalNameList list;
    EXPECT_FALSE(list.SetEvalName(-1, "neg"));
    EXPECT_FALSE(list.SetEvalName(EvalNameList::kMaxEval + 1, "far"));
    EXPECT_EQ(list.GetSize(), 0u);
    ASSERT_TRUE(list.SetEvalName(EvalNameList::kMaxEval, "last"));
    EXPECT_EQ(list.GetSize(), static_cast<size_t>(EvalNameList::kMaxEval) + 1);
}

TEST(EvalNameList, ACountThatIsNoPositiveNumberGivesNoNamesAndAnAbsurdOneIsClamped) {
    const size_t all = static_cast<size_t>(EvalNameList::kMaxEval) + 1;
    const struct {
        const char* count;
        size_t size;
    } cases[] = {{"0", 0},     {"-4", 0}, {"-2147483648", 0}, {"abc", 0},
                 {"12abc", 0}, {"", 0},   {"99999999999", 0}, {"2147483647", all}};
    for (const auto& c : cases) {
        MemoryProfile profile;
        profile.WriteString("EvalNames", "MaxEvals", c.count);
        profile.WriteString("EvalNames", "EvalName32768", "last");
        EvalNameList list;
        ASSERT_TRUE(list.SetEvalName(3, "old"));
        list.Load(profile);
        EXPECT_EQ(list.GetSize(), c.size) << c.count;
        if (c.size == all) {
            EXPECT_EQ(NameOf(list, 32768), "last");
        }
    }
}

}  // namespace
}  // namespace vox
