#include "tools/terminalprogress.h"

#include <unistd.h>

#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

// How often the line is redrawn at most, unless the percentage changes.
constexpr std::chrono::milliseconds kRedrawEvery{250};

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written <= 0) return;  // a progress line is not worth failing for
        done += static_cast<size_t>(written);
    }
}

}  // namespace

TerminalProgress::TerminalProgress(std::string label, int fd)
    : label_(std::move(label)), fd_(fd), terminal_(!Quiet() && isatty(fd) == 1) {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // reads and writes carry on; the next report stops the work
    sigaction(SIGINT, &action, &previous_);
}

TerminalProgress::~TerminalProgress() {
    Finish();
    sigaction(SIGINT, &previous_, nullptr);
}

ProgressFn TerminalProgress::Fn() {
    return [this](uint64_t done, uint64_t total) { return Report(done, total); };
}

bool TerminalProgress::Interrupted() const { return interrupted != 0; }

bool TerminalProgress::Report(uint64_t done, uint64_t total) {
    if (Interrupted()) {
        stopRequested_ = true;
        return false;
    }
    if (!terminal_ || total == 0) return true;
    const int percent = static_cast<int>(done >= total ? 100 : done * 100 / total);
    const auto now = std::chrono::steady_clock::now();
    if (percent == lastPercent_ && now - lastShown_ < kRedrawEvery) return true;
    lastPercent_ = percent;
    lastShown_ = now;
    WriteAll(fd_, "\r" + label_ + ": " + std::to_string(percent) + "% (" + std::to_string(done) +
                      "/" + std::to_string(total) + ")");
    printed_ = true;
    return true;
}

void TerminalProgress::Clear() {
    if (!printed_) return;
    WriteAll(fd_, "\r\033[K");
    printed_ = false;
    lastPercent_ = -1;
}

void TerminalProgress::Finish() {
    if (finished_) return;
    finished_ = true;
    if (printed_) WriteAll(fd_, "\n");
    if (!stopRequested_) return;
    PrintError(label_ + ": interrupted");
    ExitStatus() = kExitInterrupted;
}

}  // namespace vox::tool
