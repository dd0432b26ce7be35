#pragma once

#include <memory>

#include "audio/player/sounddevice.h"

namespace vox {

struct PortAudioOptions {
    // Wait until the stream's write space is back to its full size before stopping it. Off only
    // to measure what is cut off without the wait: stopping early drops the last 40 to 500 ms
    // on the sound-server paths.
    bool waitForDrain = true;
    // Output latency asked for, in seconds, when the device's own default is smaller.
    double minLatency = 0.1;
};

// The machine's default output through PortAudio: one blocking stream at 8000 Hz, mono,
// 16-bit, opened once and started and stopped for every sound. All its calls happen on the
// thread that uses the device (the player's worker), because any of them can block for as long
// as a sound server stays frozen.
class PortAudioDevice : public SoundDevice {
  public:
    explicit PortAudioDevice(PortAudioOptions options = {});
    ~PortAudioDevice() override;
    PortAudioDevice(const PortAudioDevice&) = delete;
    PortAudioDevice& operator=(const PortAudioDevice&) = delete;

    int Open() override;
    int CreateBuffer(uint32_t size, std::unique_ptr<SoundBuffer>& buffer) override;
    std::string ResultText(int result) const override;

    // The stream's output latency in seconds as PortAudio reports it; 0 before Open.
    double GetOutputLatency() const;

  private:
    PortAudioOptions options_;
    bool initialised_ = false;
    void* stream_ = nullptr;  // PaStream
};

}  // namespace vox
