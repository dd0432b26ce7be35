// The names shown beside the numbers: phrases and comm names from their side files, eval names
// from the profile.
#include <gtest/gtest.h>

#include <string>

#include "lookup/commnamelist.h"
#include "lookup/evalnamelist.h"
#include "lookup/phraselist.h"
#include "talkdata/memoryprofile.h"

namespace vox {
namespace {

// The first line is a header whatever it holds; phrases start at the third field, one a voice.
TEST(PhraseList, ReadsOneSlotPerFragmentWithAPhrasePerVoice) {
    const struct {
        std::string_view text;
        size_t size;
        int frag;
        int voice;
        std::string phrase;
    } cases[] = {
        {"3,x,not a phrase\n", 0, 3, 0, ""},
        {"0,x,header\n1,x,one\n", 2, 1, 0, "one"},
        {"hdr\n5,ignored,hello\n6,ignored,a,,c\n", 7, 6, 2, "c"},
        {"hdr\n1,x,a,b,c\n1,x,z\n", 2, 1, 1, ""},  // a later line replaces the whole slot
        {"hdr\n-1,x,neg\n2000000000,x,huge\n99999999999999,x,huger\n65536,x,over\n", 0, 0, 0, ""},
        {"hdr\n65535,x,top\n", 65536, 65535, 0, "top"},
    };
    for (const auto& c : cases) {
        PhraseList list;
        list.LoadText(c.text);
        EXPECT_EQ(list.GetSize(), c.size) << c.text;
        EXPECT_EQ(list.GetPhrase(c.frag, c.voice), c.phrase) << c.text;
    }
}

// No header; a line without a second field is named by its first, and text without digits
// names comm 0.
TEST(CommNameList, EveryLineNamesTheCommItsFirstFieldGives) {
    CommNameList list;
    list.LoadText("0,Stop\r\n2,\"Go, now\",ignored\r\n12\n 3abc \n1,first\n1,second\n");
    EXPECT_EQ(list.GetSize(), 13u);
    const std::pair<int, const char*> names[] = {{0, "Stop"}, {2, "Go, now"}, {4, ""},
                                                 {12, "12"},  {3, "3abc "},   {1, "second"}};
    for (const auto& [comm, name] : names) EXPECT_EQ(list.GetCommName(comm), name) << comm;
    list.LoadText("name only\n-2,neg\n2000000000,huge\n65536,over\n");
    EXPECT_EQ(list.GetSize(), 1u);
    EXPECT_EQ(list.GetCommName(0), "name only");
    list.LoadText("65535,top\n");
    EXPECT_EQ(list.GetSize(), 65536u);
}

std::string NameOf(const EvalNameList& list, int eval) {
    std::string out = "untouched";
    EXPECT_TRUE(list.GetEvalName(eval, out));
    return out;
}

// The list grows to the highest name and the save writes every entry up to it; an emptied name
// shows the number again.
TEST(EvalNameList, NamesSurviveASaveAndLoad) {
    EvalNameList list;
    ASSERT_TRUE(list.SetEvalName(2, "two"));
    ASSERT_TRUE(list.SetEvalName(2, ""));
    ASSERT_TRUE(list.SetEvalName(500, "far, with comma"));
    EXPECT_FALSE(list.SetEvalName(-1, "neg"));
    EXPECT_FALSE(list.SetEvalName(EvalNameList::kMaxEval + 1, "far"));
    MemoryProfile profile;
    list.Save(profile);
    EXPECT_EQ(profile.GetString("EvalNames", "MaxEvals", ""), "501");
    EvalNameList again;
    again.Load(profile);
    EXPECT_EQ(again.GetSize(), 501u);
    EXPECT_EQ(NameOf(again, 2), "2");
    EXPECT_EQ(NameOf(again, 500), "far, with comma");
}

// A count that is no positive number gives no names, an absurd one is clamped; values beyond
// the count are not read.
TEST(EvalNameList, ACountThatIsNoPositiveNumberGivesNoNamesAndAnAbsurdOneIsClamped) {
    const size_t all = static_cast<size_t>(EvalNameList::kMaxEval) + 1;
    const struct {
        const char* count;
        size_t size;
    } cases[] = {{"0", 0}, {"-4", 0},          {"-2147483648", 0}, {"abc", 0},
                 {"", 0},  {"99999999999", 0}, {"1", 1},           {"2147483647", all}};
    for (const auto& c : cases) {
        MemoryProfile profile;
        profile.WriteString("EvalNames", "MaxEvals", c.count);
        profile.WriteString("EvalNames", "EvalName32768", "last");
        EvalNameList list;
        ASSERT_TRUE(list.SetEvalName(3, "old"));
        list.Load(profile);
        EXPECT_EQ(list.GetSize(), c.size) << c.count;
        EXPECT_EQ(NameOf(list, 32768), c.size == all ? "last" : "32768") << c.count;
    }
}

}  // namespace
}  // namespace vox
