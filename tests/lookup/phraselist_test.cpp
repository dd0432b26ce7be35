#include "lookup/phraselist.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/tempdir.h"

namespace vox {
namespace {

PhraseList FromText(std::string_view text) {
    PhraseList list;
    list.LoadText(text);
    return list;
}

TEST(PhraseList, SkipsTheHeaderLineWhateverItHolds) {
    EXPECT_TRUE(FromText("3,x,not a phrase\n").IsEmpty());
    EXPECT_TRUE(FromText("Frag,Comment,Voice0").IsEmpty());
    EXPECT_TRUE(FromText("").IsEmpty());

    const PhraseList list = FromText("0,x,header\n1,x,one\n");
    EXPECT_EQ(list.GetSize(), 2u);
    EXPECT_EQ(list.GetPhrase(0, 0), "");
    EXPECT_EQ(list.GetPhrase(1, 0), "one");
}

TEST(PhraseList, PhrasesStartAtTheThirdFieldOnePerVoice) {
    const PhraseList list = FromText("hdr\n5,ignored,hello\n6,ignored,a,,c\n");
    EXPECT_EQ(list.GetSize(), 7u);
    EXPECT_EQ(list.GetPhrase(5, 0), "hello");
    EXPECT_EQ(list.GetPhrase(5, 1), "");
    EXPECT_EQ(list.GetPhrase(6, 0), "a");
    EXPECT_EQ(list.GetPhrase(6, 1), "");
    EXPECT_EQ(list.GetPhrase(6, 2), "c");
    EXPECT_EQ(list.GetPhrase(6, 3), "");
}

TEST(PhraseList, LaterLineForTheSameFragmentReplacesTheWholeSlot) {
    const PhraseList list = FromText("hdr\n1,x,a,b,c\n1,x,z\n");
    EXPECT_EQ(list.GetPhrase(1, 0), "z");
    EXPECT_EQ(list.GetPhrase(1, 1), "");
}

TEST(PhraseList, LineWithFewerThanThreeFieldsStoresAnEmptySlot) {
    const PhraseList list = FromText("hdr\n1,x,a\n1,x\n2\n");
    EXPECT_EQ(list.GetSize(), 3u);
    EXPECT_EQ(list.GetPhrase(1, 0), "");
}

TEST(PhraseList, GrowsToTheHighestFragmentWithEmptySlotsBetween) {
    const PhraseList list = FromText("hdr\n0,x,a\n2,x,c\n9,x,j\n");
    EXPECT_EQ(list.GetSize(), 10u);
    for (int f = 3; f <= 8; ++f) EXPECT_EQ(list.GetPhrase(f, 0), "") << f;
    EXPECT_EQ(list.GetPhrase(9, 0), "j");
    EXPECT_EQ(list.GetPhrase(2, 0), "c");
}

TEST(PhraseList, NegativeAndOutOfRangeFragmentsAreSkipped) {
    const PhraseList list =
        FromText("hdr\n-1,x,neg\n2000000000,x,huge\n99999999999999,x,huger\n65536,x,over\n");
    EXPECT_TRUE(list.IsEmpty());

    const PhraseList top = FromText("hdr\n65535,x,top\n");
    EXPECT_EQ(top.GetSize(), 65536u);
    EXPECT_EQ(top.GetPhrase(65535, 0), "top");
}

TEST(PhraseList, LoadFileReadsTheFile) {
    test::TempDir folder;
    PhraseList list;
    ASSERT_TRUE(list.LoadFile(folder.Write("phrases.csv", "hdr\r\n3,x,\"a, b\",c\r\n")));
    EXPECT_EQ(list.GetPhrase(3, 0), "a, b");
    EXPECT_EQ(list.GetPhrase(3, 1), "c");
}

TEST(PhraseList, LoadFileThatCannotBeReadLeavesTheListEmpty) {
    test::TempDir folder;
    PhraseList list;
    list.LoadText("hdr\n1,x,old\n");
    EXPECT_FALSE(list.LoadFile(folder.Path() + "/missing.csv"));
    EXPECT_TRUE(list.IsEmpty());

    list.LoadText("hdr\n1,x,old\n");
    EXPECT_FALSE(list.LoadFile(folder.Path()));
    EXPECT_TRUE(list.IsEmpty());
}

}  // namespace
}  // namespace vox
