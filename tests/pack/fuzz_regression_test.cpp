// Inputs the fuzzers found, kept so that the faults they showed stay fixed.
#include <gtest/gtest.h>

#include <string>

#include "pack/descriptionreader.h"

namespace vox::pack {
namespace {

bool Read(const std::string& text, PackDescription& d, DescriptionError& error) {
    return ReadDescription(ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size()), d,
                           error);
}

const std::string kHead = "voxbench-unpacked 1\ntalk db.vox\n";  // lines 1 and 2

// A wave name starting with '#' was read with a quote inside it; the writer quoted the whole
// name, and the quote inside then ended it early: the written description did not read back.
// Carriage returns left in a name lost one at each write and read (the line end took it); a
// NUL would end the name for whoever opens the file.
TEST(DescriptionFuzzRegression, AQuoteOrAControlCharacterInsideAWordIsRefusedWithItsLine) {
    const struct {
        std::string text;
        int line;
        const char* words;
    } cases[] = {
        {kHead + "entry 0 ##-\"wav\x11uesnp\n", 3, "double quote"},
        {kHead + "entry 0 a\"b.wav\n", 3, "double quote"},
        {"voxbench-unpacked 1\ntalk my\"db.vox\n", 2, "double quote"},
        {kHead + "phrases phrases.csv\r\r\r\n", 3, "control character"},
        {kHead + std::string("commnames comm\0x.csv\n", 21), 3, "control character"},
    };
    for (const auto& c : cases) {
        PackDescription d;
        DescriptionError error;
        EXPECT_FALSE(Read(c.text, d, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_NE(error.message.find(c.words), std::string::npos) << error.message;
    }
}

}  // namespace
}  // namespace vox::pack
