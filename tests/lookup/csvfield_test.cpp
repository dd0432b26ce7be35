#include "lookup/csvfield.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vox {
namespace {

std::vector<std::string> Split(std::string_view line) {
    std::vector<std::string> fields;
    std::string field;
    while (NextCsvField(line, field)) fields.push_back(field);
    return fields;
}

using Fields = std::vector<std::string>;

TEST(NextCsvField, SplitsPlainFieldsAtCommas) {
    EXPECT_EQ(Split("5,x,hello,world"), (Fields{"5", "x", "hello", "world"}));
    EXPECT_EQ(Split("single"), (Fields{"single"}));
}

TEST(NextCsvField, RemovesLeadingBlanksAndKeepsTrailingOnes) {
    EXPECT_EQ(Split("  a  ,\tb ,   c"), (Fields{"a  ", "b ", "c"}));
    EXPECT_EQ(Split("a,b  "), (Fields{"a", "b  "}));
}

TEST(NextCsvField, EmptyFieldsKeepTheirPlaceButATrailingCommaAddsNone) {
    EXPECT_EQ(Split("a,,b"), (Fields{"a", "", "b"}));
    EXPECT_EQ(Split(",a"), (Fields{"", "a"}));
    EXPECT_EQ(Split("a,b,"), (Fields{"a", "b"}));
    EXPECT_EQ(Split("a,,"), (Fields{"a", ""}));
    EXPECT_EQ(Split("a, ,b"), (Fields{"a", "", "b"}));
}

TEST(NextCsvField, QuotedFieldKeepsCommasAndInnerBlanks) {
    EXPECT_EQ(Split("1,x,\" one, two \",three"), (Fields{"1", "x", " one, two ", "three"}));
    EXPECT_EQ(Split("\"\",b"), (Fields{"", "b"}));
    EXPECT_EQ(Split("   \"a\""), (Fields{"a"}));
}

TEST(NextCsvField, QuotedFieldWithoutClosingQuoteIsTheWholeRest) {
    EXPECT_EQ(Split("a,\"b, c"), (Fields{"a", "\"b, c"}));
    EXPECT_EQ(Split("\""), (Fields{"\""}));
}

TEST(NextCsvField, DoubledQuoteEndsTheFieldAndOpensTheNext) {
    EXPECT_EQ(Split("\"say \"\"hi\"\"\""), (Fields{"say ", "hi", ""}));
    EXPECT_EQ(Split("\"a\"\"b\""), (Fields{"a", "b"}));
}

TEST(NextCsvField, TextRightAfterAClosingQuoteStartsTheNextField) {
    EXPECT_EQ(Split("\"a\"b,c"), (Fields{"a", "b", "c"}));
}

TEST(NextCsvField, BlankBetweenClosingQuoteAndCommaGivesAnExtraEmptyField) {
    EXPECT_EQ(Split("\"a\" ,b"), (Fields{"a", "", "b"}));
    EXPECT_EQ(Split("\"a\",b"), (Fields{"a", "b"}));
}

TEST(NextCsvField, CarriageReturnCountsAsWhiteSpaceOnlyAtAFieldStart) {
    EXPECT_EQ(Split("a,\r"), (Fields{"a"}));
    EXPECT_EQ(Split("a\r,b"), (Fields{"a\r", "b"}));
}

TEST(NextCsvField, NothingLeftLeavesTheFieldUnchanged) {
    std::string field = "kept";
    std::string_view rest = " \t\r\n\v\f";
    EXPECT_FALSE(NextCsvField(rest, field));
    EXPECT_EQ(field, "kept");
    EXPECT_TRUE(rest.empty());

    std::string_view empty;
    EXPECT_FALSE(NextCsvField(empty, field));
    EXPECT_EQ(field, "kept");
}

TEST(NextCsvField, ShortensTheRestPastTheFieldAndOneComma) {
    std::string field;
    std::string_view rest = " 12 ,\"q,q\",z";
    ASSERT_TRUE(NextCsvField(rest, field));
    EXPECT_EQ(field, "12 ");
    EXPECT_EQ(rest, "\"q,q\",z");
    ASSERT_TRUE(NextCsvField(rest, field));
    EXPECT_EQ(field, "q,q");
    EXPECT_EQ(rest, "z");
    ASSERT_TRUE(NextCsvField(rest, field));
    EXPECT_EQ(rest, "");
}

}  // namespace
}  // namespace vox
