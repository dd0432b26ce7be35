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
    EXPECT_EQ(list.GetSize(), 0u);
    EXPECT_EQ(NameOf(list, 7), "7");

    list.Save(profile);
    EXPECT_EQ(profile.GetString("EvalNames", "MaxEvals", ""), "0");
    EXPECT_EQ(profile.GetWriteCount(), 1u);
    EXPECT_FALSE(profile.Has("EvalNames", "EvalName0"));
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

TEST(EvalNameList, SetNameGrowsTheListAndSaveWritesEveryEntry) {
    MemoryProfile profile;
    profile.WriteString("EvalNames", "MaxEvals", "3");
    EvalNameList list;
    list.Load(profile);
    ASSERT_TRUE(list.SetEvalName(500, "far"));
    EXPECT_EQ(list.GetSize(), 501u);
    EXPECT_EQ(NameOf(list, 499), "499");

    MemoryProfile saved;
    list.Save(saved);
    EXPECT_EQ(saved.GetString("EvalNames", "MaxEvals", ""), "501");
    EXPECT_EQ(saved.GetWriteCount(), 502u);
    EXPECT_TRUE(saved.Has("EvalNames", "EvalName0"));
    EXPECT_EQ(saved.GetString("EvalNames", "EvalName499", "x"), "");
    EXPECT_EQ(saved.GetString("EvalNames", "EvalName500", ""), "far");
    EXPECT_FALSE(saved.Has("EvalNames", "EvalName501"));
}

TEST(EvalNameList, NamesSurviveASaveAndLoad) {
    EvalNameList list;
    ASSERT_TRUE(list.SetEvalName(0, "first, with comma"));
    ASSERT_TRUE(list.SetEvalName(12, "twelve"));
    MemoryProfile profile;
    list.Save(profile);
    EXPECT_EQ(profile.GetString("EvalNames", "EvalName12", ""), "twelve");

    EvalNameList again;
    again.Load(profile);
    EXPECT_EQ(again.GetSize(), 13u);
    EXPECT_EQ(NameOf(again, 0), "first, with comma");
    EXPECT_EQ(NameOf(again, 12), "twelve");
}

TEST(EvalNameList, StoringTheShownNumberMakesItAName) {
    EvalNameList list;
    std::string shown;
    list.GetEvalName(7, shown);
    ASSERT_TRUE(list.SetEvalName(7, shown));
    EXPECT_EQ(NameOf(list, 7), "7");
    MemoryProfile profile;
    list.Save(profile);
    EXPECT_EQ(profile.GetString("EvalNames", "EvalName7", ""), "7");
}

TEST(EvalNameList, EmptyNameRemovesTheName) {
    EvalNameList list;
    ASSERT_TRUE(list.SetEvalName(2, "two"));
    ASSERT_TRUE(list.SetEvalName(2, ""));
    EXPECT_EQ(NameOf(list, 2), "2");
    EXPECT_EQ(list.GetSize(), 3u);
}

TEST(EvalNameList, NegativeOrUnreachableEvalIsRefusedAndNothingChanges) {
    EvalNameList list;
    EXPECT_FALSE(list.SetEvalName(-1, "neg"));
    EXPECT_FALSE(list.SetEvalName(EvalNameList::kMaxEval + 1, "far"));
    EXPECT_EQ(list.GetSize(), 0u);
    ASSERT_TRUE(list.SetEvalName(EvalNameList::kMaxEval, "last"));
    EXPECT_EQ(list.GetSize(), static_cast<size_t>(EvalNameList::kMaxEval) + 1);
}

TEST(EvalNameList, CountThatIsNotPositiveOrNotANumberGivesNoNames) {
    for (const char* count : {"0", "-4", "-2147483648", "abc", "12abc", "", "99999999999"}) {
        MemoryProfile profile;
        profile.WriteString("EvalNames", "MaxEvals", count);
        profile.WriteString("EvalNames", "EvalName0", "zero");
        EvalNameList list;
        ASSERT_TRUE(list.SetEvalName(3, "old"));
        list.Load(profile);
        EXPECT_EQ(list.GetSize(), 0u) << count;
    }
}

TEST(EvalNameList, AbsurdCountIsClampedToTheReachableEvals) {
    MemoryProfile profile;
    profile.WriteString("EvalNames", "MaxEvals", "2147483647");
    profile.WriteString("EvalNames", "EvalName32768", "last");
    EvalNameList list;
    list.Load(profile);
    EXPECT_EQ(list.GetSize(), static_cast<size_t>(EvalNameList::kMaxEval) + 1);
    EXPECT_EQ(NameOf(list, 32768), "last");

    MemoryProfile saved;
    list.Save(saved);
    EXPECT_EQ(saved.GetString("EvalNames", "MaxEvals", ""), "32769");
}

}  // namespace
}  // namespace vox
