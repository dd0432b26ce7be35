// voxtool pack and unpack as a user runs them: silent apart from their notes when the output
// is not a terminal, a progress line on a terminal, and Ctrl+C ends them with nothing written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "audio/wavefile.h"
#include "tests/pack/packfixtures.h"
#include "tests/support/tempdir.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

using Clock = std::chrono::steady_clock;

class VoxtoolPackProgress : public ::testing::Test {
  protected:
    void SetUp() override {
        DatabaseBuilder db;
        db.AddEntry(3200, CodedSine(300, 1600));
        db.AddEntry(640, CodedSine(500, 320));
        db.AddEntry(1600, CodedSine(700, 800));
        db.AddFragment({{0, 0}, {1, 1}, {2, 2}});
        talk_ = db.WriteTo(dir_.Path(), "radio.vox");
    }
    ToolResult Run(const std::vector<std::string>& args) {
        return RunVoxtool(args, config_.Path());
    }

    // A folder of count waves that pack must all code: a second of sine each.
    void WriteWavesToCode(const std::string& folder, int count) {
        ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
        std::string description = "voxbench-unpacked 1\ntalk big.vox\n";
        const std::vector<uint8_t> pcm = SinePcm(440, 8000);
        for (int i = 0; i < count; ++i) {
            const std::string wave = std::to_string(i) + ".wav";
            const auto size = static_cast<uint32_t>(pcm.size());
            ASSERT_TRUE(WriteWave(folder + "/" + wave, pcm.data(), size));
            description += "entry " + std::to_string(i) + " " + wave + "\n";
        }
        WriteText(folder + "/database.txt", description);
    }

    TempDir dir_;
    TempDir work_;
    TempDir config_;
    std::string talk_;
};

// On a terminal the line counts the recordings and ends with a line end of its own.
TEST_F(VoxtoolPackProgress, ShowsProgressOnATerminal) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
        const std::string to = work_.File("u");
        execl(VOXTOOL_PATH, VOXTOOL_PATH, "unpack", talk_.c_str(), to.c_str(), nullptr);
        _exit(127);
    }
    std::string shown;
    char buffer[256];
    for (;;) {
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        if (got <= 0) break;  // EIO once the child has gone
        shown.append(buffer, static_cast<size_t>(got));
    }
    close(terminal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    EXPECT_NE(shown.find("\runpack: 100% (3/3)"), std::string::npos) << shown;
    EXPECT_EQ(shown.substr(shown.size() - 2), "\r\n") << shown;  // the terminal's line end
    EXPECT_TRUE(FileExists(work_.File("u/database.txt")));
}

// Ctrl+C is sent again and again: voxtool ignores it until its progress is watching (as it was
// started ignoring it), then stops at the next recording.
TEST_F(VoxtoolPackProgress, CtrlCStopsAPackWithNothingWritten) {
    const std::string in = work_.File("in");
    WriteWavesToCode(in, 300);
    const std::string out = work_.File("out");
    const std::string errPath = work_.File("err.txt");
    // Ignored from before the fork, so that no early Ctrl+C finds the child unprotected.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGINT, &ignore, &previous);
    const pid_t child = fork();
    if (child != 0) sigaction(SIGINT, &previous, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, 2);
        setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
        execl(VOXTOOL_PATH, VOXTOOL_PATH, "pack", in.c_str(), out.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(120);
    while (waitpid(child, &status, WNOHANG) == 0) {
        ASSERT_LT(Clock::now(), deadline) << "voxtool pack did not end";
        kill(child, SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(ReadText(errPath), "voxtool: pack: interrupted\n");
    EXPECT_EQ(ListFolder(work_.Path()), (std::vector<std::string>{"err.txt", "in"}));
}

}  // namespace
}  // namespace vox::test
