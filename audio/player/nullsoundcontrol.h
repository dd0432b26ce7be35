#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace vox {

// The steps of a null sound device at which a failure or a hang can be injected.
enum class NullSoundStep { Open, CreateBuffer, Write, Play };

// One sound as the null device played it.
struct NullSoundRecord {
    std::vector<uint8_t> pcm;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point end;
    std::thread::id thread;
    bool aborted = false;  // cut off before its full duration
};

// Shared by a test and every null device its factory makes: scripts failures and hangs, and
// records what the devices did, so that tests can observe order, timing and each failure path
// of the player without a sound card.
class NullSoundControl {
  public:
    static constexpr int kInjectedFailure = -100;

    // The next count calls of step fail with result.
    void FailNext(NullSoundStep step, int count = 1, int result = kInjectedFailure);
    // From now on calls of step block until Release, deaf to aborts, as a call into a frozen
    // sound server is.
    void Hang(NullSoundStep step);
    void Release();

    int GetCalls(NullSoundStep step) const;
    std::vector<NullSoundRecord> GetPlayed() const;
    int GetLiveDevices() const;
    int GetMostPlayingAtOnce() const;
    bool WaitForCalls(NullSoundStep step, int count, std::chrono::milliseconds limit) const;
    bool WaitForNoDevices(std::chrono::milliseconds limit) const;

    // The devices' side.
    int Enter(NullSoundStep step);  // counts the call, hangs if asked, then the scripted result
    void DeviceMade();
    void DeviceGone();
    void BeginPlaying();
    void EndPlaying(NullSoundRecord record);

  private:
    static constexpr size_t kSteps = 4;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::array<int, kSteps> calls_{};
    std::array<int, kSteps> failuresLeft_{};
    std::array<int, kSteps> failureResult_{};
    std::array<bool, kSteps> hang_{};
    std::vector<NullSoundRecord> played_;
    int liveDevices_ = 0;
    int playing_ = 0;
    int mostPlaying_ = 0;
};

}  // namespace vox
