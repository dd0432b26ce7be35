// Maintenance through the document: verify reports every kind of damage with its place and
// passes a clean database; compact drops exactly the unreferenced bytes, every entry and slot
// staying, under the writer lock that keeps a second writer out; the history's replace,
// re-point and revert put back each take byte for byte; re-installing an export codes only the
// changed waves, appends them first and names every refused line. Then the progress line on a
// terminal, and Ctrl+C as a request to stop.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/entrydecodecheck.h"
#include "audio/player/nullsounddevice.h"
#include "audio/wavefile.h"
#include "talkdata/bytes.h"
#include "talkdata/compact.h"
#include "talkdata/faultinjection.h"
#include "talkdata/memoryprofile.h"
#include "talkdata/talkhistory.h"
#include "talkdata/verify.h"
#include "talkdata/writerlock.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/tempdir.h"
#include "tests/support/testsounds.h"
#include "tools/terminalprogress.h"
#include "tools/toolcontext.h"
#include "workbench/document.h"
#include "workbench/fragmentexport.h"
#include "workbench/listimport.h"
#include "workbench/takehistory.h"

namespace vox::test {
namespace {

// A database with real recordings: entries 0 to 5 hold tones, entry 6 shares entry 2, entry 7
// is empty. Fragment 0 has voices 0 (entry 0) and 3 (entry 1); fragment 1 voice 2 (entry 2);
// fragment 2 voices 0 (entry 3) and 5 (entry 4); fragment 3 voice 1 (entry 5); fragment 4
// voice 2 (entry 6, the same recording as fragment 1's). Two evals; one comm {0, -1, 3, 2}.
DatabaseBuilder SampleDatabase() {
    DatabaseBuilder db;
    for (int i = 0; i < 6; ++i) {
        const Bytes pcm = SpeechLikePcm(3200 + 640 * static_cast<size_t>(i), 200.0 + 70.0 * i);
        db.AddEntry(static_cast<uint32_t>(pcm.size()), CodedPcm(pcm));
    }
    db.AddSharedSlot(2);  // 6
    db.AddEmptySlot();    // 7
    db.AddFragment({{0, 0}, {3, 1}});
    db.AddFragment({{2, 2}});
    db.AddFragment({{0, 3}, {5, 4}});
    db.AddFragment({{1, 5}});
    db.AddFragment({{2, 6}});
    db.AddEval({{1, 0}, {4, 2}});
    db.AddEval({{0, 3}});
    db.AddComm({{0, -1, 3, 2}});
    return db;
}

uint32_t SlotValue(const Bytes& talk, int voxIndex) {
    return ReadU32(talk.data() + 12 + 4 * voxIndex);
}
// Entry voxIndex of a talk file: its header and coded bytes.
Bytes EntryOf(const Bytes& talk, int voxIndex) {
    const uint32_t at = SlotValue(talk, voxIndex);
    return Bytes(talk.begin() + at, talk.begin() + at + 8 + ReadU32(talk.data() + at + 4));
}

// SampleDatabase() written into a temporary folder, to be opened in a document.
class DocumentFixture : public ::testing::Test {
  protected:
    ~DocumentFixture() override {
        doc_.reset();
        faults::DisarmAll();
    }
    void Write(const DatabaseBuilder& db) { talk_ = db.WriteTo(dir_.Path()); }
    void Open(CVoxbenchDoc::Access access = CVoxbenchDoc::Access::ReadWrite) {
        doc_ = MakeDocument();
        ASSERT_TRUE(doc_->OnOpenDocument(talk_, access)) << doc_->GetOpenError();
    }
    std::unique_ptr<CVoxbenchDoc> MakeDocument() {
        auto doc = std::make_unique<CVoxbenchDoc>(
            profile_, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
        doc->SetPrompter(&prompter_);
        return doc;
    }
    Bytes TalkBytes() const { return ReadFileBytes(talk_); }

    TempDir dir_;
    MemoryProfile profile_;
    ScriptedPrompter prompter_;
    std::unique_ptr<CVoxbenchDoc> doc_;
    std::string talk_ = SampleDatabase().WriteTo(dir_.Path());
};

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

using CompactTest = DocumentFixture;

// Bytes no slot points to between and after the entries; slots that share an entry and an
// empty slot. A stop or a failed write leaves the file as it was; a compact that ends gives
// exactly the file written without those bytes, and a second run leaves it alone.
TEST_F(CompactTest, GivesExactlyTheFileWrittenWithoutTheUnreferencedBytes) {
    DatabaseBuilder messy;
    DatabaseBuilder clean;
    for (DatabaseBuilder* db : {&messy, &clean}) {
        db->AddEntry(640, CodedPcm(SpeechLikePcm(640, 300)));
        if (db == &messy) db->AddUnreferencedBytes(Bytes(37, 0xAB));
        db->AddEntry(1280, CodedPcm(SpeechLikePcm(1280, 500)));
        db->AddSharedSlot(0);
        db->AddEmptySlot();
        db->AddEntry(7, {});  // an entry without coded bytes
        if (db == &messy) db->AddUnreferencedBytes(Bytes(3, 0xCD));
        db->AddFragment({{0, 0}, {1, 1}, {2, 2}, {4, 4}});
    }
    Write(messy);
    const Bytes before = TalkBytes();
    const std::vector<std::string> database = {"commFile.bin", "evalFile.bin", "fragFile.bin",
                                               "speech.vox"};
    CompactResult result;
    EXPECT_FALSE(CompactTalkFile(talk_, result, [](uint64_t, uint64_t) { return false; }));
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(TalkBytes(), before);
    EXPECT_EQ(ListFolder(dir_.Path()), database);
    for (const char* point :
         {"safefile.create", "safefile.write", "safefile.sync", "safefile.rename"}) {
        faults::Arm(point);
        EXPECT_FALSE(CompactTalkFile(talk_, result)) << point;
        faults::DisarmAll();
        EXPECT_FALSE(result.cancelled);
        EXPECT_FALSE(result.error.empty()) << point;
        EXPECT_EQ(TalkBytes(), before) << point;
        EXPECT_EQ(ListFolder(dir_.Path()), database);
    }

    ASSERT_TRUE(CompactTalkFile(talk_, result)) << result.error;
    EXPECT_TRUE(result.rewritten);
    EXPECT_EQ(result.Reclaimed(), 40u);
    EXPECT_EQ(TalkBytes(), clean.TalkBytes());
    EXPECT_EQ(ListFolder(dir_.Path()), database);
    ASSERT_TRUE(CompactTalkFile(talk_, result)) << result.error;
    EXPECT_FALSE(result.rewritten);
    EXPECT_EQ(result.Reclaimed(), 0u);
    EXPECT_EQ(TalkBytes(), clean.TalkBytes());
}

TEST_F(CompactTest, RefusesDamageThatARewriteWouldMakeWorse) {
    DatabaseBuilder db = SampleDatabase();
    db.AddUnreferencedBytes(Bytes(10, 1));
    const Bytes good = db.TalkBytes();
    const uint32_t entry1 = SlotValue(good, 1);
    const struct {
        const char* name;
        uint32_t at;  // the u32 that is damaged
        uint32_t value;
        const char* why;
    } cases[] = {
        {"crooked slot 0", 12, SlotValue(good, 0) - 2, "is not 12 plus a multiple of 4"},
        {"into the directory", 24, 16,
         "slot 3 does not point at a whole entry behind the directory"},
        {"overlapping entries", entry1 + 4, static_cast<uint32_t>(EntryOf(good, 1).size()),
         "overlap"},
    };
    Write(db);
    for (const auto& c : cases) {
        Bytes talk = good;
        WriteU32(talk.data() + c.at, c.value);
        WriteFileBytes(talk_, talk);
        CompactResult result;
        EXPECT_FALSE(CompactTalkFile(talk_, result)) << c.name;
        EXPECT_NE(result.error.find(c.why), std::string::npos) << c.name << ": " << result.error;
        EXPECT_EQ(TalkBytes(), talk) << c.name;
    }
}

using WriterLockTest = DocumentFixture;

// One writer per talk file, across objects and documents (across processes it is the fault
// tests' two writers that show it). Asking again for the file it holds is no conflict with
// itself; missing files and folders are refused with their reason.
TEST_F(WriterLockTest, ASecondLockOrDocumentForWritingIsRefusedUntilTheFirstIsReleased) {
    WriterLock first;
    WriterLock second;
    ASSERT_TRUE(first.Acquire(talk_)) << first.GetError();
    EXPECT_FALSE(second.Acquire(talk_));
    EXPECT_FALSE(second.IsHeld());
    EXPECT_EQ(second.GetError(), WriterLock::kHeldElsewhere);
    EXPECT_TRUE(first.Acquire(talk_));
    first.Release();
    EXPECT_TRUE(second.Acquire(talk_)) << second.GetError();

    EXPECT_FALSE(first.Acquire(dir_.File("none.vox")));
    EXPECT_EQ(first.GetError(), "No such file or directory");
    EXPECT_FALSE(first.Acquire(dir_.Path()));
    EXPECT_EQ(first.GetError(), "not a regular file");
    EXPECT_FALSE(first.IsHeld());
    second.Release();

    // The same document opening its file again keeps its lock; one that turns to reading, or
    // closes, gives it up.
    Open();
    std::unique_ptr<CVoxbenchDoc> another = MakeDocument();
    EXPECT_FALSE(another->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadWrite));
    EXPECT_EQ(another->GetOpenError(), talk_ + ": " + WriterLock::kHeldElsewhere);
    EXPECT_FALSE(another->IsTalkFileOpen());
    EXPECT_TRUE(another->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadOnly))
        << another->GetOpenError();

    EXPECT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError();
    EXPECT_TRUE(doc_->GetWriterLock().IsHeld());
    ASSERT_TRUE(doc_->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadOnly));
    EXPECT_FALSE(doc_->GetWriterLock().IsHeld());
    EXPECT_TRUE(another->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadWrite))
        << another->GetOpenError();
    another->OnCloseDocument();
    EXPECT_TRUE(first.Acquire(talk_)) << first.GetError();
}

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

class ExportImportTest : public DocumentFixture {
  protected:
    void SetUp() override { Export(); }

    // Opens the written database, exports every voice into ex/ and remembers the talk file.
    void Export() {
        Open();
        mkdir(dir_.File("ex").c_str(), 0700);
        list_ = dir_.File("ex/Filenames.csv");
        const ExportResult exported = ExportFragmentRange(*doc_, 0, doc_->GetFragCount(), list_);
        ASSERT_TRUE(exported.listWritten) << exported.error;
        before_ = TalkBytes();
    }
    void WriteWave(const std::string& name, const Bytes& pcm) {
        WriteFileBytes(dir_.File("ex/" + name),
                       MakeWaveBytes(pcm.data(), static_cast<uint32_t>(pcm.size())));
    }
    // The entry's header and coded bytes as the file holds them.
    static Bytes NewEntry(const Bytes& pcm) {
        Bytes entry;
        const Bytes coded = CodedPcm(pcm);
        PutU32(entry, static_cast<uint32_t>(pcm.size()));
        PutU32(entry, static_cast<uint32_t>(coded.size()));
        entry.insert(entry.end(), coded.begin(), coded.end());
        return entry;
    }

    std::string list_;
    Bytes before_;
};

// Importing the same export again finds the entries already holding those recordings.
TEST_F(ExportImportTest, OnlyEditedWavesReplaceTheirEntriesInOneAppendAndRefusalsAreNamed) {
    const Bytes louder = SpeechLikePcm(4800, 330);
    const Bytes other = SpeechLikePcm(2560, 610);
    WriteWave("1-2.wav", louder);  // entry 2; fragment 4 keeps its own slot 6
    WriteWave("2-5.wav", other);   // entry 4
    ImportResult result = ImportExportList(*doc_, list_);
    EXPECT_EQ(result.replaced, 2);
    EXPECT_EQ(result.unchanged, 5);
    EXPECT_TRUE(result.refused.empty() && result.error.empty());

    // One append, in voxIndex order, at the old end of the file; only slots 2 and 4 moved.
    const Bytes after = TalkBytes();
    Bytes expected = before_;
    const Bytes entry2 = NewEntry(louder);
    const Bytes entry4 = NewEntry(other);
    WriteU32(expected.data() + 12 + 4 * 2, static_cast<uint32_t>(before_.size()));
    WriteU32(expected.data() + 12 + 4 * 4, static_cast<uint32_t>(before_.size() + entry2.size()));
    expected.insert(expected.end(), entry2.begin(), entry2.end());
    expected.insert(expected.end(), entry4.begin(), entry4.end());
    EXPECT_EQ(after, expected);

    result = ImportExportList(*doc_, list_);
    EXPECT_EQ(result.replaced, 0);
    EXPECT_EQ(TalkBytes(), after);

    // Refused lines are named, and everything else is still imported. A missing or unreadable
    // wave and a missing list are voxtool's tests' to show.
    WriteWave("1-2.wav", SpeechLikePcm(1600, 450));
    WriteWave("0-3.wav", Bytes(SpeechCodec::kMaxPcmBytes + 2, 0));
    WriteText(list_, ReadText(list_) + "9-0;.lh\r\n0-5;.lh\r\n\r\n12-x;.lh\r\n; a remark\r\n");
    // Lines 1-2 are the header; 3 0-0, 4 0-3, 5 1-2, 6 2-0, 7 2-5, 8 3-1, 9 4-2, then ours.
    result = ImportExportList(*doc_, list_);
    EXPECT_EQ(result.replaced, 1);
    EXPECT_EQ(result.unchanged, 5);
    std::vector<std::pair<int, std::string>> refusals;
    for (const ImportRefusal& r : result.refused) refusals.emplace_back(r.line, r.why);
    EXPECT_EQ(refusals, (std::vector<std::pair<int, std::string>>{
                            {4, "0-3.wav: 5.07 s long; a talk entry holds at most 5.06 s"},
                            {10, "there is no fragment 9"},
                            {11, "fragment 0 has no voice 5"},
                            {13, "not a line of an export list (\"F-V;.lh\")"}}));
    EXPECT_EQ(result.refused.back().text, "12-x;.lh");
    EXPECT_NE(SlotValue(TalkBytes(), 2), SlotValue(after, 2));
}

// A list that cannot be read, a failed append and a stop write nothing.
TEST_F(ExportImportTest, AFailedAppendOrAStopLeavesEverySlotAsItWas) {
    ImportResult result = ImportExportList(*doc_, dir_.File("ex/none.csv"));
    EXPECT_FALSE(result.listRead);
    EXPECT_EQ(result.error, dir_.File("ex/none.csv") + ": missing file");
    result = ImportExportList(*doc_, dir_.File("ex"));
    EXPECT_FALSE(result.listRead);
    EXPECT_EQ(result.error, dir_.File("ex") + ": not a regular file");
    WriteWave("1-2.wav", SpeechLikePcm(1600, 450));
    WriteWave("2-5.wav", SpeechLikePcm(1920, 390));
    faults::Arm("mappedfile.append");
    result = ImportExportList(*doc_, list_);
    faults::DisarmAll();
    EXPECT_EQ(result.replaced, 0);
    EXPECT_FALSE(result.error.empty());
    ASSERT_EQ(result.refused.size(), 2u);
    EXPECT_EQ(result.refused[0].why.rfind("the talk file could not be written: ", 0), 0u);
    EXPECT_EQ(TalkBytes(), before_);

    std::vector<uint64_t> seen;
    result = ImportExportList(*doc_, list_, [&seen](uint64_t done, uint64_t total) {
        seen.push_back(done);
        EXPECT_EQ(total, 8u);  // seven lines and the write
        return done < 3;
    });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(seen, (std::vector<uint64_t>{1, 2, 3}));
    EXPECT_EQ(result.replaced, 0);
    EXPECT_EQ(TalkBytes(), before_);
}

TEST_F(ExportImportTest, LinesSharingAnEntryMustAgreeOnItsRecording) {
    DatabaseBuilder db = SampleDatabase();
    db.AddFragment({{0, 3}});  // fragment 5 names entry 3, as fragment 2 does
    doc_.reset();              // the new database takes the old one's place
    Write(db);
    Export();
    const Bytes pcm = SpeechLikePcm(3200, 520);
    WriteWave("2-0.wav", pcm);
    WriteWave("5-0.wav", SpeechLikePcm(3200, 700));
    ImportResult result = ImportExportList(*doc_, list_);
    EXPECT_EQ(result.replaced, 1);
    ASSERT_EQ(result.refused.size(), 1u);
    EXPECT_EQ(result.refused[0].why,
              "talk entry 3 is shared with line 6, whose wave file holds other samples");

    WriteWave("5-0.wav", pcm);
    before_ = TalkBytes();
    result = ImportExportList(*doc_, list_);
    EXPECT_EQ(result.replaced, 0);  // entry 3 already holds that recording
    EXPECT_TRUE(result.refused.empty());
    EXPECT_EQ(TalkBytes(), before_);
}

// A stop in the middle of the work is voxtool pack's test (it exits 130 and says so); here, the
// Ctrl+C that must not stop. One after the last report reaches no step that could stop: the work
// finished, so the command must report its result, not an interruption it never made. The
// program's own SIGINT handler is back afterwards.
TEST(TerminalProgressTest, KeepsOneLineUpToDateOnATerminalAndALateCtrlCStopsNothing) {
    struct sigaction before {
    }, after{};
    sigaction(SIGINT, nullptr, &before);
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);  // the bytes as written, without line-end translation
    tcsetattr(slave, TCSANOW, &raw);
    ::testing::internal::CaptureStderr();
    {
        tool::TerminalProgress progress("compact", slave);
        const ProgressFn report = progress.Fn();
        EXPECT_TRUE(report(1, 4));
        EXPECT_TRUE(report(1, 4));  // the same percentage so soon is not drawn again
        EXPECT_TRUE(report(4, 4));
        std::raise(SIGINT);  // would end the test program without the handler
        EXPECT_TRUE(progress.Interrupted());
        progress.Finish();
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(tool::ExitStatus(), tool::kExitOk);
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    close(slave);
    std::string shown;
    char buffer[256];
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;)  // EIO once all is read
        shown.append(buffer, static_cast<size_t>(got));
    EXPECT_EQ(shown, "\rcompact: 25% (1/4)\rcompact: 100% (4/4)\n");
    close(master);
}

}  // namespace
}  // namespace vox::test
