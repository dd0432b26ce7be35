// The talk file: its directory, the in-place replace, the rewrites, the journal that makes a
// batch of slots all or nothing (its bytes, its refusal of anything but a whole journal, and its
// completion by the next writer), and its history file: the lines byte for byte, malformed
// lines, the append after a cut, and the takes a voice has had. The fuzz targets check that no
// cut or damaged history line is ever made up.
#include "talkdata/voxfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "talkdata/mappedfile.h"
#include "talkdata/safefile.h"
#include "talkdata/slotjournal.h"
#include "talkdata/talkhistory.h"
#include "tests/support/tempdir.h"

namespace vox::test {
namespace {

// A talk file with three slots; slot 1 is absent.
const Bytes kTalk = {
    'V', 'X', 'H', 'D', 1, 2, 3, 4, 0,    0,    0,    0,  // header (12 bytes)
    24,  0,   0,   0,                                     // slot 0 -> 24: the directory ends there
    0,   0,   0,   0,                                     // slot 1: absent
    36,  0,   0,   0,                                     // slot 2 -> 36
    100, 0,   0,   0,   4, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD,  // 24: entry 0, decoded 100, coded 4
    200, 0,   0,   0,   2, 0, 0, 0, 0x11, 0x22,              // 36: entry 2; file size 46
};

// Collects what a rewrite produces.
struct BufferSink : ByteSink {
    bool Write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        written.insert(written.end(), bytes, bytes + size);
        return true;
    }
    Bytes written;
};

Bytes TalkWithSlotZero(uint32_t slot0, size_t size = 16) {
    Bytes talk(size, 0);
    WriteU32(talk.data() + 12, slot0);
    return talk;
}

TEST(VoxFile, TheDirectoryEndsAtSlotZero) {
    const std::pair<uint32_t, uint32_t> counts[] = {{0, 0},  {12, 0}, {13, 1},
                                                    {16, 1}, {17, 2}, {0xFFFFFFFF, 1073741821}};
    for (const auto& [slot0, count] : counts) {
        EXPECT_EQ(VoxFile::SlotCount(TalkWithSlotZero(slot0)), count) << slot0;
    }
    EXPECT_EQ(VoxFile::SlotCount(Bytes(15, 0x40)), 0u);
    std::string why;
    EXPECT_TRUE(VoxFile::HasWellFormedDirectory(TalkWithSlotZero(16, 17)));
    EXPECT_FALSE(VoxFile::HasWellFormedDirectory(TalkWithSlotZero(12, 40), &why));
    EXPECT_NE(why.find("not 12 plus a multiple of 4"), std::string::npos) << why;
    EXPECT_FALSE(VoxFile::HasWellFormedDirectory(TalkWithSlotZero(20, 20), &why));
    EXPECT_EQ(why, "slot 0 (20) lies beyond the end of the talk file (20 bytes)");
}

TEST(VoxFile, AReplaceAppendsOneBlockAndRepointsOnlyASlotOfTheDirectory) {
    TempDir folder;
    const std::string path = folder.File("talk.vox");
    WriteFileBytes(path, kTalk);
    MappedFile file;
    const uint8_t coded[3] = {1, 2, 3};
    ASSERT_TRUE(file.Open(path, 1));
    for (int voxIndex : {0, -1, 3, 4, 1000}) {
        EXPECT_FALSE(VoxFile::ReplaceEntry(file, voxIndex, coded, 3, 300)) << voxIndex;
    }
    EXPECT_FALSE(VoxFile::ReplaceEntry(file, 2, nullptr, 3, 300));
    *file.At(12) = 22;  // slot 0 -> 22: slot 2 (20..23) reaches into the first entry
    EXPECT_FALSE(VoxFile::ReplaceEntry(file, 2, coded, 3, 300));
    *file.At(12) = 24;
    EXPECT_EQ(ReadFileBytes(path), kTalk);

    std::string why;
    ASSERT_TRUE(VoxFile::ReplaceEntry(file, 2, coded, 3, 300, &why)) << why;
    file.Close();
    Bytes expected = kTalk;
    expected[20] = 46;  // slot 2 -> the appended block: decoded 300, coded 3
    expected.insert(expected.end(), {44, 1, 0, 0, 3, 0, 0, 0, 1, 2, 3});
    EXPECT_EQ(ReadFileBytes(path), expected);
}

// Slot 0 marks the directory's end, so its new entry goes right behind the directory and every
// other entry moves; other slots of the same batch get entries at the end of the new file. Slot 0
// re-pointed at an entry already in the file (an undo, a revert): the entry moves behind the
// directory, what lay in front of it moves back by its size, the file keeps its size.
TEST(VoxFileRewrite, ANewOrMovedFirstEntryGoesBehindTheDirectoryAndTakesItsSlotsWithIt) {
    const uint8_t first[2] = {7, 8};
    const uint8_t other[1] = {9};
    BufferSink out;
    ASSERT_TRUE(
        VoxFile::WriteWithNewFirstEntry(kTalk, {0, 50, first, 2}, {{2, 60, other, 1}}, out));
    Bytes expected(kTalk.begin(), kTalk.begin() + 12);
    // Slot 0 -> the new entry at 24, slot 1 stays absent, slot 2 -> its new entry at 56.
    expected.insert(expected.end(), {24, 0, 0, 0, 0, 0, 0, 0, 56, 0, 0, 0});
    expected.insert(expected.end(), {50, 0, 0, 0, 2, 0, 0, 0, 7, 8});
    expected.insert(expected.end(), kTalk.begin() + 24, kTalk.end());  // old entries at 34..55
    expected.insert(expected.end(), {60, 0, 0, 0, 1, 0, 0, 0, 9});     // 56: new entry 2
    EXPECT_EQ(out.written, expected);
    std::string why;
    EXPECT_FALSE(
        VoxFile::WriteWithNewFirstEntry(kTalk, {0, 50, first, 2}, {{5, 1, other, 1}}, out, &why));
    EXPECT_EQ(why, "voxIndex 5 is not a slot that can be replaced in place");

    Bytes talk = kTalk;
    talk.insert(talk.end(), {50, 0, 0, 0, 1, 0, 0, 0, 0x77});  // 46: an earlier take
    BufferSink moved;
    ASSERT_TRUE(VoxFile::WriteWithEntryFirst(talk, 46, moved, &why)) << why;
    expected.assign(kTalk.begin(), kTalk.begin() + 12);
    expected.insert(expected.end(), {24, 0, 0, 0, 0, 0, 0, 0, 45, 0, 0, 0});  // slot 2: 36 + 9
    expected.insert(expected.end(), talk.begin() + 46, talk.end());
    expected.insert(expected.end(), kTalk.begin() + 24, kTalk.end());
    EXPECT_EQ(moved.written, expected);
    EXPECT_FALSE(VoxFile::WriteWithEntryFirst(talk, 24, moved, &why));
    EXPECT_EQ(why, "the entry is the first one already");
}

// A new slot moves every offset by four. A fragment holds a voxIndex of 16 bits and the talk
// file's offsets are 32 bits: a new slot past either is refused before anything is written. The
// fuzz target checks the same for a directory that is not well formed.
TEST(VoxFileRewrite, ANewSlotMovesEveryOffsetByFourAndStopsAtTheLargestVoxIndexAndAt4GiB) {
    const uint8_t coded[8] = {1, 2, 3};
    BufferSink sink;
    int newVoxIndex = -1;
    ASSERT_TRUE(VoxFile::WriteWithNewSlot(kTalk, coded, 3, 300, sink, newVoxIndex));
    EXPECT_EQ(newVoxIndex, 3);
    Bytes expected(kTalk.begin(), kTalk.begin() + 12);
    expected.insert(expected.end(), {28, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0,  // slots 0 to 2
                                     50, 0, 0, 0});  // slot 3: the old size 46 + 4
    expected.insert(expected.end(), kTalk.begin() + 24, kTalk.end());
    expected.insert(expected.end(), {44, 1, 0, 0, 3, 0, 0, 0, 1, 2, 3});
    EXPECT_EQ(sink.written, expected);

    // A slot so far outside any file that moving it would wrap into the header stays.
    Bytes talk = kTalk;
    talk[16] = 0xFE;
    talk[17] = talk[18] = talk[19] = 0xFF;
    BufferSink empty;
    ASSERT_TRUE(VoxFile::WriteWithNewSlot(talk, nullptr, 0, 7, empty, newVoxIndex));
    EXPECT_EQ(Bytes(empty.written.begin() + 16, empty.written.begin() + 20),
              Bytes(talk.begin() + 16, talk.begin() + 20));

    ASSERT_TRUE(VoxFile::WriteWithNewSlot(TalkWithSlotZero(12 + 4 * 32767, 12 + 4 * 32767 + 8),
                                          coded, 1, 2, sink, newVoxIndex));
    EXPECT_EQ(newVoxIndex, 32767);
    BufferSink none;
    std::string why;
    EXPECT_FALSE(VoxFile::WriteWithNewSlot(TalkWithSlotZero(12 + 4 * 32768, 12 + 4 * 32768 + 8),
                                           coded, 1, 2, none, newVoxIndex, &why));
    EXPECT_NE(why.find("32768"), std::string::npos) << why;

    // A sparse talk file of 4 GiB - 20 bytes with one slot: 4 + 8 + 8 more bytes would pass it.
    TempDir folder;
    const std::string path = folder.File("big.vox");
    WriteFileBytes(path, TalkWithSlotZero(16));
    ASSERT_EQ(truncate(path.c_str(), 0xFFFFFFFFll - 19), 0);
    MappedFile file;
    ASSERT_TRUE(file.Open(path, 0)) << file.GetError();
    EXPECT_FALSE(VoxFile::WriteWithNewSlot(file.Bytes(), coded, 8, 2, none, newVoxIndex, &why));
    EXPECT_EQ(why, "the talk file would pass 4 GiB");
    EXPECT_TRUE(none.written.empty());
}

TEST(SlotJournal, OnlyAWholeJournalIsTakenAndTheNextWriterCompletesOneThatFitsTheTalkFile) {
    const Bytes bytes = SlotJournalBytes({46, {{1, 36}, {2, 24}}});
    const Bytes front = {'V', 'X', 'J', '1', 46, 0, 0, 0, 2, 0, 0, 0,  // magic, talk size, count
                         1,   0,   0,   0,   36, 0, 0, 0, 2, 0, 0, 0, 24, 0, 0, 0};  // the pairs
    ASSERT_EQ(bytes.size(), front.size() + 4);
    EXPECT_TRUE(std::equal(front.begin(), front.end(), bytes.begin()));
    SlotJournal parsed;
    ASSERT_TRUE(ParseSlotJournal(bytes, parsed));
    EXPECT_EQ(SlotJournalBytes(parsed), bytes);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_FALSE(ParseSlotJournal(ByteSpan(bytes.data(), cut), parsed)) << cut;
    }
    for (size_t at : {size_t{5}, size_t{9}, size_t{14}, bytes.size() - 1}) {
        Bytes flipped = bytes;
        flipped[at] ^= 0x10;
        EXPECT_FALSE(ParseSlotJournal(flipped, parsed)) << at;
    }

    // A talk file with slots 1 and 2 absent and two entries appended that nothing points to:
    // what a batch leaves when it is stopped after its journal and before its slots. A journal
    // that does not fit it is refused and kept; the right one is completed and removed by the
    // next writer.
    TempDir folder;
    const std::string path = folder.File("speech.vox");
    Bytes talk = {'V', 'X', 'H', 'D', 1, 2, 3, 4, 0,    0, 0, 0,  // header
                  24,  0,   0,   0,   0, 0, 0, 0, 0,    0, 0, 0,  // slots 0, 1, 2
                  1,   0,   0,   0,   1, 0, 0, 0, 0xAA,           // 24: entry 0
                  2,   0,   0,   0,   1, 0, 0, 0, 0xBB,           // 33: new for 1
                  3,   0,   0,   0,   1, 0, 0, 0, 0xCC};          // 42: new for 2
    WriteFileBytes(path, talk);
    for (const SlotJournal& bad : {SlotJournal{51, {{0, 33}}}, SlotJournal{51, {{3, 33}}},
                                   SlotJournal{51, {{1, 47}}}, SlotJournal{60, {{1, 33}}}}) {
        ASSERT_TRUE(WriteSlotJournal(path, bad));
        std::string why;
        EXPECT_FALSE(CompleteInterruptedBatch(path, &why));
        EXPECT_NE(why.find("move it away"), std::string::npos) << why;
        EXPECT_TRUE(HasSlotJournal(path));
        EXPECT_EQ(ReadFileBytes(path), talk);
    }
    ASSERT_TRUE(WriteSlotJournal(path, {51, {{1, 33}, {2, 42}}}));
    std::string why;
    ASSERT_TRUE(CompleteInterruptedBatch(path, &why)) << why;
    EXPECT_FALSE(HasSlotJournal(path));
    talk[16] = 33;
    talk[20] = 42;
    EXPECT_EQ(ReadFileBytes(path), talk);
    EXPECT_TRUE(CompleteInterruptedBatch(path)) << "no journal: nothing to do";
}

// An offset with this bit set stands for the same offset marked dropped.
constexpr uint64_t kDropped = uint64_t{1} << 32;

HistoryLine Line(const char* kind, int frag, int voice, uint64_t from, uint64_t to,
                 std::string name = "", std::string hash = "") {
    HistoryLine line;
    line.time = "2026-12-07T15:38:15Z";
    line.kind = kind;
    line.frag = frag;
    line.voice = voice;
    line.voxIndex = 40;
    line.oldOffset = static_cast<uint32_t>(from);
    line.newOffset = static_cast<uint32_t>(to);
    line.oldDropped = (from & kDropped) != 0;
    line.newDropped = (to & kDropped) != 0;
    line.source = {std::move(name), std::move(hash)};
    return line;
}

std::string Describe(const std::vector<Take>& takes) {
    std::string text;
    for (const Take& take : takes) {
        text += std::to_string(take.offset) + (take.dropped ? "x" : "") +
                (take.source.name.empty() ? "" : " " + take.source.name) +
                (take.present ? " present" : "") + (take.current ? " current" : "") + "; ";
    }
    return text;
}

TEST(TalkHistory, ALineIsNineTabSeparatedFieldsAndAMalformedOneIsSkippedWithItsReason) {
    EXPECT_EQ(HistoryLineText(Line("replace", 3, 0, 22944, 360700, "b.wav", "49d91ec408456d30")),
              "2026-12-07T15:38:15Z\treplace\t3\t0\t40\t22944\t360700\t49d91ec408456d30\tb.wav\n");
    EXPECT_EQ(HistoryLineText(Line("revert", 0, 13, kDropped | 22944, 16)),
              "2026-12-07T15:38:15Z\trevert\t0\t13\t40\tx22944\t16\t-\t\n");
    // A name with the field and line separators, '%', a control byte and Latin-1: one line all
    // the same, and read back as written.
    const HistoryLine odd = Line("import", 65535, 13, 4294967295u, kDropped | 1,
                                 "a b%c\td\ne\x7f\xe9.wav", "0123456789abcdef");
    std::string text = HistoryLineText(odd);
    ASSERT_EQ(text.find('\n'), text.size() - 1);
    text.pop_back();
    HistoryLine back;
    std::string why;
    ASSERT_TRUE(ParseHistoryLine(text, back, &why)) << why;
    EXPECT_EQ(back.source.name, odd.source.name);
    EXPECT_EQ(HistoryLineText(back), HistoryLineText(odd));

    // Malformed lines are skipped with their number and reason.
    const struct {
        const char* text;
        const char* why;
    } cases[] = {
        {"2026-12-07T15:38:15Z\treplace\t3\t0\t40\t100\t200\t-", "8 fields"},
        {"2026-12-07 15:38:15Z\treplace\t3\t0\t40\t100\t200\t-\t", "not a time"},
        {"2026-12-07T15:38:15Z\tadd\t3\t0\t40\t100\t200\t-\t", "unknown kind"},
        {"2026-12-07T15:38:15Z\treplace\t3\t14\t40\t100\t200\t-\t", "not a number in range"},
        {"2026-12-07T15:38:15Z\treplace\t3\t0\t40\t0\t200\t-\t", "not a number above 0"},
        {"2026-12-07T15:38:15Z\treplace\t3\t0\t40\t100\t4294967296\t-\t", "not a number above"},
        {"2026-12-07T15:38:15Z\treplace\t3\t0\t40\t100\t200\tABCDEF0123456789\t", "not a hash"},
        {"2026-12-07T15:38:15Z\treplace\t3\t0\t40\t100\t200\t-\tx%4", "broken %XX"},
        {"", "1 fields"},
    };
    std::string all;
    for (const auto& c : cases) all += std::string(c.text) + '\n';
    const History history = ParseHistory(Bytes(all.begin(), all.end()));
    EXPECT_TRUE(history.lines.empty());
    ASSERT_EQ(history.bad.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(history.bad[i].lineNumber, i + 1);
        EXPECT_NE(history.bad[i].why.find(cases[i].why), std::string::npos) << history.bad[i].why;
    }
}

TEST(TalkHistory, AnAppendAfterACutLineStartsOnALineOfItsOwn) {
    TempDir dir;
    const std::string talk = dir.File("speech.vox");
    History history;
    const std::string first = HistoryLineText(Line("replace", 3, 0, 100, 200));
    WriteFileBytes(HistoryPath(talk), Bytes(first.begin(), first.end() - 5));
    ASSERT_TRUE(AppendHistory(talk, {Line("replace", 3, 0, 200, 300), Line("import", 1, 1, 5, 6)}));
    ASSERT_TRUE(ReadHistory(talk, history));
    ASSERT_EQ(history.lines.size(), 2u);
    EXPECT_EQ(history.lines[0].lineNumber, 2u);
    EXPECT_EQ(history.bad.size(), 1u);
}

TEST(TalkHistory, TakesAreEachEntryOnceOldestFirstAndCurrentIsWhatTheSlotSays) {
    // A talk file whose directory ends at 16, with entries at 16, 24 and 32 (no coded bytes).
    Bytes talk(40, 0);
    talk[12] = 16;
    History history;
    history.lines = {Line("replace", 3, 0, 16, 24, "a.wav"), Line("import", 9, 9, 16, 24),
                     Line("replace", 3, 0, 24, 32, "b.wav"), Line("revert", 3, 0, 32, 16),
                     Line("replace", 3, 0, 16, 1000, "c.wav")};
    EXPECT_EQ(Describe(TakesOf(history, 3, 0, talk, 24)),
              "16 present; 24 a.wav present current; 32 b.wav present; 1000 c.wav; ");
    // Dropped takes keep their places, apart from a live entry at the same offset.
    history.lines = {Line("replace", 3, 0, kDropped | 16, kDropped | 24),
                     Line("replace", 3, 0, kDropped | 24, 16),
                     Line("revert", 3, 0, 16, kDropped | 16)};
    EXPECT_EQ(Describe(TakesOf(history, 3, 0, talk, 16)), "16x; 24x; 16 present current; ");
}

}  // namespace
}  // namespace vox::test
