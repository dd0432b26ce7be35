// The history file: its lines byte for byte, malformed lines, the append after a cut, and the
// takes a voice has had. Moving the offsets with a rewrite is checked where the rewrites are;
// the fuzz target checks that no cut or damaged line is ever made up.
#include "talkdata/talkhistory.h"

#include <gtest/gtest.h>

#include "tests/support/tempdir.h"

namespace vox::test {
namespace {

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

TEST(TalkHistory, ALineIsNineTabSeparatedFieldsAndReadsBackAsWritten) {
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
}

TEST(TalkHistory, MalformedLinesAreSkippedWithTheirNumberAndReason) {
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
