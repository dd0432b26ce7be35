#include "lookup/lenientnumber.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace vox {
namespace {

TEST(ParseLenientInt, ReadsLeadingDigitsSaturatingAndOtherwiseGivesZero) {
    const std::string nines(5000, '9');
    const struct {
        std::string text;
        int value;
    } cases[] = {
        {"12", 12},
        {" -3", -3},
        {"\t\r\n\v\f+7", 7},
        {"007", 7},
        {"12abc", 12},
        {"4 5", 4},
        {"-8,9", -8},
        {"1.5", 1},
        {"", 0},
        {"   ", 0},
        {"abc12", 0},
        {"-", 0},
        {"+-3", 0},
        {"- 3", 0},
        {"\"12\"", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {nines, INT_MAX},
        {"-" + nines + "x", INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseLenientInt(c.text), c.value) << c.text;
    EXPECT_EQ(ParseLenientInt(std::string_view("123456").substr(0, 3)), 123);
}

}  // namespace
}  // namespace vox
