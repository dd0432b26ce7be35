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
        {"Frag,Comment,Voice0", 0, 0, 0, ""},
        {"0,x,header\n1,x,one\n", 2, 1, 0, "one"},
        {"0,x,header\n1,x,one\n", 2, 0, 0, ""},
        {"hdr\n5,ignored,hello\n6,ignored,a,,c\n", 7, 6, 2, "c"},
        {"hdr\n5,ignored,hello\n6,ignored,a,,c\n", 7, 6, 1, ""},
        {"hdr\n5,ignored,hello\n6,ignored,a,,c\n", 7, 6, 3, ""},
        {"hdr\n1,x,a,b,c\n1,x,z\n", 2, 1, 1, ""},  // a later line replaces the whole slot
        {"hdr\n1,x,a\n1,x\n2\n", 3, 1, 0, ""},     // fewer than three fields: an empty slot
        {"hdr\n0,x,a\n9,x,j\n", 10, 5, 0, ""},
        {"hdr\n0,x,a\n9,x,j\n", 10, 9, 0, "j"},
        {"hdr\n-1,x,neg\n2000000000,x,huge\n99999999999999,x,huger\n65536,x,over\n", 0, 0, 0, ""},
        {"hdr\n65535,x,top\n", 65536, 65535, 0, "top"},
    };
    for (const auto& c : cases) {
        const PhraseList list = FromText(c.text);
        EXPECT_EQ(list.GetSize(), c.size) << c.text;
        EXPECT_EQ(list.GetPhrase(c.frag, c.voice), c.phrase) << c.text;
    }
}

TEST(PhraseList, LoadFileReadsTheFileAndEmptiesTheListWhenItCannot) {
    test::TempDir folder;
    PhraseList list;
    ASSERT_TRUE(list.LoadFile(folder.Write("phrases.csv", "hdr\r\n3,x,\"a, b\",c\r\n")));
    EXPECT_EQ(list.GetPhrase(3, 0), "a, b");
    EXPECT_EQ(list.GetPhrase(3, 1), "c");
    for (const std::string& path : {folder.Path() + "/missing.csv", folder.Path()}) {
        list.LoadText("hdr\n1,x,old\n");
        EXPECT_FALSE(list.LoadFile(path));
        EXPECT_TRUE(list.IsEmpty());
    }
}

}  // namespace
}  // namespace vox
