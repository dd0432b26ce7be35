#include "lookup/textfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/tempdir.h"

namespace vox {
namespace {

using LineList = std::vector<std::string>;

LineList Lines(std::string_view text) {
    LineList lines;
    std::string_view line;
    while (NextTextLine(text, line)) lines.emplace_back(line);
    return lines;
}

TEST(NextTextLine, SplitsAtLineFeedsDroppingOneCarriageReturnAndNoLineAfterTheLast) {
    EXPECT_EQ(Lines("a\nb\r\nc"), (LineList{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\r\r\n"), (LineList{"a\r"}));
    EXPECT_EQ(Lines("a\rb\n"), (LineList{"a\rb"}));
    EXPECT_EQ(Lines("\n\nx\n"), (LineList{"", "", "x"}));
    EXPECT_EQ(Lines(""), LineList{});
    EXPECT_EQ(Lines("\r\n"), (LineList{""}));
}

TEST(ReadTextFile, ReadsEveryByteUnchangedAndFailsForAMissingFileOrAFolder) {
    test::TempDir folder;
    const std::string bytes("h\0\xff\r\n\x1a tail", 10);
    std::string text;
    ASSERT_TRUE(ReadTextFile(folder.Write("f.csv", bytes), text));
    EXPECT_EQ(text, bytes);
    EXPECT_FALSE(ReadTextFile(folder.Path() + "/missing.csv", text));
    EXPECT_FALSE(ReadTextFile(folder.Path(), text));
}

}  // namespace
}  // namespace vox
