// The progress line on a terminal, and Ctrl+C as a request to stop. A stop in the middle of the
// work is voxtool pack's test (it exits 130 and says so); here, the one that must not stop.
#include "tools/terminalprogress.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>

#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

// A Ctrl+C after the last report reaches no step that could stop: the work finished, so the
// command must report its result, not an interruption it never made. The program's own SIGINT
// handler is back afterwards.
TEST(TerminalProgressTest, KeepsOneLineUpToDateOnATerminalAndALateCtrlCStopsNothing) {
    struct sigaction before {
    }, after{};
    sigaction(SIGINT, nullptr, &before);
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);  // the bytes as written, without line-end translation
    tcsetattr(slave, TCSANOW, &raw);
    ::testing::internal::CaptureStderr();
    {
        TerminalProgress progress("compact", slave);
        const ProgressFn report = progress.Fn();
        EXPECT_TRUE(report(1, 4));
        EXPECT_TRUE(report(1, 4));  // the same percentage so soon is not drawn again
        EXPECT_TRUE(report(4, 4));
        std::raise(SIGINT);  // would end the test program without the handler
        EXPECT_TRUE(progress.Interrupted());
        progress.Finish();
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(ExitStatus(), kExitOk);
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    close(slave);
    std::string shown;
    char buffer[256];
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;)  // EIO once all is read
        shown.append(buffer, static_cast<size_t>(got));
    EXPECT_EQ(shown, "\rcompact: 25% (1/4)\rcompact: 100% (4/4)\n");
    close(master);
}

}  // namespace
}  // namespace vox::tool
