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

// A failed search does not move the reader.
TEST(RiffReader, WhatIsNotThereIsNotFound) {
    RiffChunk riff;
    RiffChunk chunk;
    const Bytes afterRiff = {'R', 'I', 'F', 'F', 4,   0,   0, 0, 'F', 'O',
                             'R', 'M', 'a', 'b', 'c', 'd', 0, 0, 0,   0};
    RiffReader inside(afterRiff);
    ASSERT_TRUE(inside.Descend(riff, nullptr, kRiffId, kForm));
    EXPECT_FALSE(inside.Descend(chunk, &riff, kAbcd)) << "found outside its parent";
    const struct {
        const char* what;
        Bytes file;
        uint32_t id;
        uint32_t form;
    } cases[] = {
        {"another form type", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, kRiffId, kForm},
        {"too small for a form type",
         {'R', 'I', 'F', 'F', 2, 0, 0, 0, 'F', 'O', 'R', 'M'},
         kRiffId,
         kForm},
        {"a header cut short", {'a', 'b', 'c', 'd', 0, 0, 0}, kAbcd, 0},
        {"no bytes", {}, kAbcd, 0},
        {"a size that would wrap the offset",
         {'x', 'x', 'x', 'x', 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c', 'd', 0, 0, 0, 0},
         kAbcd,
         0},
    };
    for (const auto& c : cases) {
        RiffReader reader(c.file);
        EXPECT_FALSE(reader.Descend(chunk, nullptr, c.id, c.form)) << c.what;
        EXPECT_EQ(reader.Remaining(), c.file.size()) << c.what;
    }
    // Ascending out of a chunk that claims more than there is leaves nothing to read.
    const Bytes liar = {'a', 'b', 'c', 'd', 100, 0, 0, 0, 1};
    RiffReader reader(liar);
    ASSERT_TRUE(reader.Descend(chunk, nullptr, kAbcd));
    reader.Ascend(chunk);
    uint8_t byte = 0;
    EXPECT_EQ(reader.Read(&byte, 1), 0u);
}

}  // namespace
}  // namespace vox
