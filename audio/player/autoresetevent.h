#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vox {

// An event that lets exactly one wait through per signal and then resets itself. Signals do not
// add up: two signals before a wait release that one wait only, which is what a worker that
// empties its whole queue after every wake wants.
class AutoResetEvent {
  public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    // Never blocks for longer than the internal lock is held; always true (the result of a
    // signal is part of the callers' contract).
    bool Signal();
    // Waits without time limit for a signal and consumes it.
    void Wait();
    // True when a signal arrived within limit (and was consumed), false on timeout.
    bool WaitFor(std::chrono::milliseconds limit);

  private:
    std::mutex mutex_;
    std::condition_variable signalled_cv_;
    bool signalled_ = false;
};

}  // namespace vox
