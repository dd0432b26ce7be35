// unpack then pack gives back the database: tables byte for byte, every talk entry with its
// voxIndex, decodedSize and coded bytes, also for unusual but valid layouts.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "audio/wavefile.h"
#include "talkdata/commtable.h"
#include "talkdata/talkhistory.h"
#include "talkdata/voxfile.h"
#include "tests/pack/packfixtures.h"
#include "tests/support/speechsignals.h"
#include "tests/support/tempdir.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

class RoundTrip : public ::testing::Test {
  protected:
    // Unpacks db (written to original_), packs the result into packed_.
    void UnpackAndPack(const DatabaseBuilder& db) {
        db.WriteTo(original_.Path(), "speech.vox");
        Unpack();
        Pack();
    }
    void Unpack() {
        std::string error;
        ASSERT_TRUE(UnpackFolder(original_.Path(), "speech.vox", Unpacked(), unpackLog_, error))
            << error;
    }
    void Pack() {
        std::string error;
        ASSERT_TRUE(PackFolder(Unpacked(), Packed(), packLog_, error)) << error;
    }
    std::string Unpacked() const { return work_.File("unpacked"); }
    std::string Packed() const { return work_.File("packed"); }
    std::string Description() const { return ReadText(Unpacked() + "/database.txt"); }

    TempDir original_;
    TempDir work_;
    NoteLog unpackLog_;
    NoteLog packLog_;
};

// Every unusual layout the tables allow at once: a shared entry, an absent slot, a recording
// no fragment speaks, a fragment and an eval with nothing in them, a comm with more entries
// than the form shows, one with none, and fields at the ends of their ranges.
DatabaseBuilder UnusualDatabase() {
    DatabaseBuilder db;
    db.header = {'H', 'D', 'R', 0, 255, 1, 2, 3, 4, 5, 6, 7};
    db.AddEntry(3200, CodedSine(300, 1600));  // 0
    db.AddEmptySlot();                        // 1
    db.AddSharedSlot(0);                      // 2
    db.AddEntry(2250, CodedSine(500, 1125));  // 3: a tail shorter than one frame is not coded
    db.AddEntry(640, CodedSine(700, 320));    // 4: spoken by no fragment
    db.AddEmptySlot();                        // 5
    db.AddFragment({{0, 0}, {5, 3}, {13, 2}});
    db.AddFragment({});
    db.AddFragment({{7, 3}});
    db.AddEval({{9, 2}, {-32768, 0}, {1, 1}});  // left unsorted, as the eval editor may
    db.AddEval({});
    std::vector<int16_t> many;
    for (int i = 0; i < 40; ++i)
        many.push_back(static_cast<int16_t>(i % 2 == 0 ? i % 3 : -(i % 2)));
    db.AddComm({.entries = many,
                .warp = -32768,
                .priority = 255,
                .position = 7,
                .bullseye = 32767,
                .evals = 20,
                .reserved = 0xBEEF});
    db.AddComm({.entries = {}});
    db.AddComm({.entries = {2, -1, 0}, .warp = 5, .evals = 1});
    return db;
}

// No bytes were unreferenced and the entries stood in file order, so even the talk file is
// identical. Slots 0 and 2 share one entry: one wave, named after its first speaker, with its
// coded bytes beside it.
TEST_F(RoundTrip, UnusualButValidDatabaseComesBackByteForByte) {
    UnpackAndPack(UnusualDatabase());
    ExpectSameDatabase(original_.Path(), Packed(), "speech.vox");
    EXPECT_EQ(ReadFileBytes(original_.File("speech.vox")), ReadFileBytes(Packed() + "/speech.vox"));
    EXPECT_EQ(unpackLog_.All(), "");
    EXPECT_EQ(packLog_.All(), "");  // nothing coded again
    EXPECT_EQ(ListFolder(Unpacked() + "/waves"),
              (std::vector<std::string>{"f0000-v00.coded", "f0000-v00.wav", "f0000-v05.coded",
                                        "f0000-v05.wav", "slot00004.coded", "slot00004.wav"}));
    EXPECT_NE(Description().find(
                  "entry 0,2 waves/f0000-v00.wav decoded=3200 coded=waves/f0000-v00.coded "),
              std::string::npos);
    std::vector<uint8_t> pcm;
    ASSERT_TRUE(ReadWave(Unpacked() + "/waves/f0000-v05.wav", pcm));
    EXPECT_EQ(pcm.size(), 2240u);  // 7 whole frames of the 1125 samples
    ASSERT_TRUE(ReadWave(Unpacked() + "/waves/slot00004.wav", pcm));
    EXPECT_EQ(pcm.size(), 640u);
}

// Files that are odd but readable: unpack says what it found, and pack gives the database back.
TEST_F(RoundTrip, OddFilesComeBackWithANote) {
    const auto patch = [this](const char* file, std::vector<std::pair<size_t, uint8_t>> bytes) {
        std::vector<uint8_t> contents = ReadFileBytes(original_.File(file));
        for (const auto& [at, value] : bytes) contents[at] = value;
        WriteFileBytes(original_.File(file), contents);
    };
    DatabaseBuilder numbers;  // record number fields that differ from the position
    numbers.AddEntry(640, CodedSine(400, 320));
    numbers.AddFragment({{0, 0}});
    numbers.AddFragment({{1, 0}});
    numbers.AddEval({{1, 1}});
    numbers.AddComm({.entries = {1}});
    DatabaseBuilder unreferenced;
    unreferenced.AddEntry(640, CodedSine(400, 320));
    unreferenced.AddUnreferencedBytes(std::vector<uint8_t>(37, 0xAB));
    unreferenced.AddEntry(960, CodedSine(600, 480));
    unreferenced.AddSharedSlot(1);
    unreferenced.AddFragment({{0, 0}, {1, 1}, {2, 2}});
    DatabaseBuilder undecodable;
    undecodable.AddEntry(640, {1, 2, 3, 4});
    undecodable.AddFragment({{0, 0}});
    DatabaseBuilder outside;
    outside.AddEntry(640, CodedSine(400, 320));
    outside.AddEntry(640, CodedSine(500, 320));
    outside.AddFragment({{0, 0}, {1, 1}});
    const struct {
        const char* what;
        const DatabaseBuilder& db;
        std::function<void()> damage;
        std::string note;
        std::string described;
        size_t dropped;  // bytes the packed talk file holds fewer
    } cases[] = {
        {"numbers", numbers,
         [&] {
             // fragment 0's number field 0x1234, fragment 1's 0, eval 0's 0xFFFF
             patch("fragFile.bin", {{0, 0x34}, {1, 0x12}, {8, 0}});
             patch("evalFile.bin", {{0, 0xFF}, {1, 0xFF}});
         },
         "", "frag 0 number=4660 0:0\nfrag 1 number=0 1:0", 0},
        {"unreferenced bytes", unreferenced, [] {}, "37 bytes belong to no entry", "", 37},
        {"coded bytes that do not decode, kept", undecodable, [] {}, "do not decode", "", 0},
        {"a slot pointing outside the file, described as empty", outside,
         [&] {
             patch("speech.vox", {{16, 0xF0}, {17, 0xFF}, {18, 0xFF}, {19, 0x7F}});
         },
         // the entry it held is then referenced by no slot: 8 bytes of fields, 40 coded
         "slot 1 points at offset 2147483632", "", 48},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Unpacked());
        std::filesystem::remove_all(Packed());
        unpackLog_ = {};
        c.db.WriteTo(original_.Path(), "speech.vox");
        c.damage();
        Unpack();
        Pack();
        ExpectSameDatabase(original_.Path(), Packed(), "speech.vox");
        EXPECT_EQ(ReadFileBytes(Packed() + "/speech.vox").size() + c.dropped,
                  ReadFileBytes(original_.File("speech.vox")).size());
        EXPECT_NE(unpackLog_.All().find(c.note), std::string::npos) << unpackLog_.All();
        EXPECT_NE(Description().find(c.described), std::string::npos) << Description();
    }
}

// A changed wave is coded again, a recording added by hand is coded, and the others are kept.
TEST_F(RoundTrip, EditedWavesAreCodedAndTheOthersAreNot) {
    UnpackAndPack(UnusualDatabase());
    const std::vector<uint8_t> louder = SinePcm(300, 2000, 12000);
    ASSERT_TRUE(WriteWave(Unpacked() + "/waves/f0000-v05.wav", louder.data(),
                          static_cast<uint32_t>(louder.size())));
    const std::vector<uint8_t> pcm = SinePcm(440, 800);
    ASSERT_TRUE(
        WriteWave(Unpacked() + "/waves/new.wav", pcm.data(), static_cast<uint32_t>(pcm.size())));
    std::string text = Description();
    text.replace(text.find("slots 6"), 7, "slots 7");
    text += "entry 6 waves/new.wav\nfrag 3 2:6\n";
    WriteText(Unpacked() + "/database.txt", text);
    TempDir again;
    std::string error;
    NoteLog log;
    ASSERT_TRUE(PackFolder(Unpacked(), again.File("db"), log, error)) << error;
    EXPECT_EQ(log.All(), "waves/f0000-v05.wav: changed since it was unpacked; coded again\n");
    const std::vector<uint8_t> talk = ReadFileBytes(again.File("db/speech.vox"));
    EXPECT_EQ(VoxFile::SlotCount(talk), 7u);
    VoxEntry changed, added, kept, before;
    ASSERT_TRUE(VoxFile::GetVoxEntry(talk, 3, changed));
    EXPECT_EQ(changed.decodedSize, 4000u);
    EXPECT_EQ(changed.codedSize, 240u);  // 12 whole frames of 320 PCM bytes, 20 coded bytes each
    ASSERT_TRUE(VoxFile::GetVoxEntry(talk, 6, added));
    EXPECT_EQ(added.decodedSize, 1600u);
    EXPECT_EQ(added.codedSize, 100u);
    ASSERT_TRUE(VoxFile::GetVoxEntry(talk, 0, kept));
    const std::vector<uint8_t> original = ReadFileBytes(original_.File("speech.vox"));
    ASSERT_TRUE(VoxFile::GetVoxEntry(original, 0, before));
    ASSERT_EQ(kept.codedSize, before.codedSize);
    EXPECT_TRUE(std::equal(kept.data, kept.data + kept.codedSize, before.data));
    FragTable frags;
    ASSERT_TRUE(frags.Load(again.File("db/fragFile.bin")));
    ListRecord record;
    ASSERT_TRUE(frags.GetRecord(3, record));
    EXPECT_EQ(frags.FindVoxIndex(record, 2), 6);
}

TEST_F(RoundTrip, IrregularTablesAreDescribedAsTheWorkbenchReadsThem) {
    DatabaseBuilder db;
    db.AddEntry(640, CodedSine(400, 320));
    db.AddFragment({{0, 0}});
    db.AddEval({{1, 0}});
    // The Elements byte claims 2 entries that lie beyond the end of the file: the workbench
    // reads them as fragment 0.
    db.AddComm({.entries = {}, .elementsOverride = 2});
    UnpackAndPack(db);
    EXPECT_NE(Description().find("comm 0 priority=0 position=0 bullseye=0 warp=0 evals=0 : 0 0"),
              std::string::npos);
    EXPECT_NE(unpackLog_.All().find("commFile.bin: not in the regular layout"), std::string::npos);
    ExpectSameDatabase(original_.Path(), Packed(), "speech.vox", false);
    const std::vector<uint8_t> comm = ReadFileBytes(Packed() + "/commFile.bin");
    EXPECT_EQ(comm.size(), 14u + 4u);
    CommRecord record;
    ASSERT_TRUE(CommTable::RecordAt(comm, 1, 0, record));
    EXPECT_EQ(record.elements, 2);
}

TEST_F(RoundTrip, UnpackSaysWhichLinePackWouldRefuse) {
    DatabaseBuilder db;
    db.AddEntry(640, CodedSine(400, 320));
    db.AddFragment({{0, 0}});
    db.AddEval({{1, 5}});  // fragment 5 does not exist
    db.AddComm({.entries = {0}});
    db.WriteTo(original_.Path());
    Unpack();
    EXPECT_NE(unpackLog_.All().find("database.txt:"), std::string::npos);
    EXPECT_NE(unpackLog_.All().find("names fragment 5, which does not exist (pack refuses"),
              std::string::npos)
        << unpackLog_.All();
    NoteLog log;
    std::string error;
    EXPECT_FALSE(PackFolder(Unpacked(), Packed(), log, error));
    EXPECT_FALSE(FileExists(Packed()));
}

TEST_F(RoundTrip, SideFilesAreCopiedByteForByte) {
    const std::string phrases = "Frag,Voice,Text\n0,,\"one, two\",three\r\n";
    const std::string names = "0,Call sign check\n";
    WriteText(original_.File("p.csv"), phrases);
    WriteText(original_.File("n.csv"), names);
    UnusualDatabase().WriteTo(original_.Path());
    NoteLog log;
    std::string error;
    ASSERT_TRUE(UnpackFolder(original_.Path(), "speech.vox", Unpacked(), log, error,
                             original_.File("p.csv"), original_.File("n.csv")))
        << error;
    EXPECT_NE(Description().find("phrases phrases.csv\ncommnames commnames.csv\n"),
              std::string::npos);
    Pack();
    EXPECT_EQ(ReadText(Packed() + "/phrases.csv"), phrases);
    EXPECT_EQ(ReadText(Packed() + "/commnames.csv"), names);
}

TEST_F(RoundTrip, UnpackRefusesATalkFileWhoseSlotZeroHoldsNoEntry) {
    DatabaseBuilder db;
    db.AddEntry(640, CodedSine(400, 320));
    db.AddFragment({{0, 0}});
    db.WriteTo(original_.Path());
    std::vector<uint8_t> talk = ReadFileBytes(original_.File("speech.vox"));
    WriteU32(talk.data() + 12, 100000);  // slot 0 points beyond the end
    WriteFileBytes(original_.File("speech.vox"), talk);
    NoteLog log;
    std::string error;
    EXPECT_FALSE(UnpackFolder(original_.Path(), "speech.vox", Unpacked(), log, error));
    EXPECT_NE(error.find("slot 0"), std::string::npos);
    EXPECT_FALSE(FileExists(Unpacked()));
}

// The entry's decodedSize, codedSize and coded bytes; empty where no whole entry lies.
std::vector<uint8_t> EntryAt(const std::vector<uint8_t>& talk, uint32_t offset, bool dropped) {
    if (dropped || !VoxFile::IsEntryAt(talk, offset)) return {};
    const uint32_t coded = ReadU32(talk.data() + offset + 4);
    return {talk.begin() + offset, talk.begin() + offset + 8 + coded};
}

// Three replaces of one voice and a revert to the first of them, through voxtool as a user
// makes them, and a line naming an offset where no entry lies: the history's lines and every
// take's bytes come back, that offset as a dropped take.
TEST_F(RoundTrip, HistoryAndEarlierTakesComeBack) {
    DatabaseBuilder db;
    db.AddEntry(640, CodedSine(400, 320));
    db.AddEntry(960, CodedSine(600, 480));
    db.AddFragment({{0, 0}, {1, 1}});
    db.AddEval({});
    db.AddComm({});
    db.WriteTo(original_.Path(), "speech.vox");
    const std::string talk = original_.File("speech.vox");
    TempDir config;
    for (const double hz : {300.0, 500.0, 700.0}) {
        const std::vector<uint8_t> pcm = SinePcm(hz, 800);
        const std::string wave = work_.File(std::to_string(static_cast<int>(hz)) + ".wav");
        WriteFileBytes(wave, MakeWaveBytes(pcm.data(), static_cast<uint32_t>(pcm.size())));
        ASSERT_EQ(RunVoxtool({"replace", talk, "0", "1", wave}, config.Path()).status, 0);
    }
    const ToolResult reverted = RunVoxtool({"revert", talk, "0", "1", "--to", "2"}, config.Path());
    ASSERT_EQ(reverted.status, 0) << reverted.err;
    HistoryLine stray;
    stray.time = "2026-12-07T15:38:15Z";
    stray.kind = "replace";
    stray.oldOffset = 7;
    stray.newOffset = ReadU32(ReadFileBytes(talk).data() + 12);  // slot 0's entry
    ASSERT_TRUE(AppendHistory(talk, {stray}));
    Unpack();
    EXPECT_EQ(ListFolder(Unpacked() + "/history").size(), 3u);  // the first and two replaced
    EXPECT_NE(unpackLog_.All().find("no whole entry lies at offset 7"), std::string::npos)
        << unpackLog_.All();
    Pack();

    History before, after;
    ASSERT_TRUE(ReadHistory(talk, before));
    ASSERT_TRUE(ReadHistory(Packed() + "/speech.vox", after));
    ASSERT_EQ(after.lines.size(), before.lines.size());
    ASSERT_EQ(before.lines.size(), 5u);
    const std::vector<uint8_t> a = ReadFileBytes(talk);
    const std::vector<uint8_t> b = ReadFileBytes(Packed() + "/speech.vox");
    for (size_t i = 0; i < before.lines.size(); ++i) {
        const HistoryLine& x = before.lines[i];
        const HistoryLine& y = after.lines[i];
        EXPECT_EQ(
            std::tie(x.time, x.kind, x.frag, x.voice, x.voxIndex, x.source.name, x.source.hash),
            std::tie(y.time, y.kind, y.frag, y.voice, y.voxIndex, y.source.name, y.source.hash))
            << i;
        EXPECT_EQ(EntryAt(a, x.newOffset, x.newDropped), EntryAt(b, y.newOffset, y.newDropped))
            << i;
        const std::vector<uint8_t> old = EntryAt(a, x.oldOffset, x.oldDropped);
        EXPECT_EQ(old, EntryAt(b, y.oldOffset, y.oldDropped)) << i;
        EXPECT_EQ(y.oldDropped, old.empty()) << i;
    }
    EXPECT_EQ(after.lines.back().oldOffset, 7u);
    ExpectSameDatabase(original_.Path(), Packed(), "speech.vox");
}

}  // namespace
}  // namespace vox::test
