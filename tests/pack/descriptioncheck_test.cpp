// A description that reads well but does not hold together is refused with the line to fix.
#include "pack/descriptioncheck.h"

#include <gtest/gtest.h>

#include "pack/descriptionreader.h"

namespace vox::pack {
namespace {

TEST(DescriptionCheck, RefusesWhatDoesNotHoldTogetherWithItsLine) {
    const struct {
        std::string body;  // after the version line and the talk line (line 2)
        int line;          // -1: accepted
        std::string words;
        std::string talk = "db.vox";
    } cases[] = {
        {"entry 0 a.wav\n"     // 3
         "entry 2 b.wav\n"     // 4
         "frag 0 0:0 1:1\n"    // 5 (slot 1 is empty, which a fragment may name)
         "frag 1 0:2\n"        // 6
         "eval 0 1:0 2:1\n"    // 7
         "eval 1\n"            // 8
         "comm 0 : 0 1 -1\n",  // 9
         -1, ""},
        {"entry 1 a.wav\n", 0, "slot 0 must hold"},
        {"slots 3\nentry 1 a.wav\n", 3, "slot 0 must hold"},
        {"frag 0\n", 0, "slot 0 must hold"},
        {"entry 0 a.wav\nentry 1,0 b.wav\n", 4, "slot 0 already belongs to the entry on line 3"},
        {"slots 2\nentry 0 a.wav\nentry 2 b.wav\n", 5, "beyond the slot count 2"},
        {"entry 0 a.wav\nfrag 0 3:1\n", 4, "names talk entry 1, which does not exist"},
        {"entry 0 a.wav\nfrag 0\neval 0 1:1\n", 5, "names fragment 1, which does not exist"},
        {"entry 0 a.wav\nfrag 0\neval 0 1:-1\n", 5, "fragment -1"},
        {"entry 0 a.wav\nfrag 0\ncomm 0 : 0 1\n", 5, "names fragment 1"},
        {"entry 0 a.wav\nfrag 0\neval 0\ncomm 0 : -1\n", 6, "names eval 1"},
        {"entry 0 a.wav\ncomm 0 : 0\n", 4, "names fragment 0"},
        {"entry 0 ../a.wav\n", 3, "does not lie inside the folder"},
        {"entry 0 /etc/a.wav\n", 3, "does not lie inside"},
        {"entry 0 waves//a.wav\n", 3, "does not lie inside"},
        {"phrases ../p.csv\nentry 0 a.wav\n", 3, "cannot name a side file"},
        {"phrases db.vox\nentry 0 a.wav\n", 3, "cannot name a side file"},
        {"phrases p.csv\ncommnames p.csv\nentry 0 a.wav\n", 4, "must differ"},
        {"entry 0 a.wav\n", 2, "cannot name the talk file", "a/b.vox"},
        {"entry 0 a.wav\n", 2, "cannot name the talk file", ".."},
        {"entry 0 a.wav\n", 2, "cannot name the talk file", "fragFile.bin"},
        {"entry 0 a.wav\n", 2, "cannot name the talk file", "commFile.bin"},
        {"entry 0 a.wav\n", 2, "its temporary copy", "db.vox$"},
    };
    for (const auto& c : cases) {
        const std::string text = "voxbench-unpacked 1\ntalk " + c.talk + "\n" + c.body;
        PackDescription d;
        DescriptionError error;
        ASSERT_TRUE(ReadDescription(
            ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size()), d, error))
            << text << error.message;
        EXPECT_EQ(CheckDescription(d, error), c.line < 0) << text;
        EXPECT_EQ(error.line, c.line < 0 ? 0 : c.line) << text;
        EXPECT_NE(error.message.find(c.words), std::string::npos) << error.message;
    }
}

}  // namespace
}  // namespace vox::pack
