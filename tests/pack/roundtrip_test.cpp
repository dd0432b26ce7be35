// unpack then pack gives back the database: tables byte for byte, every talk entry with its
// decodedSize and coded bytes, also for unusual but valid layouts, odd files and the history.
#include <gtest/gtest.h>

#include <algorithm>

#include "talkdata/talkhistory.h"
#include "talkdata/voxfile.h"
#include "tests/pack/packfixtures.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

// The entry at offset: decodedSize, codedSize and coded bytes; empty where no whole entry lies.
Bytes EntryAt(const Bytes& talk, uint32_t offset, bool dropped = false) {
    if (dropped || !VoxFile::IsEntryAt(talk, offset)) return {};
    return {talk.begin() + offset, talk.begin() + offset + 8 + ReadU32(talk.data() + offset + 4)};
}

uint32_t SlotAt(const Bytes& talk, uint32_t slot) { return ReadU32(talk.data() + 12 + 4 * slot); }

// The same header and slot count, every slot the same entry or none, and slots sharing an entry
// where they did.
void ExpectSameEntries(const Bytes& a, const Bytes& b) {
    const uint32_t slots = VoxFile::SlotCount(a);
    ASSERT_EQ(VoxFile::SlotCount(b), slots);
    EXPECT_TRUE(std::equal(a.begin(), a.begin() + 12, b.begin())) << "header";
    for (uint32_t s = 0; s < slots; ++s) {
        const Bytes entry = EntryAt(a, SlotAt(a, s));
        EXPECT_EQ(EntryAt(b, SlotAt(b, s)), entry) << "slot " << s;
        if (entry.empty()) {
            EXPECT_EQ(SlotAt(b, s), 0u) << "slot " << s;
        }
        for (uint32_t t = 0; t < s; ++t)
            EXPECT_EQ(SlotAt(a, s) == SlotAt(a, t), SlotAt(b, s) == SlotAt(b, t)) << t << "," << s;
    }
}

// Files that are odd but readable: record numbers apart from the position, bytes no entry
// owns, coded bytes that do not decode (kept), a slot pointing outside the file (described as
// empty) and a comm whose Elements byte claims entries beyond the end of the file (the
// workbench reads them as fragment 0). Unpack says what it found; pack gives the entries back.
TEST_F(PackTest, OddFilesComeBackWithANote) {
    DatabaseBuilder db;
    db.AddEntry(640, CodedSine(400, 320));
    db.AddUnreferencedBytes(Bytes(37, 0xAB));
    db.AddEntry(960, CodedSine(600, 480));
    db.AddSharedSlot(1);
    db.AddEntry(640, {1, 2, 3, 4});
    db.AddEntry(640, CodedSine(500, 320));  // slot 4, made to point outside
    db.AddFragment({{0, 0}, {1, 1}, {2, 2}, {3, 3}});
    db.AddFragment({{1, 0}});
    db.AddEval({{1, 1}});
    db.AddComm({.entries = {}, .elementsOverride = 2});
    const std::string path = db.WriteTo(original_.Path());
    const auto patch = [this](const char* file, std::vector<std::pair<size_t, uint8_t>> bytes) {
        Bytes contents = ReadFileBytes(original_.File(file));
        for (const auto& [at, value] : bytes) contents[at] = value;
        WriteFileBytes(original_.File(file), contents);
    };
    // fragment 0's number field 0x1234, fragment 1's 0, eval 0's 0xFFFF
    patch("fragFile.bin", {{0, 0x34}, {1, 0x12}, {8, 0}});
    patch("evalFile.bin", {{0, 0xFF}, {1, 0xFF}});
    patch("speech.vox", {{28, 0xF0}, {29, 0xFF}, {30, 0xFF}, {31, 0x7F}});
    std::string error;
    ASSERT_TRUE(Unpack(In(), error) && Pack(In(), Out(), error)) << error;
    const Bytes talk = ReadFileBytes(path);
    const Bytes packed = ReadFileBytes(Out() + "/speech.vox");
    ExpectSameEntries(talk, packed);
    // the 37 bytes, and slot 4's entry: 8 bytes of fields and 40 coded
    EXPECT_EQ(packed.size() + 85, talk.size());
    for (const char* table : {"fragFile.bin", "evalFile.bin"})
        EXPECT_EQ(ReadFileBytes(original_.File(table)), ReadFileBytes(Out() + "/" + table));
    for (const char* note : {"slot 4 points at offset 2147483632", "85 bytes belong to no entry",
                             "do not decode", "commFile.bin: not in the regular layout"})
        EXPECT_NE(notes_.find(note), std::string::npos) << notes_;
    EXPECT_EQ(std::count(notes_.begin(), notes_.end(), '\n'), 4) << notes_;
    for (const char* line :
         {"frag 0 number=4660 0:0 1:1 2:2 3:3\nfrag 1 number=0 1:0", "eval 0 number=65535 1:1",
          "comm 0 priority=0 position=0 bullseye=0 warp=0 evals=0 : 0 0"})
        EXPECT_NE(ReadText(In() + "/database.txt").find(line), std::string::npos) << line;
}

// What pack could not take is said at unpack time: a description pack would refuse with the
// line to fix, and a slot 0 without an entry (the directory would have no end) is refused.
TEST_F(PackTest, UnpackWarnsOfOrRefusesWhatPackWouldNotTake) {
    DatabaseBuilder db;
    db.AddEntry(640, CodedSine(400, 320));
    db.AddFragment({{0, 0}});
    db.AddEval({{1, 5}});  // fragment 5 does not exist
    const std::string talk = db.WriteTo(original_.Path());
    std::string error;
    ASSERT_TRUE(Unpack(In(), error)) << error;
    EXPECT_NE(notes_.find("database.txt:"), std::string::npos);
    EXPECT_NE(notes_.find("names fragment 5, which does not exist (pack refuses"),
              std::string::npos)
        << notes_;
    Bytes bytes = ReadFileBytes(talk);
    WriteU32(bytes.data() + 12, 100000);  // slot 0 points beyond the end
    WriteFileBytes(talk, bytes);
    EXPECT_FALSE(Unpack(Out(), error));
    EXPECT_NE(error.find("slot 0"), std::string::npos);
    EXPECT_FALSE(FileExists(Out()));
}

// Three replaces of one voice and a revert to the first of them, through voxtool as a user
// makes them, and a line naming an offset where no entry lies: the history's lines and every
// take's bytes come back, that offset as a dropped take.
TEST_F(PackTest, HistoryAndEarlierTakesComeBack) {
    DatabaseBuilder db;
    db.AddEntry(640, CodedSine(400, 320));
    db.AddEntry(960, CodedSine(600, 480));
    db.AddFragment({{0, 0}, {1, 1}});
    const std::string talk = db.WriteTo(original_.Path());
    TempDir config;
    for (const int hz : {300, 500, 700}) {
        const std::string wave = work_.File(std::to_string(hz) + ".wav");
        WriteSpeechWave(wave, SinePcm(hz, 800));
        ASSERT_EQ(RunVoxtool({"replace", talk, "0", "1", wave}, config.Path()).status, 0);
    }
    ASSERT_EQ(RunVoxtool({"revert", talk, "0", "1", "--to", "2"}, config.Path()).status, 0);
    HistoryLine stray;
    stray.time = "2026-12-07T15:38:15Z";
    stray.kind = "replace";
    stray.oldOffset = 7;
    stray.newOffset = SlotAt(ReadFileBytes(talk), 0);
    ASSERT_TRUE(AppendHistory(talk, {stray}));
    std::string error;
    ASSERT_TRUE(Unpack(In(), error) && Pack(In(), Out(), error)) << error;
    EXPECT_NE(notes_.find("no whole entry lies at offset 7"), std::string::npos) << notes_;

    History before, after;
    ASSERT_TRUE(ReadHistory(talk, before));
    ASSERT_TRUE(ReadHistory(Out() + "/speech.vox", after));
    ASSERT_EQ(before.lines.size(), 5u);
    ASSERT_EQ(after.lines.size(), 5u);
    const Bytes a = ReadFileBytes(talk);
    const Bytes b = ReadFileBytes(Out() + "/speech.vox");
    EXPECT_EQ(after.lines.back().oldOffset, 7u);
    for (size_t i = 0; i < 5; ++i) {
        HistoryLine x = before.lines[i];
        const HistoryLine& y = after.lines[i];
        EXPECT_EQ(EntryAt(a, x.oldOffset), EntryAt(b, y.oldOffset, y.oldDropped)) << i;
        EXPECT_EQ(EntryAt(a, x.newOffset), EntryAt(b, y.newOffset)) << i;
        // The rest of the line is the same; a take with no entry behind it is now marked dropped.
        x.oldDropped = EntryAt(a, x.oldOffset).empty();
        std::tie(x.oldOffset, x.newOffset) = std::tie(y.oldOffset, y.newOffset);
        EXPECT_EQ(HistoryLineText(x), HistoryLineText(y)) << i;
    }
    ExpectSameEntries(a, b);
}

}  // namespace
}  // namespace vox::test
