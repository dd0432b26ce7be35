// The description reader: what it accepts, every refusal with its line, and the writer's text
// reading back to the same content.
#include "pack/descriptionreader.h"

#include <gtest/gtest.h>

#include "pack/descriptionwriter.h"

namespace vox::pack {
namespace {

ByteSpan Bytes(const std::string& text) {
    return ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

struct Parsed {
    bool ok;
    PackDescription d;
    DescriptionError error;
};

Parsed Parse(const std::string& text) {
    Parsed p{};
    p.ok = ReadDescription(Bytes(text), p.d, p.error);
    return p;
}

const std::string kHead = "voxbench-unpacked 1\ntalk db.vox\n";  // lines 1 and 2

TEST(DescriptionReader, ReadsEveryStatement) {
    const Parsed p = Parse(
        "# a comment\n"
        "voxbench-unpacked 1\r\n"
        "talk \"my db.vox\"\n"
        "header 0102030405060708090a0B0c\n"
        "slots 5\n"
        "phrases p.csv\n"
        "commnames c.csv\n"
        "\n"
        "entry 0,3 waves/a.wav decoded=640 coded=10+4 pcm=00000000000000ff\n"
        "entry 1 \"waves/new one.wav\"\n"
        "   # an indented comment\n"
        "frag 0 number=7 5:1 0:0\n"
        "frag 1\n"
        "eval 0 9:1 -3:0\n"
        "comm 0 reserved=2 warp=-5 priority=255 position=4 bullseye=-32768 evals=1 : 0 -0 1\n"
        "comm 1\n");
    ASSERT_TRUE(p.ok) << p.error.line << ": " << p.error.message;
    EXPECT_EQ(p.d.talkName, "my db.vox");
    EXPECT_EQ(p.d.header[0], 1);
    EXPECT_EQ(p.d.header[11], 0x0c);
    EXPECT_EQ(p.d.slotCount, 5);
    EXPECT_EQ(p.d.phrasesFile, "p.csv");
    EXPECT_EQ(p.d.commNamesFile, "c.csv");
    ASSERT_EQ(p.d.entries.size(), 2u);
    EXPECT_EQ(p.d.entries[0].slots, (std::vector<int>{0, 3}));
    EXPECT_TRUE(p.d.entries[0].hasCoded);
    EXPECT_EQ(p.d.entries[0].decodedSize, 640u);
    EXPECT_EQ(p.d.entries[0].codedOffset, 10u);
    EXPECT_EQ(p.d.entries[0].codedSize, 4u);
    EXPECT_EQ(p.d.entries[0].pcmHash, 0xffu);
    EXPECT_EQ(p.d.entries[0].line, 9);
    EXPECT_EQ(p.d.entries[1].wave, "waves/new one.wav");
    EXPECT_FALSE(p.d.entries[1].hasCoded);
    ASSERT_EQ(p.d.frags.size(), 2u);
    EXPECT_EQ(p.d.frags[0].number, 7);
    ASSERT_EQ(p.d.frags[0].voices.size(), 2u);
    EXPECT_EQ(p.d.frags[0].voices[0].voice, 5);  // kept as written; the table writer sorts
    EXPECT_EQ(p.d.frags[1].number, 1);           // number defaults to the position
    EXPECT_EQ(p.d.evals[0].alternatives[1].index, -3);
    ASSERT_EQ(p.d.comms.size(), 2u);
    EXPECT_EQ(p.d.comms[0].reserved, 2);
    EXPECT_EQ(p.d.comms[0].warp, -5);
    EXPECT_EQ(p.d.comms[0].bullseye, -32768);
    EXPECT_EQ(p.d.comms[0].entries, (std::vector<int>{0, 0, 1}));
    EXPECT_TRUE(p.d.comms[1].entries.empty());
}

TEST(DescriptionReader, SlotCountDefaultsToOneBeyondTheHighestSlotNamed) {
    const Parsed p = Parse(kHead + "entry 4,2 a.wav\nentry 0 b.wav\n");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.d.EffectiveSlotCount(), 5);
}

struct Refusal {
    std::string body;  // after the two head lines
    int line;
    std::string words;  // part of the message
};

class DescriptionReaderRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(DescriptionReaderRefusal, NamesTheLineAndTheReason) {
    const Refusal& r = GetParam();
    const Parsed p = Parse(kHead + r.body);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error.line, r.line);
    EXPECT_NE(p.error.message.find(r.words), std::string::npos) << p.error.message;
}

INSTANTIATE_TEST_SUITE_P(
    EveryRule, DescriptionReaderRefusal,
    ::testing::Values(
        Refusal{"bogus 1\n", 3, "unknown statement"},
        Refusal{"talk other.vox\n", 3, "given twice (first on line 2)"},
        Refusal{"voxbench-unpacked 1\n", 3, "given twice"},
        Refusal{"header 0102\n", 3, "24 hexadecimal digits"},
        Refusal{"header 0102030405060708090a0bzz\n", 3, "24 hexadecimal digits"},
        Refusal{"slots 0\n", 3, "does not fit"}, Refusal{"slots 32769\n", 3, "does not fit"},
        Refusal{"slots 5 6\n", 3, "slots COUNT"}, Refusal{"entry 0\n", 3, "expected 'entry"},
        Refusal{"entry 0,0 a.wav\n", 3, "named twice"},
        Refusal{"entry 32768 a.wav\n", 3, "does not fit"},
        Refusal{"entry 1,x a.wav\n", 3, "not a whole number"},
        Refusal{"entry 0 a.wav decoded=5\n", 3, "must be given together"},
        Refusal{"entry 0 a.wav decoded=1 coded=0+1 pcm=0000000000000000 decoded=1\n", 3,
                "repeated field"},
        Refusal{"entry 0 a.wav decoded=1 coded=01 pcm=0000000000000000\n", 3, "OFFSET+LENGTH"},
        Refusal{"entry 0 a.wav decoded=4294967296 coded=0+1 pcm=0000000000000000\n", 3,
                "does not fit"},
        Refusal{"entry 0 a.wav decoded=1 coded=0+1 pcm=ABCDEF0000000000\n", 3, "hexadecimal"},
        Refusal{"entry 0 \"a.wav\n", 3, "not closed"},
        Refusal{"frag 1\n", 3, "expected fragment 0"},
        Refusal{"frag 0\nfrag 0\n", 4, "out of sequence"},
        Refusal{"frag 0 14:0\n", 3, "voice: 14 does not fit"},
        Refusal{"frag 0 -1:0\n", 3, "voice: -1 does not fit"},
        Refusal{"frag 0 3:1 3:2\n", 3, "voice 3 is given twice"},
        Refusal{"frag 0 3:32768\n", 3, "talk entry: 32768 does not fit"},
        Refusal{"frag 0 3=1\n", 3, "VOICE:ENTRY"},
        Refusal{"frag 0 number=65536\n", 3, "does not fit"},
        Refusal{"eval 0 32768:1\n", 3, "index: 32768 does not fit"},
        Refusal{"eval 0 1:-32769\n", 3, "does not fit"}, Refusal{"eval 2\n", 3, "expected eval 0"},
        Refusal{"comm 0 priority=256\n", 3, "priority: 256 does not fit"},
        Refusal{"comm 0 warp=32768\n", 3, "warp"}, Refusal{"comm 0 evals=-1\n", 3, "evals"},
        Refusal{"comm 0 colour=3\n", 3, "unknown comm field"},
        Refusal{"comm 0 warp=1 warp=2\n", 3, "given twice"},
        Refusal{"comm 0 : 1 x\n", 3, "not a whole number"},
        Refusal{"comm 0 : 99999\n", 3, "does not fit"}));

TEST(DescriptionReader, RefusesAFileWithoutVersionOrTalk) {
    Parsed p = Parse("talk a.vox\n");
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error.line, 1);
    p = Parse("voxbench-unpacked 3\n");
    EXPECT_FALSE(p.ok);
    EXPECT_NE(p.error.message.find("version 3 is not known"), std::string::npos);
    p = Parse("voxbench-unpacked 1\nentry 0 a.wav\n");
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error.line, 0);
    EXPECT_NE(p.error.message.find("talk"), std::string::npos);
    p = Parse("");
    EXPECT_FALSE(p.ok);
}

TEST(DescriptionReader, ACommHoldsAtMost255Entries) {
    std::string entries;
    for (int i = 0; i < 255; ++i) entries += " 0";
    EXPECT_TRUE(Parse(kHead + "comm 0 :" + entries + "\n").ok);
    const Parsed p = Parse(kHead + "comm 0 :" + entries + " 0\n");
    EXPECT_FALSE(p.ok);
    EXPECT_NE(p.error.message.find("at most 255"), std::string::npos);
}

PackDescription Sample() {
    PackDescription d;
    d.talkName = "with blank.vox";
    d.header = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 255};
    d.slotCount = 12;  // beyond the highest slot an entry names, so it is written
    d.phrasesFile = "phrases.csv";
    d.commNamesFile = "#names.csv";
    d.entries.push_back({{0, 4},
                         "waves/f0000-v00.wav",
                         true,
                         77,
                         "waves/f0000-v00.coded",
                         0,
                         20,
                         0xfedcba9876543210ull,
                         0});
    d.entries.push_back({{8}, "waves/new file.wav", false, 0, "", 0, 0, 0, 0});
    d.frags.push_back({0, 300, {{0, 0}, {13, 8}}, 0});
    d.frags.push_back({1, 1, {}, 0});
    d.evals.push_back({0, 0, {{5, 1}, {-32768, 0}}, 0});
    d.comms.push_back({0, 65535, -32768, 255, 0, 32767, 255, {0, -0, 1, 0}, 0});
    return d;
}

TEST(DescriptionWriter, TextReadsBackToTheSameContent) {
    const PackDescription d = Sample();
    const Parsed p = Parse(WriteDescription(d));
    ASSERT_TRUE(p.ok) << p.error.line << ": " << p.error.message;
    EXPECT_EQ(p.d.talkName, d.talkName);
    EXPECT_EQ(p.d.header, d.header);
    EXPECT_EQ(p.d.slotCount, d.slotCount);
    EXPECT_EQ(p.d.commNamesFile, d.commNamesFile);
    ASSERT_EQ(p.d.entries.size(), 2u);
    EXPECT_EQ(p.d.entries[0].slots, d.entries[0].slots);
    EXPECT_EQ(p.d.entries[0].pcmHash, d.entries[0].pcmHash);
    EXPECT_EQ(p.d.entries[0].decodedSize, 77u);
    EXPECT_EQ(p.d.entries[0].codedFile, "waves/f0000-v00.coded");
    EXPECT_EQ(p.d.entries[1].wave, "waves/new file.wav");
    EXPECT_FALSE(p.d.entries[1].hasCoded);
    EXPECT_EQ(p.d.frags[0].number, 300);
    EXPECT_EQ(p.d.frags[0].voices[1].voxIndex, 8);
    EXPECT_EQ(p.d.evals[0].alternatives[1].index, -32768);
    EXPECT_EQ(p.d.comms[0].reserved, 65535);
    EXPECT_EQ(p.d.comms[0].evals, 255);
    EXPECT_EQ(p.d.comms[0].entries, d.comms[0].entries);
    // And the text is a fixed point.
    EXPECT_EQ(WriteDescription(p.d), WriteDescription(d));
}

}  // namespace
}  // namespace vox::pack
