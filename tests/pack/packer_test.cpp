// pack's refusals: each names the file and line, and nothing is written anywhere.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>

#include "audio/wavefile.h"
#include "talkdata/faultinjection.h"
#include "talkdata/voxfile.h"
#include "tests/pack/packfixtures.h"
#include "tests/support/tempdir.h"

namespace vox::test {
namespace {

class PackerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DatabaseBuilder db;
        db.AddEntry(3200, CodedSine(300, 1600));
        db.AddEntry(640, CodedSine(500, 320));
        db.AddFragment({{0, 0}, {4, 1}});
        db.AddEval({{1, 0}});
        db.AddComm({.entries = {0, -0}});
        db.WriteTo(original_.Path());
        WriteText(original_.File("p.csv"), "header\n0,,zero\n");
        NoteLog log;
        std::string error;
        ASSERT_TRUE(
            UnpackFolder(original_.Path(), "speech.vox", In(), log, error, original_.File("p.csv")))
            << error;
        description_ = ReadText(In() + "/database.txt");
    }
    void TearDown() override { faults::DisarmAll(); }

    std::string In() const { return work_.File("in"); }
    std::string Out() const { return work_.File("out"); }
    void Edit(const std::string& from, const std::string& to) {
        std::string text = description_;
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        WriteText(In() + "/database.txt", text);
    }
    // The line of the description that holds text.
    int LineOf(const std::string& text) const {
        const size_t at = description_.find(text);
        return 1 + static_cast<int>(std::count(description_.begin(),
                                               description_.begin() + static_cast<long>(at), '\n'));
    }
    // Packs and expects a refusal that starts with the description's path and the line.
    void ExpectRefused(int line, const std::string& words) {
        NoteLog log;
        std::string error;
        EXPECT_FALSE(PackFolder(In(), Out(), log, error));
        const std::string place =
            In() + "/database.txt" + (line > 0 ? ":" + std::to_string(line) : "") + ": ";
        EXPECT_EQ(error.rfind(place, 0), 0u) << error;
        EXPECT_NE(error.find(words), std::string::npos) << error;
        EXPECT_EQ(ListFolder(work_.Path()), std::vector<std::string>{"in"})
            << "a refusal left a folder behind";
    }

    TempDir original_;
    TempDir work_;
    std::string description_;
};

// Each refusal names the description and the line to look at (none for the description
// itself), and leaves no output folder.
TEST_F(PackerTest, RefusesWhatCannotBePackedWithItsPlace) {
    const std::string wave = In() + "/waves/f0000-v04.wav";
    const std::vector<uint8_t> tooLong = SinePcm(300, 40481);  // one sample beyond 80960 bytes
    const struct {
        const char* what;
        std::function<void()> damage;
        std::string line;  // text that starts the line named; empty: no line
        std::string words;
    } cases[] = {
        {"a description that does not read", [&] { Edit("frag 0 0:0 4:1", "frag 0 0:0 14:1"); },
         "frag 0 ", "voice: 14 does not fit"},
        {"a description that does not hold together", [&] { Edit("eval 0 1:0", "eval 0 1:3"); },
         "eval 0 ", "names fragment 3, which does not exist"},
        {"a missing wave", [&] { unlink(wave.c_str()); }, "entry 1 ",
         "waves/f0000-v04.wav: No such file"},
        {"a fifo, instead of waiting for a writer",
         [&] {
             unlink(wave.c_str());
             mkfifo(wave.c_str(), 0600);
         },
         "entry 1 ", "waves/f0000-v04.wav: not a regular file"},
        {"a wave that is no sound", [&] { WriteText(wave, "RIFF this is not a sound"); },
         "entry 1 ", "waves/f0000-v04.wav: not a sound file"},
        {"a wave longer than a talk entry holds",
         [&] { WriteWave(wave, tooLong.data(), static_cast<uint32_t>(tooLong.size())); },
         "entry 1 ", "(80962 bytes) long; a talk entry holds at most 80960 bytes"},
        {"a missing coded file", [&] { unlink((In() + "/waves/f0000-v04.coded").c_str()); },
         "entry 1 ", "waves/f0000-v04.coded: No such file"},
        {"a missing side file", [&] { unlink((In() + "/phrases.csv").c_str()); }, "phrases ",
         "phrases.csv: No such file"},
        {"a missing description", [&] { unlink((In() + "/database.txt").c_str()); }, "",
         "No such file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(In());
        NoteLog log;
        std::string error;
        ASSERT_TRUE(
            UnpackFolder(original_.Path(), "speech.vox", In(), log, error, original_.File("p.csv")))
            << error;
        c.damage();
        ExpectRefused(c.line.empty() ? 0 : LineOf(c.line), c.words);
    }
}

// A link may lead to another name inside the folder, never out of it: pack would copy whatever
// it names into the database.
TEST_F(PackerTest, RefusesAWaveLinkedFromOutsideTheFolder) {
    const std::string wave = In() + "/waves/f0000-v04.wav";
    ASSERT_EQ(rename(wave.c_str(), (In() + "/inside.wav").c_str()), 0);
    ASSERT_EQ(symlink("../inside.wav", wave.c_str()), 0);
    NoteLog log;
    std::string error;
    ASSERT_TRUE(PackFolder(In(), Out(), log, error)) << error;
    ASSERT_EQ(rename((In() + "/inside.wav").c_str(), original_.File("outside.wav").c_str()), 0);
    ASSERT_EQ(unlink(wave.c_str()), 0);
    ASSERT_EQ(symlink(original_.File("outside.wav").c_str(), wave.c_str()), 0);
    std::filesystem::remove_all(Out());
    ExpectRefused(LineOf("entry 1 "), "a link that leads outside the folder");
}

TEST_F(PackerTest, FillsAnEmptyFolderAndLeavesItEmptyOnRefusal) {
    ASSERT_EQ(mkdir(Out().c_str(), 0700), 0);
    Edit("eval 0 1:0", "eval 0 1:3");
    NoteLog log;
    std::string error;
    EXPECT_FALSE(PackFolder(In(), Out(), log, error));
    EXPECT_TRUE(ListFolder(Out()).empty());
    WriteText(In() + "/database.txt", description_);
    ASSERT_TRUE(PackFolder(In(), Out(), log, error)) << error;
    EXPECT_EQ(ListFolder(Out()).size(), 5u);
}

// Each of the six files can fail to be written (create, write, sync or rename); whichever
// does, the command fails and no file or folder of its own is left.
TEST_F(PackerTest, AFailedWriteLeavesNothingBehind) {
    for (const char* point : {"safefile.create", "safefile.sync", "safefile.rename"}) {
        for (int passes = 0; passes < 5; ++passes) {
            faults::Arm(point, passes);
            NoteLog log;
            std::string error;
            EXPECT_FALSE(PackFolder(In(), Out() + "/db", log, error)) << point << " " << passes;
            faults::DisarmAll();
            EXPECT_FALSE(error.empty());
            EXPECT_FALSE(FileExists(Out())) << point << " after " << passes;
        }
    }
}

TEST_F(PackerTest, ConvertsA44kStereoWaveWithANote) {
    std::vector<int16_t> frames;
    for (int i = 0; i < 44100; ++i) {  // one second: a 440 Hz tone left, silence right
        frames.push_back(
            static_cast<int16_t>(16000 * std::sin(2 * std::numbers::pi * 440 * i / 44100.0)));
        frames.push_back(0);
    }
    WriteFileBytes(In() + "/waves/f0000-v04.wav", Pcm16WaveBytes(44100, 2, frames));
    NoteLog log;
    std::string error;
    ASSERT_TRUE(PackFolder(In(), Out(), log, error)) << error;
    ASSERT_EQ(log.notes.size(), 2u) << log.All();
    EXPECT_EQ(log.notes[0],
              "waves/f0000-v04.wav: converted from 44100 Hz stereo 16-bit to 8000 Hz mono 16-bit");
    EXPECT_EQ(log.notes[1], "waves/f0000-v04.wav: changed since it was unpacked; coded again");
    VoxEntry entry;
    ASSERT_TRUE(VoxFile::GetVoxEntry(ReadFileBytes(Out() + "/speech.vox"), 1, entry));
    EXPECT_EQ(entry.decodedSize, 16000u);  // one second at 8000 Hz, 16-bit
    EXPECT_EQ(entry.codedSize, 1000u);
}

// history.txt is read whole before anything is written: a line that is not of the format or a
// take file that cannot be used is refused with its place, and no output is left.
TEST_F(PackerTest, RefusesAHistoryThatDoesNotRead) {
    const std::string good =
        "2026-12-07T15:38:15Z\treplace\t0\t0\t0\tx12\twaves/f0000-v00.wav\t-\ta.wav\n";
    const std::string taking = "2026-12-07T15:38:16Z\treplace\t0\t0\t0\twaves/f0000-v00.wav\t";
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {good + "yesterday\treplace\t0\t0\t0\tx5\tx6\t-\t-\n", "history.txt:2: not a time"},
        {good + taking + "x7\t-\n", "history.txt:2: not 9 tab-separated fields"},
        {good + taking + "history/t9.coded\t-\tb.wav\n",
         "history.txt: history/t9.coded: No such file"},
        {good + taking + "history/short.coded\t-\tb.wav\n",
         "history.txt: history/short.coded: shorter than the 4 bytes of its decoded size"},
    };
    ASSERT_EQ(mkdir((In() + "/history").c_str(), 0777), 0);
    WriteFileBytes(In() + "/history/short.coded", {1, 2, 3});
    for (const auto& c : cases) {
        WriteText(In() + "/history.txt", c.text);
        NoteLog log;
        std::string error;
        EXPECT_FALSE(PackFolder(In(), Out(), log, error));
        EXPECT_EQ(error.rfind(In() + "/" + c.error, 0), 0u) << error;
        EXPECT_FALSE(FileExists(Out()));
    }
    WriteText(In() + "/history.txt", good);
    NoteLog log;
    std::string error;
    ASSERT_TRUE(PackFolder(In(), Out(), log, error)) << error;
    const std::vector<uint8_t> talk = ReadFileBytes(Out() + "/speech.vox");
    EXPECT_EQ(ReadText(Out() + "/speech.vox.history"),
              good.substr(0, good.find("waves/")) + std::to_string(ReadU32(talk.data() + 12)) +
                  "\t-\ta.wav\n");
}

}  // namespace
}  // namespace vox::test
