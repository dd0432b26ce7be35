#include "audio/riff.h"

#include <gtest/gtest.h>

#include <vector>

namespace vox {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kAbcd = MakeFourCC("abcd");
constexpr uint32_t kEfgh = MakeFourCC("efgh");
constexpr uint32_t kForm = MakeFourCC("FORM");

TEST(RiffWriter, NestedChunksGetTheirSizesAndOddOnesAPadByte) {
    RiffWriter writer;
    RiffChunk riff;
    RiffChunk odd;
    RiffChunk even;
    writer.CreateChunk(riff, kRiffId, kForm);
    writer.CreateChunk(odd, kAbcd);
    const uint8_t three[] = {1, 2, 3};
    writer.Write(three, 3);
    ASSERT_TRUE(writer.Ascend(odd));
    writer.CreateChunk(even, kEfgh);
    ASSERT_TRUE(writer.Ascend(even));
    ASSERT_TRUE(writer.Ascend(riff));
    // clang-format off
    const Bytes expected = {
        'R', 'I', 'F', 'F', 24, 0, 0, 0,  // size: form type + 12 + 8
        'F', 'O', 'R', 'M',               // form type
        'a', 'b', 'c', 'd', 3, 0, 0, 0,   // odd chunk: size 3 ...
        1, 2, 3, 0,                       // ... its bytes and the pad byte
        'e', 'f', 'g', 'h', 0, 0, 0, 0,   // empty chunk
    };
    // clang-format on
    EXPECT_EQ(writer.Bytes(), expected);
}

TEST(RiffReader, DescendSkipsOtherChunksAndTheirPadBytes) {
    // clang-format off
    const Bytes file = {
        'R', 'I', 'F', 'F', 36, 0, 0, 0, 'F', 'O', 'R', 'M',
        'x', 'x', 'x', 'x', 1, 0, 0, 0, 9, 0,                 // odd, padded
        'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O',   // a list to skip
        'e', 'f', 'g', 'h', 2, 0, 0, 0, 7, 8,                 // the one we want
    };
    // clang-format on
    RiffReader reader(file);
    RiffChunk riff;
    RiffChunk chunk;
    ASSERT_TRUE(reader.Descend(riff, nullptr, kRiffId, kForm));
    EXPECT_EQ(riff.size, 36u);
    ASSERT_TRUE(reader.Descend(chunk, &riff, kEfgh));
    EXPECT_EQ(chunk.size, 2u);
    EXPECT_EQ(chunk.dataOffset, 42u);
    uint8_t data[4] = {};
    EXPECT_EQ(reader.Read(data, 4), 2u) << "reads stop at the end of the input";
    EXPECT_EQ(data[0], 7);
    EXPECT_EQ(data[1], 8);
}

TEST(RiffReader, DescendIntoAListByItsFormType) {
    // clang-format off
    const Bytes file = {
        'L', 'I', 'S', 'T', 4, 0, 0, 0, 'A', 'A', 'A', 'A',
        'L', 'I', 'S', 'T', 12, 0, 0, 0, 'B', 'B', 'B', 'B', 'a', 'b', 'c', 'd', 0, 0, 0, 0,
    };
    // clang-format on
    RiffReader reader(file);
    RiffChunk list;
    RiffChunk inner;
    ASSERT_TRUE(reader.Descend(list, nullptr, kListId, MakeFourCC("BBBB")));
    EXPECT_EQ(list.dataOffset, 20u);
    ASSERT_TRUE(reader.Descend(inner, &list, kAbcd));
    EXPECT_EQ(inner.size, 0u);
}

// A failed search does not move the reader.
TEST(RiffReader, WhatIsNotThereIsNotFound) {
    // clang-format off
    const Bytes afterRiff = {
        'R', 'I', 'F', 'F', 12, 0, 0, 0, 'F', 'O', 'R', 'M',
        'x', 'x', 'x', 'x', 0, 0, 0, 0,
        'a', 'b', 'c', 'd', 0, 0, 0, 0,  // after the RIFF chunk: not inside it
    };
    const Bytes huge = {  // a size that would wrap the offset
        'x', 'x', 'x', 'x', 0xFF, 0xFF, 0xFF, 0xFF,
        'a', 'b', 'c', 'd', 0, 0, 0, 0,
    };
    // clang-format on
    RiffChunk riff;
    RiffChunk chunk;
    RiffReader inside(afterRiff);
    ASSERT_TRUE(inside.Descend(riff, nullptr, kRiffId, kForm));
    EXPECT_FALSE(inside.Descend(chunk, &riff, kAbcd));
    const struct {
        const char* what;
        Bytes file;
        uint32_t id;
        uint32_t form;
    } cases[] = {
        {"another form type", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, kRiffId, kForm},
        {"too small for its form type",
         {'R', 'I', 'F', 'F', 2, 0, 0, 0, 'F', 'O', 'R', 'M'},
         kRiffId,
         kForm},
        {"a header cut short", {'a', 'b', 'c', 'd', 0, 0, 0}, kAbcd, 0},
        {"no bytes", {}, kAbcd, 0},
        {"a huge size before it", huge, kAbcd, 0},
    };
    for (const auto& c : cases) {
        RiffReader reader(c.file);
        EXPECT_FALSE(reader.Descend(chunk, nullptr, c.id, c.form)) << c.what;
        EXPECT_EQ(reader.Remaining(), c.file.size()) << c.what;
    }
}

TEST(RiffReader, AscendMovesPastThePadByte) {
    const Bytes file = {'a', 'b', 'c', 'd', 1, 0, 0, 0, 5, 0, 'e', 'f', 'g', 'h', 0, 0, 0, 0};
    RiffReader reader(file);
    RiffChunk first;
    RiffChunk second;
    ASSERT_TRUE(reader.Descend(first, nullptr, kAbcd));
    reader.Ascend(first);
    EXPECT_EQ(reader.Remaining(), 8u);
    ASSERT_TRUE(reader.Descend(second, nullptr, kEfgh));
    // Ascending out of a chunk that claims more than there is leaves nothing to read.
    const Bytes liar = {'a', 'b', 'c', 'd', 100, 0, 0, 0, 1};
    RiffReader r2(liar);
    ASSERT_TRUE(r2.Descend(first, nullptr, kAbcd));
    r2.Ascend(first);
    EXPECT_EQ(r2.Remaining(), 0u);
    uint8_t b = 0;
    EXPECT_EQ(r2.Read(&b, 1), 0u);
}

}  // namespace
}  // namespace vox
