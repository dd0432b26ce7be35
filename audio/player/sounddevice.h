#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>

namespace vox {

// Result codes of the sound devices: 0 is success, anything negative a failure. The codes below
// are our own; a device may also pass on its platform's negative codes unchanged.
inline constexpr int kSoundOk = 0;
inline constexpr int kSoundInvalidSize = -1;  // no whole 16-bit sample, or more than a buffer holds
inline constexpr int kSoundWrongLength = -2;  // written length differs from the buffer's size
inline constexpr int kSoundNotOpen = -3;      // used before Open succeeded
inline constexpr int kSoundNoMemory = -4;
inline constexpr int kSoundNoDevice = -5;  // the factory made no device

// A person's words for one of the result codes above.
std::string SoundResultText(int result);

// Largest buffer a device accepts, in bytes (a sound of the talk file is at most 80960 bytes).
inline constexpr uint32_t kMaxSoundBufferSize = 0x0FFFFFFF;

// True when size describes a sound a device can hold: at least one whole sample, and not more
// than kMaxSoundBufferSize. Both devices apply the same rule so that tests on the null device
// predict what the real one refuses.
bool IsPlayableSize(uint32_t size);

// One sound prepared on a device: a buffer of exactly the sound's size, filled once, played once.
class SoundBuffer {
  public:
    virtual ~SoundBuffer();
    // Copies the whole sound in; pcm must be exactly as long as the buffer.
    virtual int Write(std::span<const uint8_t> pcm) = 0;
    // Plays the buffer once from its start and returns when its last sample has been heard, or
    // soon after abort is requested.
    virtual int PlayAndWait(std::stop_token abort) = 0;
};

// A sound output in SpeechWaveFormat (16-bit mono PCM, 8000 samples per second). A device is
// made and used on the player's worker thread only, so that a device whose calls can block
// (a frozen sound server) never blocks anyone else.
class SoundDevice {
  public:
    virtual ~SoundDevice();
    // Opens the output; called once, on the worker's first sound.
    virtual int Open() = 0;
    // A buffer for size bytes of PCM, or a failure (nothing in buffer).
    virtual int CreateBuffer(uint32_t size, std::unique_ptr<SoundBuffer>& buffer) = 0;
    // A person's words for one of this device's failure results.
    virtual std::string ResultText(int result) const;
};

using SoundDeviceFactory = std::function<std::unique_ptr<SoundDevice>()>;

// The machine's default output through PortAudio.
std::unique_ptr<SoundDevice> MakeDefaultSoundDevice();

// Receives every failure of a sound device: the operation's name and the device's result.
using SoundTrace = std::function<void(std::string_view operation, int result)>;

// The player's diagnostic hook: passes a failure on to trace when one is set, otherwise nothing.
void TraceSoundError(const SoundTrace& trace, std::string_view operation, int result);

}  // namespace vox
