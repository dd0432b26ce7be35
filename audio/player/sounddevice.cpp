#include "audio/player/sounddevice.h"

namespace vox {

bool IsPlayableSize(uint32_t size) { return size >= 2 && size <= kMaxSoundBufferSize; }

SoundBuffer::~SoundBuffer() = default;

SoundDevice::~SoundDevice() = default;

void TraceSoundError(const SoundTrace& trace, std::string_view operation, int result) {
    if (trace) trace(operation, result);
}

}  // namespace vox
