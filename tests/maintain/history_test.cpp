// The history through the document: replace, re-point, revert and compact, with the slot's
// entry compared byte for byte.
#include "talkdata/compact.h"
#include "tests/maintain/maintainfixture.h"
#include "workbench/takehistory.h"

namespace vox::test {
namespace {

class HistoryTest : public DocumentFixture {
  protected:
    void SetUp() override { Open(); }
    // Fragment 2 voice 0's entry (slot 3).
    Bytes CurrentEntry() { return EntryOf(TalkBytes(), 3); }
    void Replace(double hz, const char* name) {
        const Bytes pcm = SpeechLikePcm(2560, hz);
        const Bytes coded = CodedPcm(pcm);
        const Status status =
            doc_->ReplaceFragment(2, 0, coded.data(), static_cast<uint32_t>(coded.size()),
                                  static_cast<uint32_t>(pcm.size()), {name, "0123456789abcdef"});
        ASSERT_TRUE(status) << status.error;
    }
    // The original take, then two replaces: each take's entry bytes, oldest first.
    std::vector<Bytes> ReplaceTwice() {
        std::vector<Bytes> takes{CurrentEntry()};
        Replace(300, "a.wav");
        takes.push_back(CurrentEntry());
        Replace(500, "b.wav");
        takes.push_back(CurrentEntry());
        return takes;
    }
    std::vector<std::string> Kinds() {
        std::vector<std::string> kinds;
        for (const HistoryLine& line : ReadTalkHistory(talk_).lines) kinds.push_back(line.kind);
        return kinds;
    }
};

// Re-pointing the slot (undo and redo) moves only the slot and writes no line; a revert goes
// one step back, then to each take by its entry, the current one refused. How many earlier takes
// a revert may reach is said by voxtool's tests.
TEST_F(HistoryTest, PointSlotAtAndRevertPutBackEveryTakeByteForByte) {
    const std::vector<Bytes> takes = ReplaceTwice();
    const TakesResult listed = ListTakes(*doc_, 2, 0);
    ASSERT_EQ(listed.takes.size(), 3u);
    const uint32_t first = listed.takes[0].offset;
    const Bytes before = TalkBytes();
    const struct {
        int frag;
        int voice;
        uint32_t offset;
        const char* why;
    } refused[] = {
        {2, 0, 16, "inside the directory"},
        {2, 0, static_cast<uint32_t>(before.size()) - 4, "no whole entry"},
        {2, 1, first, "has no voice 1"},
        {99, 0, first, "there is no fragment 99"},
    };
    for (const auto& c : refused) {
        const Status status = doc_->PointSlotAt(c.frag, c.voice, c.offset);
        EXPECT_NE(status.error.find(c.why), std::string::npos) << status.error;
        EXPECT_EQ(TalkBytes(), before) << c.why;
    }
    ASSERT_TRUE(doc_->PointSlotAt(2, 0, first));
    EXPECT_EQ(CurrentEntry(), takes[0]);
    ASSERT_TRUE(doc_->PointSlotAt(2, 0, listed.takes[2].offset));
    EXPECT_EQ(TalkBytes(), before);
    EXPECT_EQ(Kinds().size(), 2u);  // undo and redo write no line
    EXPECT_TRUE(listed.takes[2].current);
    EXPECT_EQ(listed.takes[1].source.name, "a.wav");
    ASSERT_TRUE(RevertTake(*doc_, 2, 0, 1).moved);
    EXPECT_EQ(CurrentEntry(), takes[1]);
    for (const size_t i : {0u, 2u, 1u}) {
        const RevertResult r = RevertToEntry(*doc_, 2, 0, listed.takes[i].offset);
        ASSERT_TRUE(r.moved) << r.error;
        EXPECT_EQ(CurrentEntry(), takes[i]) << i;
    }
    const RevertResult r = RevertToEntry(*doc_, 2, 0, listed.takes[1].offset);
    EXPECT_FALSE(r.moved);
    EXPECT_NE(r.error.find("already the current one"), std::string::npos) << r.error;
    EXPECT_EQ(Kinds(), (std::vector<std::string>{"replace", "replace", "revert", "revert", "revert",
                                                 "revert"}));
    EXPECT_EQ(ReadTalkHistory(talk_, 2, 0).lines.back().source.name, "a.wav");
}

TEST_F(HistoryTest, CompactKeepsTheNamedTakesAndDroppingThemRefusesTheRevertByName) {
    const std::vector<Bytes> takes = ReplaceTwice();
    doc_.reset();
    CompactResult result;
    ASSERT_TRUE(CompactTalkFile(talk_, result)) << result.error;
    EXPECT_EQ(result.keptTakes, 2u);
    EXPECT_EQ(result.keptTakeBytes, takes[0].size() + takes[1].size());
    EXPECT_EQ(result.droppedTakes, 0u);
    Open();
    ASSERT_TRUE(RevertTake(*doc_, 2, 0, 2).moved);
    EXPECT_EQ(CurrentEntry(), takes[0]);
    ASSERT_TRUE(RevertToEntry(*doc_, 2, 0, ListTakes(*doc_, 2, 0).takes[2].offset).moved);
    doc_.reset();

    ASSERT_TRUE(CompactTalkFile(talk_, result, {}, true)) << result.error;
    EXPECT_EQ(result.keptTakes, 0u);
    EXPECT_EQ(result.droppedTakes, 2u);
    Open();
    const std::vector<Take> listed = ListTakes(*doc_, 2, 0).takes;
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_TRUE(listed[0].dropped && listed[1].dropped && listed[2].current);
    EXPECT_EQ(RevertTake(*doc_, 2, 0, 2).error,
              "fragment 2 voice 0: take 1 was dropped by compact");
    EXPECT_EQ(RevertToEntry(*doc_, 2, 0, listed[1].offset).error,
              "fragment 2 voice 0: take 2 was dropped by compact");
    EXPECT_EQ(CurrentEntry(), takes[2]);
    EXPECT_EQ(Kinds().size(), 4u);  // the lines stay
}

}  // namespace
}  // namespace vox::test
