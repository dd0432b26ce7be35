// The progress line on a terminal, and Ctrl+C as a request to stop.
#include "tools/terminalprogress.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>

#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

std::string ReadAvailable(int fd) {
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(got));
    return text;
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

// A Ctrl+C after the last report reaches no step that could stop: the work finished, so the
// command must report its result, not an interruption it never made. A new command starts
// without the old interruption, and each leaves the program's own SIGINT handler as it was.
TEST(CtrlCTest, BecomesARequestToStopOnlyWhileThereIsWorkLeft) {
    struct sigaction before {
    }, after{};
    sigaction(SIGINT, nullptr, &before);
    int pipeEnds[2] = {-1, -1};  // for the progress line, which is not looked at here
    ASSERT_EQ(pipe(pipeEnds), 0);
    ::testing::internal::CaptureStderr();
    {
        TerminalProgress progress("compact", pipeEnds[1]);
        EXPECT_TRUE(progress.Fn()(2, 2));
        std::raise(SIGINT);  // would end the test program without the handler
        EXPECT_TRUE(progress.Interrupted());
        progress.Finish();
    }
    EXPECT_EQ(ExitStatus(), kExitOk);
    {
        TerminalProgress progress("import", pipeEnds[1]);
        const ProgressFn report = progress.Fn();
        EXPECT_TRUE(report(0, 2));
        std::raise(SIGINT);
        EXPECT_FALSE(report(1, 2));
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "voxtool: import: interrupted\n");
    EXPECT_EQ(ExitStatus(), kExitInterrupted);
    ExitStatus() = kExitOk;
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

}  // namespace
}  // namespace vox::tool
