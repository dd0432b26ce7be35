#include "lookup/commnamelist.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/tempdir.h"

namespace vox {
namespace {

CommNameList FromText(std::string_view text) {
    CommNameList list;
    list.LoadText(text);
    return list;
}

TEST(CommNameList, EveryLineIsARecordWithoutAHeader) {
    const CommNameList list = FromText("0,Stop\r\n2,\"Go, now\",ignored\r\n");
    EXPECT_EQ(list.GetSize(), 3u);
    EXPECT_EQ(list.GetCommName(0), "Stop");
    EXPECT_EQ(list.GetCommName(1), "");
    EXPECT_EQ(list.GetCommName(2), "Go, now");
}

TEST(CommNameList, LineWithoutSecondFieldIsNamedByItsFirstField) {
    const CommNameList list = FromText("12\n 3abc \n");
    EXPECT_EQ(list.GetCommName(12), "12");
    EXPECT_EQ(list.GetCommName(3), "3abc ");
}

TEST(CommNameList, LaterLineWinsAndTextWithoutDigitsNamesCommZero) {
    const CommNameList list = FromText("1,first\n1,second\nname only\n");
    EXPECT_EQ(list.GetCommName(1), "second");
    EXPECT_EQ(list.GetCommName(0), "name only");
}

TEST(CommNameList, NegativeAndOutOfRangeCommsAreSkipped) {
    const CommNameList list = FromText("-2,neg\n2000000000,huge\n65536,over\n");
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(FromText("65535,top\n").GetSize(), 65536u);
}

TEST(CommNameList, LoadFileThatCannotBeReadKeepsTheOldNames) {
    test::TempDir folder;
    CommNameList list;
    list.LoadText("5,old\n");
    EXPECT_FALSE(list.LoadFile(folder.Path() + "/missing.csv"));
    EXPECT_FALSE(list.LoadFile(folder.Path()));
    EXPECT_EQ(list.GetSize(), 6u);
    EXPECT_EQ(list.GetCommName(5), "old");
}

}  // namespace
}  // namespace vox
