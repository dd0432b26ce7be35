#include "lookup/commnamelist.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/tempdir.h"

namespace vox {
namespace {

// No header; a line without a second field is named by its first, and text without digits
// names comm 0.
TEST(CommNameList, EveryLineNamesTheCommItsFirstFieldGives) {
    CommNameList list;
    list.LoadText("0,Stop\r\n2,\"Go, now\",ignored\r\n12\n 3abc \n1,first\n1,second\n");
    EXPECT_EQ(list.GetSize(), 13u);
    EXPECT_EQ(list.GetCommName(0), "Stop");
    EXPECT_EQ(list.GetCommName(2), "Go, now");
    EXPECT_EQ(list.GetCommName(4), "");
    EXPECT_EQ(list.GetCommName(12), "12");
    EXPECT_EQ(list.GetCommName(3), "3abc ");
    EXPECT_EQ(list.GetCommName(1), "second");
    list.LoadText("name only\n-2,neg\n2000000000,huge\n65536,over\n");
    EXPECT_EQ(list.GetSize(), 1u);
    EXPECT_EQ(list.GetCommName(0), "name only");
    list.LoadText("65535,top\n");
    EXPECT_EQ(list.GetSize(), 65536u);
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
