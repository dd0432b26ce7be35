// The reader; the writer's bytes are checked in the wave file's layout.
#include "audio/riff.h"

#include <gtest/gtest.h>

#include <vector>

namespace vox {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kAbcd = MakeFourCC("abcd");
constexpr uint32_t kEfgh = MakeFourCC("efgh");
constexpr uint32_t kForm = MakeFourCC("FORM");

TEST(RiffReader, DescendSkipsOtherChunksAndTheirPadBytes) {
    // clang-format off
    const Bytes file = {
        'R', 'I', 'F', 'F', 58, 0, 0, 0, 'F', 'O', 'R', 'M',
        'x', 'x', 'x', 'x', 1, 0, 0, 0, 9, 0,                  // odd, padded
        'L', 'I', 'S', 'T', 4, 0, 0, 0, 'A', 'A', 'A', 'A',    // a list of another form type
        'L', 'I', 'S', 'T', 13, 0, 0, 0, 'B', 'B', 'B', 'B',   // the list we want, odd ...
        'a', 'b', 'c', 'd', 1, 0, 0, 0, 5, 0,                  // ... holding an odd chunk
        'e', 'f', 'g', 'h', 2, 0, 0, 0, 7, 8,
    };
    // clang-format on
    RiffReader reader(file);
    RiffChunk riff;
    RiffChunk list;
    RiffChunk chunk;
    ASSERT_TRUE(reader.Descend(riff, nullptr, kRiffId, kForm));
    EXPECT_EQ(riff.size, 58u);
    ASSERT_TRUE(reader.Descend(list, &riff, kListId, MakeFourCC("BBBB")));
    EXPECT_EQ(list.dataOffset, 42u);
    ASSERT_TRUE(reader.Descend(chunk, &list, kAbcd));
    EXPECT_EQ(chunk.size, 1u);
    reader.Ascend(chunk);
    EXPECT_EQ(reader.Remaining(), 10u);
    ASSERT_TRUE(reader.Descend(chunk, &riff, kEfgh));
    EXPECT_EQ(chunk.dataOffset, 64u);
    uint8_t data[4] = {};
    EXPECT_EQ(reader.Read(data, 4), 2u) << "reads stop at the end of the input";
    EXPECT_EQ(data[1], 8);
}

// A failed search does not move the reader. Headers cut short and chunks beyond their parent are
// the wave reader's cases.
TEST(RiffReader, WhatIsNotThereIsNotFound) {
    const struct {
        const char* what;
        Bytes file;
        uint32_t id;
    } cases[] = {
        {"another form type", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, kRiffId},
        {"too small for a form type",
         {'R', 'I', 'F', 'F', 2, 0, 0, 0, 'F', 'O', 'R', 'M'},
         kRiffId},
        {"a size that would wrap the offset",
         {'x', 'x', 'x', 'x', 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c', 'd', 0, 0, 0, 0},
         kAbcd},
    };
    for (const auto& c : cases) {
        RiffReader reader(c.file);
        RiffChunk chunk;
        EXPECT_FALSE(reader.Descend(chunk, nullptr, c.id, kForm)) << c.what;
        EXPECT_EQ(reader.Remaining(), c.file.size()) << c.what;
    }
}

}  // namespace
}  // namespace vox
