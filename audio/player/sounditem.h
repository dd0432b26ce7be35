#pragma once

#include <cstdint>
#include <memory>
#include <stop_token>

#include "audio/player/sounddevice.h"

namespace vox {

// One queued sound. It owns its PCM bytes until Prepare has copied them into a device buffer;
// from then on the sound lives only in that buffer, so a queued sound is held in memory once.
class SoundItem {
  public:
    // Takes over data; a null data counts as an empty sound.
    SoundItem(std::unique_ptr<uint8_t[]> data, uint32_t size);
    virtual ~SoundItem();
    SoundItem(const SoundItem&) = delete;
    SoundItem& operator=(const SoundItem&) = delete;

    // Creates a buffer of exactly Size() bytes on device and fills it; frees the PCM bytes on
    // success. Failures go to trace as "Create Soundbuffer" or "Lock".
    bool Prepare(SoundDevice& device, const SoundTrace& trace);
    // Plays the prepared buffer once and waits for its end (or abort). False when nothing was
    // prepared; a device failure goes to trace as "Play".
    bool PlayAndWait(std::stop_token abort, const SoundTrace& trace);

    uint32_t Size() const { return size_; }
    const uint8_t* Data() const { return data_.get(); }
    bool IsPrepared() const { return buffer_ != nullptr; }

  private:
    friend class SoundQueue;

    std::unique_ptr<SoundBuffer> buffer_;
    uint32_t size_;
    std::unique_ptr<uint8_t[]> data_;
    SoundItem* next_ = nullptr;  // link in the player's queue, which owns the chain
};

}  // namespace vox
