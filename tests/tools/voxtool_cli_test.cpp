// voxtool's command line as scripts meet it: arguments in, stdout, stderr and exit status out.
// What the commands leave in the files is the library's tests. The rows run in order on one
// database, so that each command meets what the ones before it wrote.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <regex>

#include "talkdata/writerlock.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "tests/support/testsounds.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

using Out = ToolIo::Out;

// Without a sound device nothing is heard, which counts as a failure (a script must not take
// silence for a played sound); with one, the row must succeed.
constexpr int kPlays = -2;
const std::string kNoDevice = "voxtool: no usable sound device; nothing was heard\n";

struct Case {
    std::vector<std::string> args;  // "{talk}", "{wave}" and the like stand for the files
    int status;
    std::string out;  // regular expressions, searched for in all of stdout and stderr
    std::string err;
    bool locked = false;  // another program holds the database for writing meanwhile
    std::string in = "/dev/null";
    Out to = Out::kCaptured;
};

class Voxtool : public ::testing::Test {
  protected:
    void SetUp() override {
        // The play commands use the real sound library; under the leak checker its memory
        // kept for the process's life is excused (the tool's own is still checked).
        setenv("LSAN_OPTIONS", "print_suppressions=0:suppressions=" LSAN_THIRDPARTY_SUPPRESSIONS,
               1);
        const char* asan = std::getenv("ASAN_OPTIONS");
        setenv("ASAN_OPTIONS",
               (std::string(asan != nullptr && asan[0] != '\0' ? asan + std::string(":") : "") +
                "fast_unwind_on_malloc=0")
                   .c_str(),
               1);
        DatabaseBuilder db;
        db.AddEntry(640, {1, 2, 3, 4});
        db.AddFragment({});
        db.AddFragment({{0, 0}});  // its recording does not decode
        db.AddEval({{1, 0}});
        db.AddEval({{2, 0}});
        db.AddComm({.entries = {0, -1}, .evals = 1});
        files_["{talk}"] = db.WriteTo(dir_.Path());
        files_["{wave}"] = WriteSpeechWave(dir_.File("take.wav"), SinePcm(440, 4000, 6000));
        files_["{quiet}"] = WriteSpeechWave(dir_.File("quiet.wav"), SinePcm(440, 8000, 650));
        // A studio take of 2 s, also as the one wave of a list to import, and one too long.
        for (const auto& [name, seconds] : {std::pair{"{flac}", 2}, std::pair{"{long}", 6}}) {
            files_[name] = dir_.File(std::to_string(seconds) + ".flac");
            WriteFileBytes(files_[name], SoundFileBytes(SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 2,
                                                        SineFrames(440, 0.3, 44100, 2, seconds)));
        }
        WriteFileBytes(dir_.File("0-3.wav"), ReadFileBytes(files_["{flac}"]));
        ASSERT_EQ(mkdir(dir_.File("out").c_str(), 0700), 0);
        files_["{badlist}"] = dir_.Write(
            "bad.csv", "; Filenames of saved voxfile wav files\r\n0-3;.lh\r\n0-7;.lh\r\n");
        // A Latin-1 "é" and a UTF-8 "é" must both come out as the UTF-8 one; a "€" as it is.
        files_["{phrases}"] = dir_.File("phrases.csv");
        WriteFileBytes(files_["{phrases}"], {'N', '\n', '0', ',', 'x', ',', 0xE9, ',', 0xC3, 0xA9,
                                             ',', 0xE2, 0x82, 0xAC});
        files_["{search}"] =
            dir_.Write("search.csv", "N,Notes,Voice 0,Voice 1\n0,x,Halt bandit,The BANDITS ran\n");
        files_["{names}"] = dir_.Write("names.csv", "0,Greeting\n1,Bandit camp\n");
    }
    ToolResult Run(const Case& c) {
        std::vector<std::string> args;
        for (const std::string& arg : c.args) args.push_back(files_.count(arg) ? files_[arg] : arg);
        ToolIo io;
        io.in = files_.count(c.in) ? files_[c.in] : c.in;
        io.out = c.to;
        io.folder = dir_.File("out");
        WriterLock other;
        if (c.locked) {
            EXPECT_TRUE(other.Acquire(files_["{talk}"])) << other.GetError();
        }
        return RunVoxtool(args, config_.Path(), io);
    }

    TempDir dir_;
    TempDir config_;
    std::map<std::string, std::string> files_;
};

TEST_F(Voxtool, EachCommandLineAnswersWithItsStatusStdoutAndStderr) {
    const std::string none = "^$";
    const std::string full = "^voxtool: standard output: No space left on device\n$";
    const std::string history =
        "^([0-9T:Z-]{20}  (replace|revert)  fragment 0 voice [234]  slot "
        "[0-9]  [0-9]+ -> [0-9]+  [^\n]+\n){";
    const std::vector<Case> cases = {
        // grep's convention: stdout holds matches only
        {{"find", "frag-in-eval", "{talk}", "7"}, 1, none, "^voxtool: No matches\n$"},
        {{"find", "frag-in-eval", "{talk}", "0"}, 0, "^0\n1\n$", none},
        {{"find", "frag-in-comm", "{talk}", "0"}, 0, "^0\n$", none},
        {{"find", "eval-in-comm", "{talk}", "5", "--json"}, 1, R"("matches": \[\])", "No matches"},
        {{"find", "frag-in-eval", "{talk}", "12abc"}, 2, none, "^voxtool: N: "},
        {{"search", "{talk}", "bAnDiT", "--phrases", "{search}", "--names", "{names}"},
         0,
         "^fragment 0 voice 0: Halt bandit\nfragment 0 voice 1: The BANDITS ran\n"
         "comm 1: Bandit camp\n$",
         none},
        {{"search", "{talk}", "hal", "--phrases", "{search}", "--json"},
         0,
         R"("fragment": 0,\s*"kind": "phrase",\s*"text": "Halt bandit",\s*"voice": 0)",
         none},
        {{"search", "{talk}", "dragon", "--names", "{names}", "--json"},
         1,
         "^\\[\\]\n$",
         "No match"},
        {{"search", "{talk}", "x", "--phrases", "none.csv"}, 1, none, "none.csv"},
        // numbers are typed, with their ranges
        {{"wav", "{talk}", "0", "14", "x.wav"}, 2, none, "V: Value 14 not in range 0 to 13"},
        {{"history", "{talk}", "0", "14"}, 2, none, "14 not in range 0 to 13"},
        {{"add", "--help"}, 0, R"(V INT:INT in \[0 - 13\])", none},
        // commands
        {{"inf", "{talk}"}, 2, none, "^voxtool: unknown command 'inf'; did you mean 'info'\\?\n"},
        {{"-q", "no-such-command"}, 2, none, "^voxtool: unknown command 'no-such-command'\nTry"},
        {{"--version"}, 0, "^voxtool [0-9]", none},
        // reading
        {{"dump", "{talk}"}, 0, R"("index": 1,\s*"frag": 0)", none},
        {{"dump", "{talk}", "--phrases", "{phrases}"},
         0,
         "\"text\": \"\xC3\xA9\"[\\s\\S]*\"text\": \"\xC3\xA9\"[\\s\\S]*\"text\": \"\xE2\x82\xAC\"",
         none},
        {{"dump", "{talk}", "--names", "nothing.csv"}, 1, none, "nothing.csv: No such file"},
        {{"dump", "{talk}", "--names", "/"}, 1, none, "^voxtool: /: Is a directory\n$"},
        {{"play-file", "/dev/null"}, 1, none, "^voxtool: /dev/null: not a regular file\n$"},
        {{"info", "{talk}"},
         0,
         "Fragments: +2 with 1 voices\nEvals: +2 with 2 alternatives\nComms: +1 with 2 entries\n",
         none},
        {{"info", "{talk}", "--json"}, 0, R"("seconds": 0\.04,)", none},  // 640 bytes of speech
        {{"info", "none.vox"}, 1, none, "none.vox"},
        {{"export", "{talk}", "--from", "0", "--to", "0", "--list", "-"},
         1,
         "^; Filenames",
         "^voxtool: 0 \\.wav files saved\nvoxtool: fragments 0 to 0 hold no recording to "
         "export\n$"},
        {{"verify", "{talk}", "--json"},
         1,
         R"("problems": 1,\s*"findings": \[\s*\{\s*"file": "speech.vox",\s*"place": "slot 0)",
         none},
        {{"verify", "{talk}"},
         1,
         "^speech.vox: slot 0 \\(byte 12\\): [^\n]+\n1 problem found\n$",
         none},
        // - is standard input for takes, standard output for waves and the export list
        {{"add", "{talk}", "0", "2", "{wave}"}, 0, "^1\n$", none},
        {{"add", "{talk}", "0", "4", "-"}, 0, "^2\n$", none, false, "{wave}"},
        {{"add", "{talk}", "0", "4", "{wave}"}, 1, none, "^voxtool: Add new fragment failed\n"},
        {{"add", "{talk}", "0", "5", "none.wav"}, 1, none, "^voxtool: none.wav: No such file"},
        {{"replace", "{talk}", "0", "5", "{wave}"},
         1,
         none,
         "^voxtool: fragment 0 has no voice 5\n$"},
        {{"wav", "{talk}", "0", "2", "-"}, 0, "^RIFF", none},
        {{"wav", "{talk}", "0", "1", "-"}, 1, none, "fragment 0 has no recording in voice 1\n$"},
        {{"wav", "{talk}", "1", "0", "-"}, 1, none, "fragment 1 in voice 0 does not decode\n$"},
        // the rest is exported, but a recording skipped makes the export a failure
        {{"-q", "export", "{talk}", "--list", "-"}, 1, "0-4;\\.lh", "^[^\n]+skipped\n$"},
        {{"export", "{talk}", "--from", "1", "--to", "0", "--list", "-"},
         0,
         "^; Filenames[^\n]+\r\n; for later[^\n]+\r\n$",
         none},
        {{"export", "{talk}", "--list", "no/list.csv"}, 1, none, "no/list.csv"},
        {{"export", "{talk}", "--from", "0", "--to", "0", "--list", "-"},
         0,
         "0-2;\\.lh",
         "^voxtool: 2 \\.wav files saved\n$"},
        {{"replace", "{talk}", "0", "2", "-"}, 1, none, "^voxtool: Bad wave file\n"},
        {{"play-file", "-", "--coded"}, 1, none, "^voxtool: standard input: "},
        // takes in other formats, too long, too quiet
        {{"add", "{talk}", "0", "3", "{flac}"},
         0,
         "^3\n$",
         "2.flac: converted from 44100 Hz stereo FLAC 24-bit\n$"},
        {{"replace", "{talk}", "0", "3", "{long}"},
         1,
         none,
         "^voxtool: Bad wave file\n6.00 s long; a talk entry holds at most 5.06 s; --trim "
         "stores the first 5.06 s\n$"},
        {{"replace", "{talk}", "0", "3", "{long}", "--trim"},
         0,
         none,
         "24-bit\nvoxtool: .*6.flac: cut to the first 5.06 s of 6.00 s\n$"},
        {{"replace", "{talk}", "0", "2", "{quiet}"},
         0,
         none,
         "quiet.wav: warning: [0-9.]+ LU quieter than the fragment's other voices"},
        {{"levels", "{talk}"},
         1,
         "^ frag voice  entry    LUFS    dBFS clips  lead trail  flags\n[\\s\\S]*\n"
         "4 of 4 recordings flagged\nundecodable: fragment 1 voice 0\nloudness: fragment 0 voice 2 "
         "\\(-",
         none},
        {{"replace", "{talk}", "0", "2", "{quiet}", "--normalize"},
         0,
         none,
         "^voxtool: [^\n]+quiet.wav: normalized to -[0-9.]+ LUFS[^\n]*\n$"},
        {{"levels", "{talk}", "--json"}, 1, R"("flagged": 1\b)", none},
        // the history of replaced takes
        {{"history", "{talk}"}, 0, history + "3}$", none},
        {{"history", "{talk}", "0", "2", "--json"},
         0,
         R"(^\{\s*"lines": \[\s*\{\s*"line": 2,)",
         none},
        {{"revert", "{talk}", "0", "2", "--to", "3"},
         1,
         none,
         "fragment 0 voice 2 has only 2 earlier takes in the history\n$"},
        {{"revert", "{talk}", "0", "2", "--to", "2"},
         0,
         "^fragment 0 voice 2: take 1 \\(from before the history\\) is current again\n$",
         none},
        {{"revert", "{talk}", "0", "4"}, 1, none, "voice 4 has no earlier take in the history\n$"},
        {{"compact", "{talk}"},
         0,
         "^0 bytes reclaimed \\(([0-9]+) -> \\1 bytes\\)\nkept 3 earlier takes \\([0-9]+ bytes\\) "
         "named by the history\n$",
         none},
        {{"compact", "{talk}", "--drop-history"},
         0,
         "^[1-9][0-9]* bytes reclaimed[^\n]*\ndropped 3 earlier takes of the history; reverting "
         "to them is refused\n$",
         none},
        // re-installing an export
        {{"export", "{talk}", "--list", "ex.csv"}, 1, "^3 \\.wav files saved\n$", "skipped\n$"},
        {{"import", "{talk}", "ex.csv"}, 0, "^0 replaced, 3 unchanged, 0 refused\n$", none},
        {{"import", "ex.csv", "{talk}"},
         2,
         none,
         "^voxtool: import takes the talk file first: voxtool import .*speech.vox ex.csv\n$"},
        {{"import", "{talk}", "{badlist}"},
         1,
         "^1 replaced, 0 unchanged, 1 refused\n$",
         "bad.csv line 2 \"0-3;.lh\": 0-3.wav: converted from 44100 Hz stereo FLAC 24-bit\n"
         "voxtool: [^\n]*bad.csv line 3 \"0-7;.lh\": fragment 0 has no voice 7\n$"},
        {{"import", "{talk}", "none.csv"}, 1, none, "none.csv: missing file\n$"},
        // writers are refused at once while another program writes; readers and players are not
        {{"compact", "{talk}"},
         1,
         none,
         "another program has this database open for writing\n$",
         true},
        {{"verify", "{talk}"}, 1, "1 problem found\n$", none, true},
        {{"play", "{talk}", "0", "2"}, kPlays, none, "^$", true},
        // playing
        {{"play-comm", "{talk}", "0", "2"}, kPlays, none, "^$"},
        {{"play-file", "{flac}", "--coded"}, kPlays, none, "2.flac: converted from 44100 Hz"},
        {{"play-file", "{wave}"}, kPlays, none, "^$"},
        {{"play", "{talk}", "1", "0"},
         1,
         none,
         "fragment 1 has no playable recording in voice 0\n$"},
        {{"play-comm", "{talk}", "0", "7"}, 1, none, "comm 0 has nothing to play in voice 7\n$"},
        {{"play-comm", "{talk}", "9", "0"}, 1, none, "^voxtool: comm 9 does not exist\n$"},
        // settings: names that would break the file, and keys that are not there
        {{"settings", "Data", "a=b", "x"}, 2, none, "^voxtool: key 'a=b' holds"},
        {{"settings", "Data", "a\nb", "x"}, 2, none, "holds a line break"},
        {{"settings", "", "k", "x"}, 2, none, "^voxtool: section '' is empty\n$"},
        {{"settings", "Data", " k", "x"}, 2, none, "key ' k' starts or ends with a blank"},
        {{"settings", "Data", "#k", "x"}, 2, none, "key '#k' starts with ';', '#' or '\\['"},
        {{"settings", "Data", "Phrases"}, 1, none, "no setting 'Phrases' in section 'Data'"},
        // failed writes to stdout, and a reader that went away
        {{"wav", "{talk}", "0", "2", "-"}, 1, none, full, false, "/dev/null", Out::kFullDisk},
        {{"info", "{talk}", "--json"}, 1, none, none, false, "/dev/null", Out::kClosedPipe},
    };
    for (const Case& c : cases) {
        const ToolResult r = Run(c);
        std::string line;
        for (const std::string& arg : c.args) line += arg + " ";
        const bool unheard = r.err.ends_with(kNoDevice);
        const int status = c.status == kPlays ? (unheard ? 1 : 0) : c.status;
        const std::string err = unheard ? r.err.substr(0, r.err.size() - kNoDevice.size()) : r.err;
        EXPECT_EQ(r.status, status) << line << "\n" << r.err;
        EXPECT_TRUE(std::regex_search(r.out, std::regex(c.out))) << line << "\nstdout: " << r.out;
        EXPECT_TRUE(std::regex_search(err, std::regex(c.err))) << line << "\nstderr: " << r.err;
    }
    EXPECT_TRUE(ListFolder(config_.Path()).empty()) << "a refused setting was written";

    // What comes through a pipe is stored and given back as from files, byte for byte. A piped
    // take is named as such; a history line cut short by a crash is named and skipped.
    ASSERT_EQ(Run({{"add", "{talk}", "0", "5", "{wave}"}, 0, "", ""}).status, 0);
    ASSERT_EQ(Run({{"add", "{talk}", "0", "6", "-"}, 0, "", "", false, "{wave}"}).status, 0);
    const ToolResult fromFile = Run({{"wav", "{talk}", "0", "5", "-"}, 0, "", ""});
    ASSERT_EQ(Run({{"wav", "{talk}", "0", "6", "piped.wav"}, 0, "", ""}).status, 0);
    EXPECT_EQ(fromFile.out, ReadText(dir_.File("out/piped.wav")));
    EXPECT_GT(fromFile.out.size(), 44u);
    ASSERT_EQ(Run({{"replace", "{talk}", "0", "5", "-"}, 0, "", "", false, "{wave}"}).status, 0);
    const std::string historyFile = files_["{talk}"] + ".history";
    WriteText(historyFile, ReadText(historyFile) + "2026-12");
    const ToolResult listed = Run({{"history", "{talk}", "0", "5"}, 0, "", ""});
    EXPECT_EQ(listed.status, 0);
    EXPECT_TRUE(
        std::regex_search(listed.out, std::regex("^[^\n]+  standard input  [0-9a-f]{16}\n$")))
        << listed.out;
    EXPECT_TRUE(listed.err.ends_with(" skipped: cut short (no end of line)\n")) << listed.err;
}

}  // namespace
}  // namespace vox::test
