// Progress on a terminal, silence elsewhere, and Ctrl+C as a request to stop.
#include "tools/terminalprogress.h"

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>

#include "tests/maintain/maintainfixture.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

std::string ReadAvailable(int fd) {
    std::string text;
    char buffer[256];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

TEST(TerminalProgressTest, PrintsNothingWhenItsOutputIsNotATerminal) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    {
        TerminalProgress progress("export", pipeEnds[1]);
        const ProgressFn report = progress.Fn();
        EXPECT_TRUE(report(1, 2));
        EXPECT_TRUE(report(2, 2));
    }
    close(pipeEnds[1]);
    EXPECT_EQ(ReadAvailable(pipeEnds[0]), "");
    close(pipeEnds[0]);
}

TEST(TerminalProgressTest, KeepsOneLineUpToDateOnATerminal) {
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);  // the bytes as written, without line-end translation
    tcsetattr(slave, TCSANOW, &raw);
    {
        TerminalProgress progress("compact", slave);
        const ProgressFn report = progress.Fn();
        EXPECT_TRUE(report(1, 4));
        EXPECT_TRUE(report(1, 4));  // the same percentage so soon is not drawn again
        EXPECT_TRUE(report(4, 4));
        progress.Finish();
    }
    close(slave);
    EXPECT_EQ(ReadAvailable(master), "\rcompact: 25% (1/4)\rcompact: 100% (4/4)\n");
    close(master);
}

// Each case starts with no exit status, a pipe for the progress line and stderr captured, and
// must leave the program's own SIGINT handler as it found it.
class CtrlCTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sigaction(SIGINT, nullptr, &before_);
        ExitStatus() = kExitOk;
        ASSERT_EQ(pipe(pipeEnds_), 0);
        ::testing::internal::CaptureStderr();
    }
    void TearDown() override {
        struct sigaction after {};
        sigaction(SIGINT, nullptr, &after);
        EXPECT_EQ(after.sa_handler, before_.sa_handler);
        ExitStatus() = kExitOk;
        close(pipeEnds_[0]);
        close(pipeEnds_[1]);
    }
    int ProgressFd() const { return pipeEnds_[1]; }

  private:
    struct sigaction before_ {};
    int pipeEnds_[2] = {-1, -1};
};

TEST_F(CtrlCTest, BecomesARequestToStopAndTheExitStatusSaysSo) {
    {
        TerminalProgress progress("import", ProgressFd());
        const ProgressFn report = progress.Fn();
        EXPECT_TRUE(report(0, 2));
        EXPECT_FALSE(progress.Interrupted());
        std::raise(SIGINT);  // would end the test program without the handler
        EXPECT_TRUE(progress.Interrupted());
        EXPECT_FALSE(report(1, 2));
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "voxtool: import: interrupted\n");
    EXPECT_EQ(ExitStatus(), kExitInterrupted);

    // A new command starts without the old interruption.
    TerminalProgress next("verify", ProgressFd());
    EXPECT_TRUE(next.Fn()(1, 1));
}

// A Ctrl+C after the last report reaches no step that could stop: the work finished, so the
// command must report its result, not an interruption it never made.
TEST_F(CtrlCTest, AfterTheLastReportLeavesTheResultStanding) {
    {
        TerminalProgress progress("compact", ProgressFd());
        EXPECT_TRUE(progress.Fn()(2, 2));
        std::raise(SIGINT);
        EXPECT_TRUE(progress.Interrupted());
        progress.Finish();
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(ExitStatus(), kExitOk);
}

}  // namespace
}  // namespace vox::tool
