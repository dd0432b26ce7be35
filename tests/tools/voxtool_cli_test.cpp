// voxtool's command line as scripts meet it: arguments in, stdout, stderr and exit status out.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <map>
#include <regex>

#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

using Out = ToolIo::Out;

struct Case {
    std::vector<std::string> args;  // "{talk}", "{wave}", "{list}", "{phrases}" stand for files
    int status;
    std::string out;  // regular expressions, searched for in all of stdout and stderr
    std::string err;
    std::string in = "/dev/null";
    Out to = Out::kCaptured;
};

class VoxtoolCli : public ::testing::Test {
  protected:
    void SetUp() override {
        DatabaseBuilder db;
        db.AddEntry(640, {1, 2, 3, 4});
        db.AddFragment({});
        db.AddEval({{1, 0}});
        db.AddComm({.entries = {0, -1}, .evals = 1});
        files_["{talk}"] = db.WriteTo(dir_.Path());
        std::vector<uint8_t> pcm;
        for (int n = 0; n < 4000; ++n) {
            const auto sample = static_cast<int16_t>(6000 * std::sin(n * 0.2));
            pcm.push_back(static_cast<uint8_t>(sample & 0xFF));
            pcm.push_back(static_cast<uint8_t>(sample >> 8));
        }
        files_["{wave}"] = dir_.File("take.wav");
        WriteFileBytes(files_["{wave}"], MonoWaveFile(pcm));
        files_["{list}"] = dir_.File("Filenames.csv");
        const std::string list = "; Filenames of saved voxfile wav files with .lh extension\r\n";
        WriteFileBytes(files_["{list}"], std::vector<uint8_t>(list.begin(), list.end()));
        // A Latin-1 "é" and a UTF-8 "é": both must come out as the UTF-8 one.
        files_["{phrases}"] = dir_.File("phrases.csv");
        WriteFileBytes(files_["{phrases}"], {'N', '\n', '0', ',', 'x', ',', 0xE9, ',', 0xC3, 0xA9});
        ASSERT_EQ(mkdir(dir_.File("out").c_str(), 0700), 0);
    }
    ToolResult Run(const Case& c) {
        std::vector<std::string> args;
        for (const std::string& arg : c.args) args.push_back(files_.count(arg) ? files_[arg] : arg);
        ToolIo io;
        io.in = files_.count(c.in) ? files_[c.in] : c.in;
        io.out = c.to;
        io.folder = dir_.File("out");
        return RunVoxtool(args, config_.Path(), io);
    }

    TempDir dir_;
    TempDir config_;
    std::map<std::string, std::string> files_;
};

TEST_F(VoxtoolCli, EachCommandLineAnswersWithItsStatusStdoutAndStderr) {
    const std::string none = "^$";
    const std::string full = "^voxtool: standard output: No space left on device\n$";
    const std::vector<Case> cases = {
        // grep's convention: stdout holds matches only
        {{"find", "frag-in-eval", "{talk}", "7"}, 1, none, "^voxtool: No matches\n$"},
        {{"find", "frag-in-eval", "{talk}", "0", "--json"}, 0, R"("matches": \[\s*0\s*\])", none},
        {{"find", "eval-in-comm", "{talk}", "5", "--json"}, 1, R"("matches": \[\])", "No matches"},
        {{"find", "frag-in-eval", "{talk}", "12abc"}, 2, none, "^voxtool: N: "},
        {{"find", "frag-in-eval", "{talk}", "32768"}, 2, none, "not in range -32768 to 32767"},
        {{"find", "frag-in-eval", "{talk}", ""}, 2, none, "^voxtool: N: "},
        {{"find", "frag-everywhere", "{talk}", "1"}, 2, none, "^voxtool: KIND: "},
        {{"dump"}, 2, none, "^voxtool: TALK is required"},
        // numbers are typed, with their ranges
        {{"wav", "{talk}", "0", "14", "x.wav"}, 2, none, "V: Value 14 not in range 0 to 13"},
        {{"play", "{talk}", "0", "-1"}, 2, none, "^voxtool: "},
        {{"replace", "{talk}", "65536", "0", "{wave}"}, 2, none, "F: Value 65536 not in range"},
        {{"export", "{talk}", "--to", "x", "--list", "-"}, 2, none, "--to"},
        {{"add", "--help"}, 0, R"(V INT:INT in \[0 - 13\])", none},
        // commands
        {{"inf", "{talk}"}, 2, none, "^voxtool: unknown command 'inf'; did you mean 'info'\\?\n"},
        {{"-q", "no-such-command"}, 2, none, "^voxtool: unknown command 'no-such-command'\nTry"},
        {{}, 2, none, "^voxtool: "},
        {{"import", "{list}", "{talk}"},
         2,
         none,
         "^voxtool: import takes the talk file first: voxtool import .*speech.vox .*csv\n$"},
        // failed writes to stdout, and a reader that went away
        {{"info", "{talk}"}, 1, none, full, "/dev/null", Out::kFullDisk},
        {{"--help"}, 1, none, full, "/dev/null", Out::kFullDisk},
        {{"find", "frag-in-eval", "{talk}", "0"}, 1, none, full, "/dev/null", Out::kFullDisk},
        {{"dump", "{talk}"}, 1, none, none, "/dev/null", Out::kClosedPipe},
        {{"info", "{talk}", "--json"}, 1, none, none, "/dev/null", Out::kClosedPipe},
        // - is standard input for takes, standard output for waves and the export list
        {{"add", "{talk}", "0", "2", "-"}, 0, "^1\n$", none, "{wave}"},
        {{"wav", "{talk}", "0", "2", "-"}, 0, "^RIFF", none},
        {{"wav", "{talk}", "0", "2", "-"}, 1, none, full, "/dev/null", Out::kFullDisk},
        {{"export", "{talk}", "--list", "-"},
         0,
         "^; Filenames[\\s\\S]*\r\n0-2;\\.lh\r\n$",
         "^voxtool: 1 \\.wav files saved\n$"},
        {{"-q", "export", "{talk}", "--list", "-"}, 0, "0-2;\\.lh", none},
        {{"export", "{talk}", "--from", "0", "--to", "0", "--list", "-"},
         0,
         "0-2;\\.lh",
         "^voxtool: 1 \\.wav files saved\n$"},
        {{"replace", "{talk}", "0", "2", "-"}, 1, none, "^voxtool: Bad wave file\n"},
        {{"play-file", "-", "--coded"}, 1, none, "^voxtool: standard input: "},
        // JSON
        {{"info", "{talk}", "--json"}, 0, R"("fragments": 1,[\s\S]*"voices": 1,)", none},
        {{"verify", "{talk}", "--json"},
         1,
         R"("problems": 2,\s*"findings": \[\s*\{\s*"file": "speech.vox",\s*"place": "slot 0)",
         none},
        {{"dump", "{talk}", "--phrases", "{phrases}"},
         0,
         "\"text\": \"\xC3\xA9\"[\\s\\S]*\"text\": \"\xC3\xA9\"",
         none},
        {{"dump", "{talk}", "--names", "nothing.csv"}, 1, none, "nothing.csv: No such file"},
        // settings: names that would break the file, and keys that are not there
        {{"settings", "Da]ta", "Phrases", "x"}, 2, none, "^voxtool: section 'Da]ta' holds"},
        {{"settings", "Data", "a=b", "x"}, 2, none, "^voxtool: key 'a=b' holds"},
        {{"settings", "Data", "a\nb", "x"}, 2, none, "holds a line break"},
        {{"settings", "Data", "Phrases"}, 1, none, "no setting 'Phrases' in section 'Data'"},
    };
    for (const Case& c : cases) {
        const ToolResult r = Run(c);
        std::string line;
        for (const std::string& arg : c.args) line += arg + " ";
        EXPECT_EQ(r.status, c.status) << line << "\n" << r.err;
        EXPECT_TRUE(std::regex_search(r.out, std::regex(c.out))) << line << "\nstdout: " << r.out;
        EXPECT_TRUE(std::regex_search(r.err, std::regex(c.err))) << line << "\nstderr: " << r.err;
    }
    EXPECT_TRUE(ListFolder(config_.Path()).empty()) << "a refused setting was written";
}

// What comes through a pipe is stored and given back as from files, byte for byte.
TEST_F(VoxtoolCli, APipedTakeAndAPipedWaveMatchTheirFiles) {
    ASSERT_EQ(Run({{"add", "{talk}", "0", "1", "{wave}"}, 0, "", ""}).status, 0);
    ASSERT_EQ(Run({{"add", "{talk}", "0", "2", "-"}, 0, "", "", "{wave}"}).status, 0);
    const ToolResult fromFile = Run({{"wav", "{talk}", "0", "1", "-"}, 0, "", ""});
    ASSERT_EQ(Run({{"wav", "{talk}", "0", "2", "piped.wav"}, 0, "", ""}).status, 0);
    const std::vector<uint8_t> piped = ReadFileBytes(dir_.File("out/piped.wav"));
    EXPECT_EQ(std::vector<uint8_t>(fromFile.out.begin(), fromFile.out.end()), piped);
    EXPECT_GT(piped.size(), 44u);
}

}  // namespace
}  // namespace vox::test
