// A description that reads well but does not hold together is refused with the line to fix.
#include "pack/descriptioncheck.h"

#include <gtest/gtest.h>

#include "pack/descriptionreader.h"

namespace vox::pack {
namespace {

DescriptionError Check(const std::string& body, bool& ok) {
    const std::string text = "voxbench-unpacked 1\ntalk db.vox\n" + body;
    PackDescription d;
    DescriptionError error;
    const ByteSpan bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!ReadDescription(bytes, d, error)) {
        ADD_FAILURE() << "does not read: " << error.line << ": " << error.message;
        ok = false;
        return error;
    }
    ok = CheckDescription(d, error);
    return error;
}

const std::string kValid =
    "entry 0 a.wav\n"     // 3
    "entry 2 b.wav\n"     // 4
    "frag 0 0:0 1:1\n"    // 5 (slot 1 is empty, which a fragment may name)
    "frag 1 0:2\n"        // 6
    "eval 0 1:0 2:1\n"    // 7
    "eval 1\n"            // 8
    "comm 0 : 0 1 -1\n";  // 9

TEST(DescriptionCheck, AcceptsADescriptionThatHoldsTogether) {
    bool ok = false;
    const DescriptionError error = Check(kValid, ok);
    EXPECT_TRUE(ok) << error.message;
}

struct Problem {
    std::string body;
    int line;
    std::string words;
};

class DescriptionCheckRefusal : public ::testing::TestWithParam<Problem> {};

TEST_P(DescriptionCheckRefusal, NamesTheLine) {
    bool ok = true;
    const DescriptionError error = Check(GetParam().body, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error.line, GetParam().line);
    EXPECT_NE(error.message.find(GetParam().words), std::string::npos) << error.message;
}

INSTANTIATE_TEST_SUITE_P(
    EveryRule, DescriptionCheckRefusal,
    ::testing::Values(
        Problem{"entry 1 a.wav\n", 0, "slot 0 must hold"},
        Problem{"slots 3\nentry 1 a.wav\n", 3, "slot 0 must hold"},
        Problem{"frag 0\n", 0, "slot 0 must hold"},
        Problem{"entry 0 a.wav\nentry 1,0 b.wav\n", 4,
                "slot 0 already belongs to the entry on line 3"},
        Problem{"slots 2\nentry 0 a.wav\nentry 2 b.wav\n", 5, "beyond the slot count 2"},
        Problem{"entry 0 a.wav\nfrag 0 3:1\n", 4, "names talk entry 1, which does not exist"},
        Problem{"entry 0 a.wav\nfrag 0\neval 0 1:1\n", 5, "names fragment 1, which does not exist"},
        Problem{"entry 0 a.wav\nfrag 0\neval 0 1:-1\n", 5, "fragment -1"},
        Problem{"entry 0 a.wav\nfrag 0\ncomm 0 : 0 1\n", 5, "names fragment 1"},
        Problem{"entry 0 a.wav\nfrag 0\neval 0\ncomm 0 : -1\n", 6, "names eval 1"},
        Problem{"entry 0 a.wav\ncomm 0 : 0\n", 4, "names fragment 0"},
        Problem{"entry 0 ../a.wav\n", 3, "does not lie inside the folder"},
        Problem{"entry 0 /etc/a.wav\n", 3, "does not lie inside"},
        Problem{"entry 0 waves//a.wav\n", 3, "does not lie inside"},
        Problem{"phrases ../p.csv\nentry 0 a.wav\n", 3, "cannot name a side file"},
        Problem{"phrases db.vox\nentry 0 a.wav\n", 3, "cannot name a side file"},
        Problem{"phrases p.csv\ncommnames p.csv\nentry 0 a.wav\n", 4, "must differ"}));

TEST(DescriptionCheck, TalkNameMustBeAPlainFileNameOfItsOwn) {
    for (const std::string name : {"a/b.vox", "..", "fragFile.bin", "commFile.bin"}) {
        PackDescription d;
        d.talkName = name;
        d.talkNameLine = 2;
        d.entries.push_back({{0}, "a.wav", false, 0, "", 0, 0, 0, 3});
        DescriptionError error;
        EXPECT_FALSE(CheckDescription(d, error)) << name;
        EXPECT_EQ(error.line, 2);
    }
}

}  // namespace
}  // namespace vox::pack
