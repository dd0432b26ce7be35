// The side files' text as the old tools wrote it, quirks included: comma-separated fields and
// lenient numbers, and the names shown beside the numbers (phrases and comm names from their
// side files, eval names from the profile). Then the cross-reference searches through the comm
// and eval tables.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "lookup/commnamelist.h"
#include "lookup/crossrefsearch.h"
#include "lookup/csvfield.h"
#include "lookup/evalnamelist.h"
#include "lookup/lenientnumber.h"
#include "lookup/phraselist.h"
#include "talkdata/bytes.h"
#include "talkdata/commtable.h"
#include "talkdata/evaltable.h"
#include "talkdata/memoryprofile.h"
#include "tests/support/tempdir.h"

namespace vox {
namespace {

using Strings = std::vector<std::string>;

Strings Fields(std::string_view line) {
    Strings fields;
    std::string field;
    while (NextCsvField(line, field)) fields.push_back(field);
    return fields;
}

TEST(NextCsvField, SplitsALineAsTheSideFilesWereWritten) {
    const struct {
        std::string_view line;
        Strings fields;
    } cases[] = {
        {"  a  ,\tb ,   c", {"a  ", "b ", "c"}},  // leading blanks go, trailing ones stay
        {",a,,b", {"", "a", "", "b"}},
        {"a,b,", {"a", "b"}},  // a trailing comma adds no field
        {"1,x,\" one, two \",three", {"1", "x", " one, two ", "three"}},
        {"a,\"b, c", {"a", "\"b, c"}},  // no closing quote: the whole rest
        {"\"", {"\""}},
        {"\"say \"\"hi\"\"\"", {"say ", "hi", ""}},  // a doubled quote ends the field
        {"\"a\"b,c", {"a", "b", "c"}},
        {"a,\r", {"a"}},  // a carriage return is white space only at a field's start
    };
    for (const auto& c : cases) EXPECT_EQ(Fields(c.line), c.fields) << c.line;
    // At the end the field is left as it was and the rest emptied.
    std::string field = "z";
    std::string_view rest = " \t\r\n\v\f";
    EXPECT_FALSE(NextCsvField(rest, field));
    EXPECT_EQ(field, "z");
    EXPECT_TRUE(rest.empty());
}

TEST(ParseLenientInt, ReadsLeadingDigitsSaturatingAndOtherwiseGivesZero) {
    const struct {
        std::string text;
        int value;
    } cases[] = {{" -3", -3},
                 {"\t\r\n\v\f+7", 7},
                 {"12abc", 12},
                 {"+-3", 0},
                 {"   ", 0},
                 {"2147483648", INT_MAX},
                 {"-2147483649", INT_MIN},
                 {"-" + std::string(5000, '9') + "x", INT_MIN}};
    for (const auto& c : cases) EXPECT_EQ(ParseLenientInt(c.text), c.value) << c.text;
    EXPECT_EQ(ParseLenientInt(std::string_view("123456").substr(0, 3)), 123);
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
        {"0,x,header\n1,x,one\n", 2, 1, 0, "one"},
        {"hdr\n\n5,ignored,hello\r\n\n6,ignored,a,,c", 7, 6, 2, "c"},  // blank lines, no last LF
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

using Bytes = std::vector<uint8_t>;
using Numbers = std::vector<int>;

// evalFile.bin: 8-byte records (number, count, offset of the first element), then the words,
// each an (index, frag) pair.
Bytes EvalFile(const std::vector<std::vector<std::pair<int16_t, int16_t>>>& evals) {
    Bytes bytes(8 * evals.size());
    for (size_t e = 0; e < evals.size(); ++e) {
        WriteU16(bytes.data() + 8 * e + 2, static_cast<uint16_t>(evals[e].size()));
        WriteU32(bytes.data() + 8 * e + 4, static_cast<uint32_t>(bytes.size()));
        for (const auto& [index, frag] : evals[e]) {
            bytes.insert(bytes.end(),
                         {static_cast<uint8_t>(index), static_cast<uint8_t>(index >> 8),
                          static_cast<uint8_t>(frag), static_cast<uint8_t>(frag >> 8)});
        }
    }
    return bytes;
}

// commFile.bin: 14-byte records, then every list right after them; elements is the list size.
Bytes CommFile(const std::vector<std::vector<int16_t>>& comms) {
    Bytes bytes(14 * comms.size());
    for (size_t c = 0; c < comms.size(); ++c) {
        bytes[14 * c + 8] = static_cast<uint8_t>(comms[c].size());
        WriteU32(bytes.data() + 14 * c + 10, static_cast<uint32_t>(bytes.size()));
        for (int16_t entry : comms[c]) {
            bytes.insert(bytes.end(),
                         {static_cast<uint8_t>(entry), static_cast<uint8_t>(entry >> 8)});
        }
    }
    return bytes;
}

class CrossRef : public testing::Test {
  protected:
    void Open(const Bytes& comms, const Bytes& evals) {
        ASSERT_TRUE(evals_.LoadBytes(evals)) << evals_.GetError();
        const std::string path =
            folder_.Write("commFile.bin", std::string(comms.begin(), comms.end()));
        ASSERT_TRUE(comms_.Open(path)) << comms_.GetError();
    }

    test::TempDir folder_;
    CommTable comms_;
    EvalTable evals_;
};

TEST_F(CrossRef, EvalInCommMatchesTheNegatedEntryWhateverItsSign) {
    Open(CommFile({{-5, 3}, {5}, {0}, {-5, -5}, {1, -2}, {}, {-32768}}), EvalFile({{}}));
    const std::pair<int, Numbers> cases[] = {
        {5, {0, 3}},
        // The sign is not tested first: 0 finds the fragment entry 0, -5 the fragment entry 5.
        {0, {2}},
        {-5, {1}},
        {32768, {6}},
        {-32768, {}},
        {65531, {}}};
    for (const auto& [n, found] : cases) EXPECT_EQ(FindEvalInComm(comms_, n), found) << n;
}

TEST_F(CrossRef, FragInCommFindsDirectUseAndUseThroughAnEvalOnce) {
    Open(CommFile({{7}, {-2}, {7, -2}, {-9}, {3, 8}, {-3}, {5}, {-4}, {0}, {}}),
         EvalFile({{{0, 1}}, {}, {{0, 8}, {1, 7}}, {{0, -5}}, {{0, 0}}}));
    const std::pair<int, Numbers> cases[] = {
        {7, {0, 1, 2}},
        {8, {1, 2, 4}},
        // Unlike Find Eval in Command, the entry's sign decides what it names.
        {-5, {5}},
        {5, {6}},
        {0, {7, 8}},
        {9, {}}};
    for (const auto& [n, found] : cases) EXPECT_EQ(FindFragInComm(comms_, evals_, n), found) << n;
}

}  // namespace
}  // namespace vox
