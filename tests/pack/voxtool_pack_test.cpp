// voxtool unpack, pack and settings as a user runs them: exit status and what they print. What
// the round trip gives back, the progress line and a stop are the library's to check.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"
#include "tests/support/testsounds.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

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
