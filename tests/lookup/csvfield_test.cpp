#include "lookup/csvfield.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vox {
namespace {

using Fields = std::vector<std::string>;

Fields Split(std::string_view line) {
    Fields fields;
    std::string field;
    while (NextCsvField(line, field)) fields.push_back(field);
    return fields;
}

// The phrase and comm-name files are read the way the old tools wrote them, quirks included.
TEST(NextCsvField, SplitsALineAsTheSideFilesWereWritten) {
    const struct {
        std::string_view line;
        Fields fields;
    } cases[] = {
        {"5,x,hello,world", {"5", "x", "hello", "world"}},
        {"  a  ,\tb ,   c", {"a  ", "b ", "c"}},  // leading blanks go, trailing ones stay
        {"a,,b", {"a", "", "b"}},
        {",a", {"", "a"}},
        {"a,b,", {"a", "b"}},  // a trailing comma adds no field
        {"a,,", {"a", ""}},
        {"a, ,b", {"a", "", "b"}},
        {"1,x,\" one, two \",three", {"1", "x", " one, two ", "three"}},
        {"\"\",b", {"", "b"}},
        {"   \"a\"", {"a"}},
        {"a,\"b, c", {"a", "\"b, c"}},  // no closing quote: the whole rest
        {"\"", {"\""}},
        {"\"say \"\"hi\"\"\"", {"say ", "hi", ""}},  // a doubled quote ends the field
        {"\"a\"b,c", {"a", "b", "c"}},
        {"\"a\" ,b", {"a", "", "b"}},
        {"a,\r", {"a"}},  // a carriage return is white space only at a field's start
        {"a\r,b", {"a\r", "b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Split(c.line), c.fields) << c.line;
}

TEST(NextCsvField, ShortensTheRestAndLeavesTheFieldAloneAtTheEnd) {
    std::string field;
    std::string_view rest = " 12 ,\"q,q\",z";
    ASSERT_TRUE(NextCsvField(rest, field));
    EXPECT_EQ(rest, "\"q,q\",z");
    ASSERT_TRUE(NextCsvField(rest, field));
    EXPECT_EQ(rest, "z");
    ASSERT_TRUE(NextCsvField(rest, field));
    EXPECT_EQ(rest, "");
    rest = " \t\r\n\v\f";
    EXPECT_FALSE(NextCsvField(rest, field));
    EXPECT_EQ(field, "z");
    EXPECT_TRUE(rest.empty());
}

}  // namespace
}  // namespace vox
