// voxtool pack and unpack as a user runs them: a progress line on a terminal, and Ctrl+C ends
// them with nothing written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/pack/packfixtures.h"

namespace vox::test {
namespace {

// On a terminal the line counts the recordings and ends with a line end of its own.
TEST(VoxtoolPackProgress, ShowsProgressOnATerminal) {
    TempDir dir;
    DatabaseBuilder db;
    for (const int hz : {300, 500, 700}) db.AddEntry(640, CodedSine(hz, 320));
    db.AddFragment({{0, 0}, {1, 1}, {2, 2}});
    const std::string talk = db.WriteTo(dir.Path(), "radio.vox");
    const std::string to = dir.File("u");
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
        execl(VOXTOOL_PATH, VOXTOOL_PATH, "unpack", talk.c_str(), to.c_str(), nullptr);
        _exit(127);
    }
    std::string shown;
    char buffer[256];
    for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;)  // EIO once it ends
        shown.append(buffer, static_cast<size_t>(got));
    close(terminal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    EXPECT_NE(shown.find("\runpack: 100% (3/3)"), std::string::npos) << shown;
    EXPECT_TRUE(shown.ends_with("\r\n")) << shown;  // the terminal's line end
    EXPECT_TRUE(FileExists(dir.File("u/database.txt")));
}

// Ctrl+C is sent again and again: voxtool ignores it until its progress is watching (as it was
// started ignoring it), then stops at the next recording.
TEST(VoxtoolPackProgress, CtrlCStopsAPackWithNothingWritten) {
    TempDir dir;
    const std::string in = dir.File("in");
    ASSERT_EQ(mkdir(in.c_str(), 0755), 0);
    std::string description = "voxbench-unpacked 1\ntalk big.vox\n";
    const std::vector<uint8_t> second = SinePcm(440, 8000);  // each one coded by pack
    for (int i = 0; i < 300; ++i) {
        WriteSpeechWave(in + "/" + std::to_string(i) + ".wav", second);
        description += "entry " + std::to_string(i) + " " + std::to_string(i) + ".wav\n";
    }
    WriteText(in + "/database.txt", description);
    const std::string out = dir.File("out");
    const std::string errPath = dir.File("err.txt");
    // Ignored from before the fork, so that no early Ctrl+C finds the child unprotected.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGINT, &ignore, &previous);
    const pid_t child = fork();
    if (child != 0) sigaction(SIGINT, &previous, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
        execl(VOXTOOL_PATH, VOXTOOL_PATH, "pack", in.c_str(), out.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (waitpid(child, &status, WNOHANG) == 0) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "voxtool pack did not end";
        kill(child, SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(ReadText(errPath), "voxtool: pack: interrupted\n");
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"err.txt", "in"}));
}

}  // namespace
}  // namespace vox::test
