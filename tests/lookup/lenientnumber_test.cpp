#include "lookup/lenientnumber.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace vox {
namespace {

TEST(ParseLenientInt, ReadsSignedDecimalAfterLeadingWhiteSpace) {
    EXPECT_EQ(ParseLenientInt("12"), 12);
    EXPECT_EQ(ParseLenientInt(" -3"), -3);
    EXPECT_EQ(ParseLenientInt("\t\r\n\v\f+7"), 7);
    EXPECT_EQ(ParseLenientInt("007"), 7);
}

TEST(ParseLenientInt, StopsAtTheFirstOtherCharacter) {
    EXPECT_EQ(ParseLenientInt("12abc"), 12);
    EXPECT_EQ(ParseLenientInt("4 5"), 4);
    EXPECT_EQ(ParseLenientInt("-8,9"), -8);
    EXPECT_EQ(ParseLenientInt("1.5"), 1);
}

TEST(ParseLenientInt, TextWithoutLeadingDigitsGivesZero) {
    EXPECT_EQ(ParseLenientInt(""), 0);
    EXPECT_EQ(ParseLenientInt("   "), 0);
    EXPECT_EQ(ParseLenientInt("abc12"), 0);
    EXPECT_EQ(ParseLenientInt("-"), 0);
    EXPECT_EQ(ParseLenientInt("+-3"), 0);
    EXPECT_EQ(ParseLenientInt("- 3"), 0);
    EXPECT_EQ(ParseLenientInt("\"12\""), 0);
}

TEST(ParseLenientInt, SaturatesAtTheThirtyTwoBitRange) {
    EXPECT_EQ(ParseLenientInt("2147483647"), INT_MAX);
    EXPECT_EQ(ParseLenientInt("2147483648"), INT_MAX);
    EXPECT_EQ(ParseLenientInt("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseLenientInt("-2147483649"), INT_MIN);
    EXPECT_EQ(ParseLenientInt(std::string(5000, '9')), INT_MAX);
    EXPECT_EQ(ParseLenientInt("-" + std::string(5000, '9') + "x"), INT_MIN);
}

TEST(ParseLenientInt, ReadsOnlyTheGivenView) {
    const std::string text = "123456";
    EXPECT_EQ(ParseLenientInt(std::string_view(text).substr(0, 3)), 123);
}

}  // namespace
}  // namespace vox
