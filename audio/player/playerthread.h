#pragma once

#include <chrono>
#include <memory>
#include <thread>

namespace vox {

class SoundPlayer;
class AutoResetEvent;

// The document's playback thread: started by the first sound, run once per lifetime, and at
// shutdown waited for with a time limit only. A sound server that freezes can block the worker
// inside a device call for ever; the worker then owns the player's state together with the
// player, so it is left behind (detached) instead of hanging the program or running on freed
// memory.
class PlayerThread {
  public:
    // Time the worker gets to end after its sound was aborted, on top of the shutdown limit.
    static constexpr std::chrono::milliseconds kAbortGrace{500};

    PlayerThread();
    // Detaches a worker that was never shut down (never blocks, never terminates).
    ~PlayerThread();
    PlayerThread(const PlayerThread&) = delete;
    PlayerThread& operator=(const PlayerThread&) = delete;

    // True from the first successful Start on, also after Shutdown: a worker is never restarted.
    bool IsStarted() const { return started_; }
    // Starts player's worker unless one was started before; false only when no thread could be
    // made (the next call tries again).
    bool Start(SoundPlayer& player);
    // Asks the player to stop and waits at most limit for the worker to end, letting the sound
    // that plays finish; then aborts that sound and waits kAbortGrace more. True when the
    // worker ended and was joined (also when none was started); false when it had to be left
    // behind.
    bool Shutdown(SoundPlayer& player, std::chrono::milliseconds limit);

  private:
    std::thread thread_;
    std::shared_ptr<AutoResetEvent> ended_;  // signalled by the worker as its last act
    bool started_ = false;
};

}  // namespace vox
