#include "audio/player/sounditem.h"

#include <utility>

namespace vox {

SoundItem::SoundItem(std::unique_ptr<uint8_t[]> data, uint32_t size)
    : size_(data ? size : 0), data_(std::move(data)) {}

SoundItem::~SoundItem() = default;

bool SoundItem::Prepare(SoundDevice& device, const SoundTrace& trace) {
    std::unique_ptr<SoundBuffer> made;
    int result = device.CreateBuffer(size_, made);
    if (result == kSoundOk && !made) result = kSoundNoMemory;
    if (result != kSoundOk) {
        TraceSoundError(trace, "Create Soundbuffer", result);
        return false;
    }
    result = made->Write(std::span<const uint8_t>(data_.get(), size_));
    if (result != kSoundOk) {
        TraceSoundError(trace, "Lock", result);
        return false;
    }
    buffer_ = std::move(made);
    data_.reset();
    size_ = 0;
    return true;
}

bool SoundItem::PlayAndWait(std::stop_token abort, const SoundTrace& trace) {
    if (!buffer_) return false;
    int result = buffer_->PlayAndWait(std::move(abort));
    if (result != kSoundOk) {
        TraceSoundError(trace, "Play", result);
        return false;
    }
    return true;
}

}  // namespace vox
