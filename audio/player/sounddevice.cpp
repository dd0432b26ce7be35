#include "audio/player/sounddevice.h"

namespace vox {

bool IsPlayableSize(uint32_t size) { return size >= 2 && size <= kMaxSoundBufferSize; }

SoundBuffer::~SoundBuffer() = default;

SoundDevice::~SoundDevice() = default;

std::string SoundDevice::ResultText(int result) const { return SoundResultText(result); }

std::string SoundResultText(int result) {
    switch (result) {
        case kSoundInvalidSize:
            return "no sound of that size can be played";
        case kSoundWrongLength:
            return "the sound's length does not match its buffer";
        case kSoundNotOpen:
            return "the device is not open";
        case kSoundNoMemory:
            return "out of memory";
        case kSoundNoDevice:
            return "no output device could be made";
        default:
            return "the device reported error " + std::to_string(result);
    }
}

void TraceSoundError(const SoundTrace& trace, std::string_view operation, int result) {
    if (trace) trace(operation, result);
}

}  // namespace vox
