// unpack then pack gives back the database: tables byte for byte, every talk entry with its
// decodedSize and coded bytes, also for unusual but valid layouts, odd files and the history.
// pack's refusals name the file and the line to look at; whatever ends pack or unpack early (a
// refusal, a stop, a failed write) leaves neither a target nor a temporary folder behind: their
// output folder is built beside the target, put in place in one step, and what killed runs left
// behind is cleared without touching anything else. voxtool unpack, pack and settings are run
// as a user runs them, for their exit status and what they print.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <numeric>
#include <string>
#include <thread>

#include "audio/wavefile.h"
#include "pack/outputfolder.h"
#include "pack/packer.h"
#include "pack/unpacker.h"
#include "talkdata/evaltable.h"
#include "talkdata/faultinjection.h"
#include "talkdata/fragtable.h"
#include "talkdata/progress.h"
#include "talkdata/talkhistory.h"
#include "talkdata/voxfile.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "tests/support/testsounds.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

// A database written to original_ as speech.vox, unpacked and packed through the library as
// voxtool does after opening it. The notes of both runs land in notes_, one a line.
class PackTest : public ::testing::Test {
  protected:
    void TearDown() override { faults::DisarmAll(); }
    bool Unpack(const std::string& to, std::string& error, const std::string& phrases = "",
                const std::string& commNames = "", const ProgressFn& progress = {}) {
        const std::string talk = original_.File("speech.vox");
        FragTable frags;
        EvalTable evals;
        History history;
        if (!frags.Load(original_.File("fragFile.bin")) ||
            !evals.Load(original_.File("evalFile.bin")))
            error = "tables do not load";
        if (!error.empty() || !ReadHistory(talk, history, &error)) return false;
        pack::Unpacker unpacker([this](const std::string& note) { notes_ += note + "\n"; });
        const bool ok = unpacker.Unpack({.talkName = "speech.vox",
                                         .talk = ReadFileBytes(talk),
                                         .frags = &frags,
                                         .evals = &evals,
                                         .comm = ReadFileBytes(original_.File("commFile.bin")),
                                         .phrasesPath = phrases,
                                         .commNamesPath = commNames,
                                         .history = &history},
                                        to, progress);
        error = unpacker.GetError();
        return ok;
    }
    bool Pack(const std::string& from, const std::string& to, std::string& error,
              const ProgressFn& progress = {}) {
        pack::Packer packer([this](const std::string& note) { notes_ += note + "\n"; });
        const bool ok = packer.Pack(from, to, progress);
        error = packer.GetError();
        return ok;
    }
    std::string In() const { return work_.File("in"); }
    std::string Out() const { return work_.File("out"); }

    TempDir original_;
    TempDir work_;
    std::string notes_;
};

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

constexpr uint64_t kRecordings = 3;  // the fixture's entries; its shared slot adds none

class PackerTest : public PackTest {
  protected:
    // Every unusual layout the tables allow at once: a shared entry, an absent slot, a
    // recording no fragment speaks, a fragment and an eval with nothing in them, a comm with
    // more entries than the form shows, one with none, and fields at the ends of their ranges.
    void SetUp() override {
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
        for (int i = 0; i < 40; ++i) many.push_back(static_cast<int16_t>(i % 2 == 0 ? i % 3 : -1));
        db.AddComm({.entries = many,
                    .warp = -32768,
                    .priority = 255,
                    .position = 7,
                    .bullseye = 32767,
                    .evals = 20,
                    .reserved = 0xBEEF});
        db.AddComm({.entries = {}});
        db.WriteTo(original_.Path());
        WriteText(original_.File("p.csv"), "Frag,Voice,Text\n0,,\"one, two\",three\r\n");
        UnpackIn();
        description_ = ReadText(In() + "/database.txt");
    }
    void UnpackIn() {
        std::filesystem::remove_all(In());
        std::string error;
        ASSERT_TRUE(Unpack(In(), error, original_.File("p.csv"))) << error;
    }
    // What the work folder holds besides the input: the target and any temporary folder.
    std::vector<std::string> Beside() const {
        std::vector<std::string> names = ListFolder(work_.Path());
        std::erase(names, "in");
        return names;
    }
    void Edit(const std::string& from, const std::string& to) {
        std::string text = description_;
        text.replace(text.find(from), from.size(), to);
        WriteText(In() + "/database.txt", text);
    }

    std::string description_;
};

// Each refusal starts with the file and the line to look at. history.txt is read whole before
// anything is written, like the description.
TEST_F(PackerTest, RefusesWhatCannotBePackedWithItsPlace) {
    const std::string wave = In() + "/waves/f0000-v05.wav";
    WriteSpeechWave(original_.File("outside.wav"), SinePcm(300, 800));
    const std::string good =
        "2026-12-07T15:38:15Z\treplace\t0\t0\t0\tx12\twaves/f0000-v00.wav\t-\ta.wav\n";
    const std::string taking = "2026-12-07T15:38:16Z\treplace\t0\t0\t0\twaves/f0000-v00.wav\t";
    const auto history = [&](const std::string& text) {
        WriteText(In() + "/history.txt", good + text);
        WriteFileBytes(In() + "/short.coded", {1, 2, 3});
    };
    const struct {
        const char* what;
        std::function<void()> damage;
        std::string line;  // text that starts the line of the description named, or the place
        std::string words;
    } cases[] = {
        {"a description that does not read", [&] { Edit("frag 0 0:0", "frag 0 14:0"); }, "frag 0 ",
         "voice: 14 does not fit"},
        {"a description that does not hold together", [&] { Edit("eval 0 9:2", "eval 0 9:3"); },
         "eval 0 ", "names fragment 3, which does not exist"},
        {"a fifo, instead of waiting for a writer",
         [&] {
             unlink(wave.c_str());
             mkfifo(wave.c_str(), 0600);
         },
         "entry 3 ", "waves/f0000-v05.wav: not a regular file"},
        {"a wave that is no sound", [&] { WriteText(wave, "RIFF this is not a sound"); },
         "entry 3 ", "waves/f0000-v05.wav: not a sound file"},
        {"a wave longer than a talk entry holds",  // one sample beyond 80960 bytes
         [&] { WriteSpeechWave(wave, SinePcm(300, 40481)); }, "entry 3 ",
         "(80962 bytes) long; a talk entry holds at most 80960 bytes"},
        {"a wave linked from outside the folder",
         [&] {
             unlink(wave.c_str());
             symlink(original_.File("outside.wav").c_str(), wave.c_str());
         },
         "entry 3 ", "a link that leads outside the folder"},
        {"a missing coded file", [&] { unlink((In() + "/waves/f0000-v05.coded").c_str()); },
         "entry 3 ", "waves/f0000-v05.coded: No such file"},
        {"a missing side file", [&] { unlink((In() + "/phrases.csv").c_str()); }, "phrases ",
         "phrases.csv: No such file"},
        {"a missing description", [&] { unlink((In() + "/database.txt").c_str()); }, "",
         "No such file"},
        {"a history line without a time",
         [&] { history("yesterday\treplace\t0\t0\t0\tx5\tx6\t-\t-\n"); }, "history.txt:2",
         "not a time"},
        {"a history line of too few fields", [&] { history(taking + "x7\t-\n"); }, "history.txt:2",
         "not 9 tab-separated fields"},
        {"a missing take", [&] { history(taking + "t9.coded\t-\tb.wav\n"); }, "history.txt",
         "t9.coded: No such file"},
        {"a take too short", [&] { history(taking + "short.coded\t-\tb.wav\n"); }, "history.txt",
         "short.coded: shorter than the 4 bytes of its decoded size"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UnpackIn();
        c.damage();
        std::string error;
        EXPECT_FALSE(Pack(In(), Out(), error));
        std::string place = "database.txt";
        const size_t at = description_.find("\n" + c.line);
        if (c.line.rfind("history", 0) == 0)
            place = c.line;
        else if (!c.line.empty())
            place += ":" + std::to_string(2 + std::count(description_.begin(),
                                                         description_.begin() + at, '\n'));
        EXPECT_EQ(error.rfind(In() + "/" + place + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.words), std::string::npos) << error;
        EXPECT_TRUE(Beside().empty());
    }
}

// A converted wave, a changed one and one added by hand are coded, and only those. A link to
// another name inside the folder is followed.
TEST_F(PackerTest, CodesNewAndChangedWavesAndKeepsTheOthers) {
    // one second at 44100 Hz in stereo
    WriteFileBytes(In() + "/stereo.wav",
                   Pcm16WaveBytes(44100, 2, std::vector<int16_t>(88200, 900)));
    const std::string linked = In() + "/waves/f0000-v05.wav";
    ASSERT_EQ(unlink(linked.c_str()), 0);
    ASSERT_EQ(symlink("../stereo.wav", linked.c_str()), 0);
    WriteSpeechWave(In() + "/waves/f0000-v00.wav", SinePcm(300, 2000, 12000));
    WriteSpeechWave(In() + "/new.wav", SinePcm(440, 800));
    WriteText(In() + "/database.txt", description_ + "entry 5 new.wav\n");
    notes_.clear();
    std::string error;
    ASSERT_TRUE(Pack(In(), Out(), error)) << error;
    EXPECT_EQ(notes_,
              "waves/f0000-v00.wav: changed since it was unpacked; coded again\n"
              "waves/f0000-v05.wav: converted from 44100 Hz stereo 16-bit to 8000 Hz mono "
              "16-bit\nwaves/f0000-v05.wav: changed since it was unpacked; coded again\n");
    const Bytes talk = ReadFileBytes(Out() + "/speech.vox");
    const std::pair<int, uint32_t> codedAgain[] = {{0, 4000}, {3, 16000}, {5, 1600}};
    for (const auto& [slot, decoded] : codedAgain) {
        VoxEntry entry;
        ASSERT_TRUE(VoxFile::GetVoxEntry(talk, slot, entry)) << slot;
        EXPECT_EQ(entry.decodedSize, decoded) << slot;
        EXPECT_EQ(entry.codedSize, decoded / 320 * 20) << slot;  // 20 bytes a whole frame of 320
    }
}

// Both count every recording once and end at the total; a stop at any step leaves nothing. Each
// file they write can fail; whichever does, the message names the file where the user would
// look for it, and nothing is left.
TEST_F(PackerTest, AStopAtAnyStepOrAFailedWriteLeavesNothingBehind) {
    for (const bool packing : {false, true}) {
        for (uint64_t stopAt = 0; stopAt <= kRecordings + 1; ++stopAt) {
            SCOPED_TRACE((packing ? "pack stopped at " : "unpack stopped at ") +
                         std::to_string(stopAt));
            std::vector<uint64_t> seen;
            const ProgressFn progress = [&](uint64_t done, uint64_t total) {
                EXPECT_EQ(total, kRecordings);
                seen.push_back(done);
                return done != stopAt;
            };
            std::string error;
            const bool ok = packing ? Pack(In(), Out(), error, progress)
                                    : Unpack(Out(), error, "", "", progress);
            std::vector<uint64_t> expected(std::min(stopAt, kRecordings) + 1);
            std::iota(expected.begin(), expected.end(), 0);
            EXPECT_EQ(seen, expected);
            EXPECT_EQ(ok, stopAt > kRecordings) << error;
            if (!ok) {
                EXPECT_EQ(error, std::string(packing ? "pack" : "unpack") +
                                     " stopped before the end; nothing was written");
            }
            EXPECT_EQ(Beside(), ok ? std::vector<std::string>{"out"} : std::vector<std::string>{});
            std::filesystem::remove_all(Out());
        }
        // unpack writes three waves, their coded bytes and database.txt; pack the talk file,
        // the three tables and the phrases
        const int files = packing ? 5 : 7;
        for (const char* point :
             {"safefile.create", "safefile.write", "safefile.sync", "safefile.rename"}) {
            for (int passes = 0; passes < files; ++passes) {
                SCOPED_TRACE(std::string(packing ? "pack " : "unpack ") + point + " after " +
                             std::to_string(passes));
                faults::Arm(point, passes);
                std::string error;
                EXPECT_FALSE(packing ? Pack(In(), Out(), error) : Unpack(Out(), error));
                faults::DisarmAll();
                EXPECT_EQ(error.rfind(Out() + "/", 0), 0u) << error;
                EXPECT_TRUE(Beside().empty());
            }
        }
    }
}

// An empty folder given as the target takes the database and keeps its permissions; a refusal
// leaves it empty, and a file somebody puts there while pack works stays. No bytes are
// unreferenced and the entries stand in file order, so even the talk file comes back the same.
// Slots 0 and 2 share one wave, named after its first speaker.
TEST_F(PackerTest, AnEmptyTargetTakesTheDatabaseByteForByteAndKeepsItsMode) {
    ASSERT_EQ(mkdir(Out().c_str(), 0700), 0);
    ASSERT_EQ(chmod(Out().c_str(), 0750), 0);
    std::string error;
    Edit("eval 0 9:2", "eval 0 9:3");
    EXPECT_FALSE(Pack(In(), Out(), error));
    EXPECT_TRUE(ListFolder(Out()).empty());
    WriteText(In() + "/database.txt", description_);
    const ProgressFn late = [this](uint64_t done, uint64_t) {
        if (done == kRecordings) WriteText(Out() + "/late.txt", "theirs");
        return true;
    };
    // Filled while pack works, the rename refuses; filled before, pack refuses at once.
    for (const ProgressFn& progress : {late, ProgressFn{}}) {
        EXPECT_FALSE(Pack(In(), Out(), error, progress));
        EXPECT_EQ(error, Out() + ": the folder is not empty (give a new or empty folder)");
        EXPECT_EQ(ListFolder(Out()), std::vector<std::string>{"late.txt"});
    }
    ASSERT_EQ(unlink((Out() + "/late.txt").c_str()), 0);
    ASSERT_TRUE(Pack(In(), Out(), error)) << error;
    for (const char* file : {"speech.vox", "fragFile.bin", "evalFile.bin", "commFile.bin"})
        EXPECT_EQ(ReadFileBytes(original_.File(file)), ReadFileBytes(Out() + "/" + file)) << file;
    EXPECT_EQ(ReadFileBytes(original_.File("p.csv")), ReadFileBytes(Out() + "/phrases.csv"));
    EXPECT_EQ(notes_, "");  // nothing odd, and nothing coded again
    EXPECT_EQ(ListFolder(In() + "/waves"),
              (std::vector<std::string>{"f0000-v00.coded", "f0000-v00.wav", "f0000-v05.coded",
                                        "f0000-v05.wav", "slot00004.coded", "slot00004.wav"}));
    std::vector<uint8_t> pcm;
    ASSERT_TRUE(ReadWave(In() + "/waves/f0000-v05.wav", pcm));
    EXPECT_EQ(pcm.size(), 2240u);  // 7 whole frames of the 1125 samples
    struct stat info {};
    ASSERT_EQ(stat(Out().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0750u);
    EXPECT_EQ(Beside(), std::vector<std::string>{"out"});
}

using pack::OutputFolder;

const std::vector<uint8_t> kBytes = {1, 2, 3};

class OutputFolderTest : public ::testing::Test {
  protected:
    std::string Target() const { return dir_.File("db"); }
    void MakeFolder(const std::string& name) {
        ASSERT_EQ(mkdir(dir_.File(name).c_str(), 0755), 0) << name;
        WriteText(dir_.File(name) + "/inside", "x");
    }

    TempDir dir_;
};

TEST_F(OutputFolderTest, BuildsBesideTheTargetAndAppearsOnlyOnCommitAlsoThroughALink) {
    {
        // Without a commit it removes its temporary folder and the parents it made.
        OutputFolder out;
        std::string why;
        ASSERT_TRUE(out.Check(dir_.File("a/b/db"), why) && out.Create(why)) << why;
        ASSERT_TRUE(out.WriteFile("x", kBytes, why)) << why;
    }
    EXPECT_TRUE(ListFolder(dir_.Path()).empty());
    OutputFolder out;
    std::string why;
    ASSERT_TRUE(out.Check(Target() + "/", why) && out.Create(why)) << why;
    ASSERT_TRUE(out.MakeSubfolder("waves", why) && out.WriteFile("waves/a.wav", kBytes, why))
        << why;
    const std::string temp = out.TemporaryPath();
    EXPECT_EQ(temp.rfind(Target() + ".partial-" + std::to_string(getpid()) + "-", 0), 0u) << temp;
    EXPECT_FALSE(FileExists(Target()));
    ASSERT_TRUE(out.Commit(why)) << why;
    EXPECT_EQ(ReadFileBytes(Target() + "/waves/a.wav"), kBytes);
    EXPECT_EQ(ListFolder(dir_.Path()), std::vector<std::string>{"db"});

    // A folder that a link names is replaced, and the link stays.
    ASSERT_EQ(mkdir(dir_.File("real").c_str(), 0755), 0);
    ASSERT_EQ(symlink("real", dir_.File("link").c_str()), 0);
    OutputFolder linked;
    ASSERT_TRUE(linked.Check(dir_.File("link"), why) && linked.Create(why) &&
                linked.WriteFile("x", kBytes, why) && linked.Commit(why))
        << why;
    struct stat info {};
    ASSERT_EQ(lstat(dir_.File("link").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFileBytes(dir_.File("real/x")), kBytes);
}

TEST_F(OutputFolderTest, RefusesWhatCannotBeReplacedInOneStep) {
    WriteText(dir_.File("file"), "mine");
    ASSERT_EQ(symlink("nowhere", dir_.File("dangling").c_str()), 0);
    MakeFolder("full");
    const struct {
        std::string path;
        std::string why;
    } cases[] = {
        {dir_.File("file"), dir_.File("file") + ": exists and is not a folder"},
        {dir_.File("full"), dir_.File("full") + ": the folder is not empty"},
        {dir_.File("dangling"), dir_.File("dangling") + ": No such file or directory"},
        {dir_.Path() + "/.", dir_.Path() + "/.: name the folder itself"},
        {dir_.Path() + "/..", dir_.Path() + "/..: name the folder itself"},
        {"/", "/: name the folder itself"},
        {"", "no folder given"},
    };
    for (const auto& c : cases) {
        OutputFolder out;
        std::string why;
        EXPECT_FALSE(out.Check(c.path, why)) << c.path;
        EXPECT_EQ(why.rfind(c.why, 0), 0u) << why;
    }
    EXPECT_EQ(ListFolder(dir_.Path()), (std::vector<std::string>{"dangling", "file", "full"}));
    EXPECT_EQ(ListFolder(dir_.File("full")), std::vector<std::string>{"inside"});
}

// Only folders named after this target, with our mark, whose process is gone, go; Create
// sweeps them too.
TEST_F(OutputFolderTest, ClearsOnlyTheStaleTemporaryFoldersOfItsTarget) {
    const pid_t child = fork();  // a pid that ran a moment ago and runs no more
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    const std::string gone = std::to_string(child);
    const std::string alive = std::to_string(getpid());
    std::vector<std::string> kept = {
        "db.partial-" + alive + "-Ab12Cd",  // a run still going
        "db.partial-" + gone + "-Ab12",     // not a name mkdtemp makes
        "db.partial-" + gone + "-Ab_2Cd",    "db.partial-x" + gone + "-Ab12Cd",
        "dbx.partial-" + gone + "-Ab12Cd",  // another target's
        "other.partial-" + gone + "-Ab12Cd",
    };
    for (const std::string& name : kept) MakeFolder(name);
    MakeFolder("db.partial-" + gone + "-Ab12Cd");
    kept.push_back("db.partial-" + gone + "-zzzzzz");
    WriteText(dir_.File(kept.back()), "a file, not a folder of ours");
    EXPECT_EQ(pack::SweepStalePartials(dir_.Path(), "db"), 1);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(ListFolder(dir_.Path()), kept);

    MakeFolder("db.partial-" + gone + "-Zz99Yy");
    OutputFolder out;
    std::string why;
    ASSERT_TRUE(out.Check(Target(), why) && out.Create(why)) << why;
    EXPECT_FALSE(FileExists(dir_.File("db.partial-" + gone + "-Zz99Yy")));
}

// The side files come from the settings: a plain set, and --if-empty only where none is set. A
// refusal exits with 1 and names the file and the line, and leaves no folder.
TEST(VoxtoolPack, UnpackAndPackTakeTheSideFilesTheSettingsNameAndRefuseWithTheirPlace) {
    TempDir dir;
    TempDir config;
    DatabaseBuilder db;
    db.AddEntry(3200, CodedSine(300, 1600));
    db.AddFragment({{0, 0}});
    const std::string talk = db.WriteTo(dir.Path(), "radio.vox");
    WriteText(dir.File("phrases.csv"), "Frag,Voice,Text\n0,,alpha\n");
    WriteText(dir.File("names.csv"), "0,Call sign check\n");
    const auto run = [&](const std::vector<std::string>& args) {
        return RunVoxtool(args, config.Path());
    };
    for (const auto& args :
         {std::vector<std::string>{"settings", "Data", "Comms", dir.File("names.csv")},
          {"settings", "--if-empty", "Data", "Phrases", dir.File("phrases.csv")},
          {"settings", "--if-empty", "Data", "Phrases", "/elsewhere.csv"},
          {"unpack", talk, dir.File("u")},
          {"pack", dir.File("u"), dir.File("p")}}) {
        const ToolResult r = run(args);
        EXPECT_EQ(r.status, 0) << args[0] << r.err;
        EXPECT_EQ(r.err, "") << args[0];
    }
    EXPECT_EQ(run({"settings", "Data", "Phrases"}).out, dir.File("phrases.csv") + "\n");
    EXPECT_EQ(ReadText(dir.File("p/phrases.csv")), "Frag,Voice,Text\n0,,alpha\n");
    EXPECT_EQ(ReadText(dir.File("p/commnames.csv")), "0,Call sign check\n");

    EXPECT_EQ(run({"unpack", dir.File("none.vox"), dir.File("x")}).status, 1);
    EXPECT_FALSE(FileExists(dir.File("x")));
    WriteText(dir.File("u/database.txt"), "voxbench-unpacked 1\ntalk a.vox\nentry 0 none.wav\n");
    const ToolResult r = run({"pack", dir.File("u"), dir.File("x")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "voxtool: " + dir.File("u/database.txt") +
                         ":3: none.wav: No such file or directory\n");
    EXPECT_FALSE(FileExists(dir.File("x")));
}

// Ctrl+C is sent again and again to a pack on a terminal: voxtool ignores it until its progress
// is watching (as it was started ignoring it), then stops at the next recording.
TEST(VoxtoolPack, CtrlCStopsAPackOnATerminalWithNothingWritten) {
    TempDir dir;
    const std::string in = dir.File("in");
    ASSERT_EQ(mkdir(in.c_str(), 0755), 0);
    WriteSpeechWave(in + "/a.wav", SinePcm(440, 8000));  // a second, coded by pack for each entry
    std::string description = "voxbench-unpacked 1\ntalk big.vox\n";
    for (int i = 0; i < 300; ++i) description += "entry " + std::to_string(i) + " a.wav\n";
    WriteText(in + "/database.txt", description);
    // Ignored from before the fork, so that no early Ctrl+C finds the child unprotected.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGINT, &ignore, &previous);
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child != 0) sigaction(SIGINT, &previous, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
        execl(VOXTOOL_PATH, VOXTOOL_PATH, "pack", in.c_str(), dir.File("out").c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (waitpid(child, &status, WNOHANG) == 0) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "voxtool pack did not end";
        kill(child, SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // What it wrote waits in the terminal, a few bytes; EIO once all is read.
    std::string shown;
    char buffer[256];
    for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, static_cast<size_t>(got));
    close(terminal);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_TRUE(shown.ends_with("voxtool: pack: interrupted\r\n")) << shown;  // the line end
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"in"});
}

}  // namespace
}  // namespace vox::test
