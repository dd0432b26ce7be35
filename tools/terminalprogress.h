#pragma once

#include <signal.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "talkdata/progress.h"

namespace vox::tool {

// The exit status of a command stopped by Ctrl+C, as shells report a process ended by SIGINT.
constexpr int kExitInterrupted = 130;

// Progress of one long command. On a terminal it keeps one line up to date on stderr
// ("compact: 42% (1234/2938)"); when stderr is not a terminal, or with --quiet, it prints
// nothing extra. While
// it lives, Ctrl+C (SIGINT) no longer kills the process: it only sets a flag, which the
// progress function turns into a request to stop, so the operation ends where it leaves no
// damaged file.
class TerminalProgress {
  public:
    explicit TerminalProgress(std::string label, int fd = 2);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // For the library call; valid while this object lives.
    ProgressFn Fn();
    bool Interrupted() const;
    // Erases the progress line, so that a line of output can take its place; the next report
    // draws it again.
    void Clear();
    // Ends the progress line. When a Ctrl+C was handed to the work as a stop, says
    // "interrupted" and sets the exit status; one that came after the last report changed
    // nothing, so the command's result stands.
    void Finish();

  private:
    bool Report(uint64_t done, uint64_t total);

    std::string label_;
    int fd_;
    bool terminal_;
    bool printed_ = false;
    bool finished_ = false;
    bool stopRequested_ = false;  // a report answered "stop"
    int lastPercent_ = -1;
    std::chrono::steady_clock::time_point lastShown_{};
    struct sigaction previous_ {};
};

}  // namespace vox::tool
