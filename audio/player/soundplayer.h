#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/player/playerthread.h"
#include "audio/player/sounddevice.h"
#include "audio/player/sounditem.h"

namespace vox {

struct SoundPlayerStats {
    uint32_t played = 0;   // played to their end (or until aborted)
    uint32_t failed = 0;   // refused by the device while preparing or playing
    uint32_t dropped = 0;  // no usable device when their turn came
};

// Plays queued sounds strictly one after another, never mixed, on one worker thread (run by a
// PlayerThread). Everything the worker touches lives in a state that the player and the worker
// own together: a worker that outlives its player, because a sound server froze under it, still
// never touches freed memory.
class SoundPlayer {
  public:
    explicit SoundPlayer(SoundDeviceFactory factory = MakeDefaultSoundDevice,
                         SoundTrace trace = {});
    // Discards the sounds still queued and asks the worker to stop; does not wait for it.
    virtual ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Appends item and wakes the worker; never waits for audio. A null item is ignored.
    void Enqueue(std::unique_ptr<SoundItem> item);
    // The worker ends after the sound that plays now; sounds queued behind it are not played.
    void Stop();
    // Cuts off the sound that plays now and every later one. For shutdown only.
    void AbortSound();

    // The worker's loop: returns after Stop. Only the first call on a player runs; later ones
    // return at once, so there is never more than one worker.
    void Run();
    // The same loop as a callable that owns the shared state, for a thread that may outlive
    // this player.
    std::function<void()> Worker() const;

    // Waits until every sound queued so far has been played or dropped (true), or the worker
    // ended with sounds left, or limit passed (false).
    bool WaitUntilIdle(std::chrono::milliseconds limit) const;
    SoundPlayerStats GetStats() const;

    // Called on the worker's thread, each time a sound is dropped because no device would open,
    // with the device's words for why. The call happens under a lock that SetDropHook also
    // takes, so once SetDropHook({}) returns the old hook is never called again: an owner
    // clears it before it goes. The hook must not call back into the player.
    using DropHook = std::function<void(const std::string& why)>;
    void SetDropHook(DropHook hook);

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace vox
