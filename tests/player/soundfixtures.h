#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/player/sounditem.h"

namespace vox::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Bytes of PCM that last ms milliseconds at 16000 bytes per second.
inline uint32_t BytesFor(int ms) { return static_cast<uint32_t>(ms) * 16; }

// PCM of size bytes, every byte tag, so that tests can tell sounds apart by their content.
inline std::unique_ptr<uint8_t[]> MakePcm(uint32_t size, uint8_t tag) {
    auto pcm = std::make_unique<uint8_t[]>(size);
    std::memset(pcm.get(), tag, size);
    return pcm;
}

inline std::unique_ptr<SoundItem> MakeSound(int ms, uint8_t tag) {
    return std::make_unique<SoundItem>(MakePcm(BytesFor(ms), tag), BytesFor(ms));
}

// A sound that counts its own destruction, to see that discarded sounds are freed.
class CountedSound : public SoundItem {
  public:
    CountedSound(int ms, uint8_t tag, std::atomic<int>& destroyed)
        : SoundItem(MakePcm(BytesFor(ms), tag), BytesFor(ms)), destroyed_(destroyed) {}
    ~CountedSound() override { ++destroyed_; }

  private:
    std::atomic<int>& destroyed_;
};

inline std::chrono::milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

}  // namespace vox::test
