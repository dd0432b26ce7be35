// Verify: every kind of damage it knows, each reported with its place; a clean database passes.
#include "talkdata/verify.h"

#include "audio/entrydecodecheck.h"
#include "talkdata/talkhistory.h"
#include "tests/maintain/maintainfixture.h"

namespace vox::test {
namespace {

using Texts = std::vector<std::string>;

Texts TextsOf(const VerifyReport& report) {
    Texts texts;
    for (const VerifyFinding& finding : report.findings) texts.push_back(finding.Text());
    return texts;
}

Bytes ListBytes(const std::vector<std::pair<int16_t, uint32_t>>& records,
                const std::vector<std::pair<int16_t, int16_t>>& words, size_t padding = 0) {
    Bytes out;
    for (const auto& [count, offset] : records) {
        PutU16(out, 0);
        PutU16(out, static_cast<uint16_t>(count));
        PutU32(out, offset);
    }
    out.resize(out.size() + padding, 0);
    for (const auto& [low, high] : words) {
        PutU16(out, static_cast<uint16_t>(low));
        PutU16(out, static_cast<uint16_t>(high));
    }
    return out;
}

void PutComm(Bytes& out, uint8_t elements, uint32_t listOffset) {
    PutU16(out, 0);    // reserved
    PutU16(out, 0);    // warp
    out.push_back(0);  // priority
    out.push_back(0);  // position
    PutU16(out, 0);    // bullseye
    out.push_back(elements);
    out.push_back(0);  // evals
    PutU32(out, listOffset);
}

class VerifyTest : public DocumentFixture {
  protected:
    VerifyTest() { EXPECT_TRUE(codec_.Init()); }
    SpeechCodec codec_;
    EntryDecodeCheck decode_ = MakeEntryDecodeCheck(codec_);
};

// A clean database passes; a history line cut short, and one whose offsets are no entries,
// are findings of their own; so is every kind of damage the tables and the talk file can have.
TEST_F(VerifyTest, EveryKindOfDamageIsReportedWithItsPlaceAndAStopLeavesTheReportPartial) {
    EXPECT_TRUE(VerifyDatabaseFiles(talk_, decode_).IsClean());
    const VerifyReport stopped =
        VerifyDatabaseFiles(talk_, decode_, [](uint64_t done, uint64_t) { return done < 3; });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_FALSE(stopped.IsClean());

    Bytes talk = TalkBytes();  // SampleDatabase(), damaged below once the files are checked
    HistoryLine line;
    line.time = "2026-12-07T15:38:15Z";
    line.kind = "replace";
    line.voxIndex = 3;
    line.oldOffset = static_cast<uint32_t>(talk.size());  // outside the file
    line.newOffset = SlotValue(talk, 0) + 3;              // inside an entry: its "header" is noise
    WriteText(HistoryPath(talk_), HistoryLineText(line) + "2026");  // and a line cut short
    const Texts texts = TextsOf(VerifyDatabaseFiles(talk_, decode_));
    ASSERT_EQ(texts.size(), 3u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0],
              "speech.vox.history: line 2: skipped by every reader: cut short (no end of line)");
    EXPECT_EQ(texts[1],
              "speech.vox.history: line 1: the old entry: no whole entry begins at byte " +
                  std::to_string(talk.size()));
    EXPECT_NE(texts[2].find("line 1: the new entry"), std::string::npos) << texts[2];
    std::remove(HistoryPath(talk_).c_str());

    const uint32_t entry1 = SlotValue(talk, 1);
    const uint32_t entry5 = SlotValue(talk, 5);
    const std::string size = std::to_string(talk.size());
    std::fill(talk.begin() + entry1 + 8, talk.begin() + entry1 + EntryOf(talk, 1).size(), 0xFF);
    WriteU32(talk.data() + 24, 16);                                        // slot 3
    WriteU32(talk.data() + 28, static_cast<uint32_t>(talk.size()) + 100);  // slot 4
    WriteU32(talk.data() + entry5 + 4, 1000000);                           // entry 5's size
    const uint32_t entry2 = SlotValue(talk, 2);
    const uint32_t coded2 = ReadU32(talk.data() + entry2 + 4);
    WriteU32(talk.data() + entry2, 0xFFFFFFFFu);  // more sound than its coded bytes hold

    // Records at 0..63 (8 records), lists from 64; the table lists 10 words and ends in a
    // partial word.
    Bytes frags =
        ListBytes({{2, 64}, {2, 72}, {1, 84}, {-1, 88}, {1, 88}, {1, 92}, {1, 96}, {5, 100}},
                  {{3, 0},
                   {1, 2},  // fragment 0: voices out of order
                   {2, 2},
                   {2, 0},    // fragment 1: voice 2 twice
                   {0, 0},    // (a word that the gap skips)
                   {14, 0},   // fragment 2: voice 14
                   {0, 7},    // fragment 4: entry 7 is empty
                   {1, 9},    // fragment 5: beyond the directory
                   {0, 5},    // fragment 6: entry 5 lies outside the file
                   {0, 1}});  // fragment 7: runs past the end
    frags.push_back(0xEE);
    frags.push_back(0xEE);
    // Two records, 4 bytes of padding, lists from 20; one word no record lists.
    const Bytes evals = ListBytes({{2, 20}, {2, 28}}, {{5, 0}, {5, 1}, {3, 99}, {1, 0}, {0, 0}}, 4);
    // Four comms (57 / 14), lists from 57.
    Bytes comms;
    PutComm(comms, 2, 57);  // fragment 0, eval 5
    PutComm(comms, 1, 61);  // fragment 20
    PutComm(comms, 3, 61);  // runs outside the file
    PutComm(comms, 1, 0);   // inside the record area
    comms.push_back(0);
    for (int16_t entry : {0, -5, 20}) PutU16(comms, static_cast<uint16_t>(entry));

    DatabaseBytes files;
    files.talkName = "speech.vox";
    files.talk = talk;
    files.frags = frags;
    files.evals = evals;
    files.comms = comms;
    const VerifyReport report = VerifyDatabase(files, decode_);
    const Texts expected = {
        "speech.vox: slot 1 (byte 16): its entry at byte " + std::to_string(entry1) +
            " does not decode: the codec refuses it, or it holds more sound than its size says",
        "speech.vox: slot 2 (byte 20): its entry at byte " + std::to_string(entry2) +
            " does not decode: its decoded size 4294967295 is more than its " +
            std::to_string(coded2) + " coded bytes can give (" + std::to_string(coded2 / 20 * 320) +
            ")",
        "speech.vox: slot 3 (byte 24): points into the directory (byte 16)",
        "speech.vox: slot 4 (byte 28): points outside the file (byte " +
            std::to_string(talk.size() + 100) + " of " + size + ")",
        "speech.vox: slot 5 (byte 32): its entry at byte " + std::to_string(entry5) +
            " claims 1000000 coded bytes, which run past the end of the file",
        "fragFile.bin: the file ends in a partial element word",
        "fragFile.bin: fragment 2: its list starts at byte 84, expected 80 (lists follow each "
        "other without gaps)",
        "fragFile.bin: fragment 3: negative element count -1",
        "fragFile.bin: fragment 7: its list of 5 elements runs past the end of the file",
        "fragFile.bin: fragment 0: voices out of order (1 after 3)",
        "fragFile.bin: fragment 1: voice 2 occurs twice",
        "fragFile.bin: fragment 2: voice 14 is outside 0 to 13",
        "fragFile.bin: fragment 4 voice 0: talk entry 7 is empty (its slot holds 0)",
        "fragFile.bin: fragment 5 voice 1: talk entry 9 lies beyond the directory (8 slots)",
        "fragFile.bin: fragment 6 voice 0: talk entry 5 lies outside the talk file",
        "evalFile.bin: eval 0: its list offset 20 is not a multiple of 8, so the record area "
        "has no clear end",
        "evalFile.bin: bytes 36 to 39 hold element words that no record lists",
        "evalFile.bin: eval 0: index 5 occurs twice",
        "evalFile.bin: eval 1 index 3: fragment 99 does not exist (8 fragments)",
        "evalFile.bin: eval 1: indices out of order (1 after 3)",
        "commFile.bin: comm 0: its list offset 57 is not a multiple of 14, so the record area "
        "has no clear end",
        "commFile.bin: comm 0 entry 1: eval 5 does not exist (2 evals)",
        "commFile.bin: comm 1 entry 0: fragment 20 does not exist (8 fragments)",
        "commFile.bin: comm 2: its list of 3 entries at byte 61 runs outside the file (63 bytes)",
        "commFile.bin: comm 3: its list starts at byte 0, inside the record area",
    };
    EXPECT_EQ(TextsOf(report), expected);
    EXPECT_FALSE(report.cancelled);

    // Files that cannot be read or have no shape are findings of their own.
    Bytes shortComm(10, 0);
    Bytes noRoom;
    PutComm(noRoom, 0, 7);
    Bytes tooFewRecords;
    PutComm(tooFewRecords, 0, 70);  // claims 5 records
    const struct {
        Bytes frags;
        Bytes comms;
        Texts expected;
    } cases[] = {
        {Bytes(5, 0),
         noRoom,
         {"fragFile.bin: the file is shorter than one record (5 bytes)",
          "commFile.bin: comm 0: its list offset 7 leaves no room for the records"}},
        {ListBytes({{0, 4}}, {}),
         shortComm,
         {"fragFile.bin: fragment 0: its list offset 4 lies inside the record area",
          "commFile.bin: the file is shorter than one record (10 bytes)"}},
        {ListBytes({{0, 9}}, {}),
         tooFewRecords,
         {"fragFile.bin: fragment 0: its list offset 9 lies beyond the end of the file (8 bytes)",
          "commFile.bin: 5 comms (from the list offset of comm 0) need 70 bytes of records; the "
          "file has 14"}},
    };
    // Slot 0 points 2 bytes past a whole slot: the directory has no clear end. Its entry is
    // whole and empty, and the half slot after slot 0 reads as 0, so nothing else is wrong.
    Bytes shapeless(12, 'H');
    PutU32(shapeless, 18);
    PutU16(shapeless, 0);
    PutU32(shapeless, 0);  // the entry: decodedSize
    PutU32(shapeless, 0);  // codedSize
    const Bytes goodFrags = ListBytes({{0, 8}}, {});
    for (const auto& c : cases) {
        DatabaseBytes shapes;
        shapes.talkName = "t.vox";
        shapes.talk = shapeless;
        shapes.frags = c.frags;
        shapes.evals = goodFrags;
        shapes.comms = c.comms;
        Texts want = {
            "t.vox: directory: slot 0 (18) is not 12 plus a multiple of 4: the "
            "directory has no clear end"};
        want.insert(want.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(TextsOf(VerifyDatabase(shapes, decode_)), want) << c.expected[0];
    }

    // Missing files are named; what is there is still checked.
    std::remove(dir_.File("evalFile.bin").c_str());
    WriteFileBytes(dir_.File("commFile.bin"), {});
    EXPECT_EQ(TextsOf(VerifyDatabaseFiles(talk_, decode_)),
              (Texts{"evalFile.bin: cannot be read: No such file or directory",
                     "commFile.bin: the file is empty"}));
    std::remove(talk_.c_str());
    EXPECT_EQ(TextsOf(VerifyDatabaseFiles(talk_, decode_)).front(),
              "speech.vox: cannot be read: No such file or directory");
}

}  // namespace
}  // namespace vox::test
