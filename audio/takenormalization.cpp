#include "audio/takenormalization.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/takelevels.h"

namespace vox {
namespace {

constexpr double kFullScale = 32767.0;

// The largest magnitude, -32768 counting as 32768: after the gain it must still fit.
double PeakMagnitude(ByteSpan pcm) {
    int peak = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2)
        peak = std::max(peak, std::abs(static_cast<int>(ReadI16(pcm.data() + i))));
    return peak;
}

std::vector<uint8_t> ApplyGain(ByteSpan pcm, double gainDb) {
    std::vector<uint8_t> out(pcm.begin(), pcm.end());
    const double factor = std::pow(10.0, gainDb / 20);
    for (size_t i = 0; i + 1 < out.size(); i += 2) {
        const double value =
            std::clamp(std::nearbyint(ReadI16(out.data() + i) * factor), -32768.0, kFullScale);
        WriteU16(out.data() + i, static_cast<uint16_t>(static_cast<int16_t>(value)));
    }
    return out;
}

std::string ShortOfTarget(double loudness, double target) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "reached %.1f LUFS of %.1f LUFS: more gain would clip the peak", loudness,
                  target);
    return text;
}

}  // namespace

double NormalizationTarget(std::span<const double> otherVoicesLoudness) {
    return MedianLoudness(otherVoicesLoudness).value_or(kDefaultTargetLufs);
}

NormalizedTake NormalizeTakeLoudness(ByteSpan pcm, double targetLufs) {
    NormalizedTake result;
    TakeLevels levels;
    if (!MeasureTakeLevels(pcm, levels, &result.why)) return result;
    if (!std::isfinite(levels.loudness) || !std::isfinite(targetLufs)) {
        result.why = "the take is silent: no gain gives it a loudness";
        return result;
    }
    const double wanted = targetLufs - levels.loudness;
    const double headroom = 20 * std::log10(kFullScale / PeakMagnitude(pcm));
    result.gainDb = std::min(wanted, headroom);
    result.reachedTarget = wanted <= headroom;
    result.pcm = ApplyGain(pcm, result.gainDb);
    TakeLevels after;
    if (!MeasureTakeLevels(result.pcm, after, &result.why)) {
        result.pcm.clear();
        return result;
    }
    result.loudness = after.loudness;
    if (!result.reachedTarget) result.why = ShortOfTarget(after.loudness, targetLufs);
    result.ok = true;
    return result;
}

}  // namespace vox
