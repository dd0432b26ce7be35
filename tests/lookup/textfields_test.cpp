// How the side files' text is cut up: lines, comma-separated fields, and lenient numbers, all
// read the way the old tools wrote them, quirks included.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "lookup/csvfield.h"
#include "lookup/lenientnumber.h"
#include "lookup/textfile.h"

namespace vox {
namespace {

using Strings = std::vector<std::string>;

Strings Lines(std::string_view text) {
    Strings lines;
    std::string_view line;
    while (NextTextLine(text, line)) lines.emplace_back(line);
    return lines;
}

Strings Fields(std::string_view line) {
    Strings fields;
    std::string field;
    while (NextCsvField(line, field)) fields.push_back(field);
    return fields;
}

TEST(NextTextLine, SplitsAtLineFeedsDroppingOneCarriageReturnAndNoLineAfterTheLast) {
    EXPECT_EQ(Lines("a\nb\r\nc"), (Strings{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\r\r\n"), (Strings{"a\r"}));
    EXPECT_EQ(Lines("\n\nx\n"), (Strings{"", "", "x"}));
    EXPECT_EQ(Lines(""), Strings{});
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
    const std::string nines(5000, '9');
    const struct {
        std::string text;
        int value;
    } cases[] = {{" -3", -3},
                 {"\t\r\n\v\f+7", 7},
                 {"12abc", 12},
                 {"+-3", 0},
                 {"   ", 0},
                 {"-", 0},
                 {"2147483648", INT_MAX},
                 {"-2147483649", INT_MIN},
                 {nines, INT_MAX},
                 {"-" + nines + "x", INT_MIN}};
    for (const auto& c : cases) EXPECT_EQ(ParseLenientInt(c.text), c.value) << c.text;
    EXPECT_EQ(ParseLenientInt(std::string_view("123456").substr(0, 3)), 123);
}

}  // namespace
}  // namespace vox
