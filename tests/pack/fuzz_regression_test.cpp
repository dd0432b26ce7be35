// Inputs the fuzzers found, kept so that the faults they showed stay fixed.
#include <gtest/gtest.h>

#include <string>

#include "pack/descriptionreader.h"
#include "pack/descriptionwriter.h"

namespace vox::pack {
namespace {

ByteSpan Bytes(const std::string& text) {
    return ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

const std::string kHead = "voxbench-unpacked 1\ntalk db.vox\n";  // lines 1 and 2

// A wave name starting with '#' was read with a quote inside it; the writer quoted the whole
// name, and the quote inside then ended it early: the written description did not read back.
TEST(DescriptionFuzzRegression, AQuoteInsideAWordIsRefusedWithItsLine) {
    PackDescription d;
    DescriptionError error;
    EXPECT_FALSE(ReadDescription(Bytes(kHead + "entry 0 ##-\"wav\x11uesnp\n"), d, error));
    EXPECT_EQ(error.line, 3);
    EXPECT_NE(error.message.find("double quote"), std::string::npos) << error.message;

    EXPECT_FALSE(ReadDescription(Bytes(kHead + "entry 0 a\"b.wav\n"), d, error));
    EXPECT_FALSE(ReadDescription(Bytes("voxbench-unpacked 1\ntalk my\"db.vox\n"), d, error));
    EXPECT_EQ(error.line, 2);
}

// Carriage returns left in a name lost one at each write and read (the line end took it); a
// NUL would end the name for whoever opens the file.
TEST(DescriptionFuzzRegression, AControlCharacterInALineIsRefusedWithItsLine) {
    PackDescription d;
    DescriptionError error;
    EXPECT_FALSE(ReadDescription(Bytes(kHead + "phrases phrases.csv\r\r\r\n"), d, error));
    EXPECT_EQ(error.line, 3);
    EXPECT_NE(error.message.find("control character"), std::string::npos) << error.message;
    EXPECT_FALSE(
        ReadDescription(Bytes(kHead + std::string("commnames comm\0x.csv\n", 21)), d, error));
    EXPECT_EQ(error.line, 3);
    // A line ending in CR LF is still an ordinary line end.
    EXPECT_TRUE(ReadDescription(Bytes("voxbench-unpacked 1\r\ntalk db.vox\r\n"), d, error))
        << error.message;
}

TEST(DescriptionFuzzRegression, QuotedWordsAndNamesStartingWithHashStillReadBack) {
    PackDescription d;
    DescriptionError error;
    ASSERT_TRUE(ReadDescription(Bytes(kHead + "entry 0 \"#1 take.wav\"\nfrag 0 0:0\n"), d, error))
        << error.message;
    ASSERT_EQ(d.entries.size(), 1u);
    EXPECT_EQ(d.entries[0].wave, "#1 take.wav");
    const std::string written = WriteDescription(d);
    PackDescription again;
    ASSERT_TRUE(ReadDescription(Bytes(written), again, error)) << error.message;
    EXPECT_EQ(WriteDescription(again), written);
}

}  // namespace
}  // namespace vox::pack
