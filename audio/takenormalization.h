#pragma once

// Brings a take to the loudness of its fragment's other voices, so that a listener stepping
// through the voices hears no jump. Only a gain: the take is never compressed or limited, so
// when the loudness it should reach would push a sample past full scale, the gain stops where
// the peak touches full scale and the take stays quieter than asked.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "talkdata/bytes.h"

namespace vox {

// The median loudness of the other voices (silent ones left out), or kDefaultTargetLufs when no
// other voice is heard.
double NormalizationTarget(std::span<const double> otherVoicesLoudness);

struct NormalizedTake {
    bool ok = false;
    std::vector<uint8_t> pcm;  // 16-bit 8000 Hz mono; an odd last byte is kept as it was
    double gainDb = 0;         // the gain applied
    bool reachedTarget = false;
    double loudness = 0;  // LUFS after the gain
    // Failure: why nothing was done. Success short of the target: why, for the user.
    std::string why;
};

// A silent take is refused: no gain gives it a loudness.
NormalizedTake NormalizeTakeLoudness(ByteSpan pcm, double targetLufs);

}  // namespace vox
