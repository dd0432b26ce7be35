#include "audio/takelevels.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace vox {
namespace {

constexpr int kRate = 8000;
constexpr double kFullScale = 32768.0;
// EBU R128 integrates 400 ms blocks; a shorter take has none.
constexpr size_t kBlockSamples = kRate * 400 / 1000;
constexpr double kAbsoluteGateLufs = -70;

struct MeterCloser {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using Meter = std::unique_ptr<ebur128_state, MeterCloser>;

std::vector<int16_t> Samples(ByteSpan pcm) {
    std::vector<int16_t> samples(pcm.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = ReadI16(pcm.data() + 2 * i);
    return samples;
}

bool MeasureLoudness(const std::vector<int16_t>& samples, double& loudness, std::string* why) {
    const Meter meter(ebur128_init(1, kRate, EBUR128_MODE_I));
    if (meter == nullptr) {
        if (why != nullptr) *why = "cannot make the loudness meter";
        return false;
    }
    loudness = kSilent;
    if (samples.empty()) return true;
    int error = ebur128_add_frames_short(meter.get(), samples.data(), samples.size());
    if (error == EBUR128_SUCCESS) {
        if (samples.size() >= kBlockSamples) {
            error = ebur128_loudness_global(meter.get(), &loudness);
        } else {
            // The meter's window holds zeros before the take, so a window of the take's own
            // length sees the take and nothing else; the gate is then the absolute one alone.
            const auto milliseconds = static_cast<unsigned long>(samples.size() * 1000 / kRate);
            error = milliseconds == 0
                        ? EBUR128_SUCCESS
                        : ebur128_loudness_window(meter.get(), milliseconds, &loudness);
            if (loudness < kAbsoluteGateLufs) loudness = kSilent;
        }
    }
    if (error != EBUR128_SUCCESS) {
        if (why != nullptr) *why = "the loudness meter failed";
        return false;
    }
    if (!std::isfinite(loudness)) loudness = kSilent;
    return true;
}

int Magnitude(int16_t sample) { return std::abs(static_cast<int>(sample)); }

int CountClippedRuns(const std::vector<int16_t>& samples) {
    int runs = 0;
    size_t length = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const bool atFullScale = samples[i] == INT16_MAX || samples[i] == INT16_MIN;
        length = atFullScale && length > 0 && samples[i] == samples[i - 1] ? length + 1
                 : atFullScale                                             ? 1
                                                                           : 0;
        if (length == kClipRunSamples) ++runs;
    }
    return runs;
}

double SilenceSeconds(size_t samples) {
    const double seconds = static_cast<double>(samples) / kRate;
    return seconds < kMinSilenceSeconds ? 0 : seconds;
}

}  // namespace

bool MeasureTakeLevels(ByteSpan pcm, TakeLevels& levels, std::string* why) {
    const std::vector<int16_t> samples = Samples(pcm);
    TakeLevels measured;
    if (!MeasureLoudness(samples, measured.loudness, why)) return false;
    measured.seconds = static_cast<double>(samples.size()) / kRate;
    const int threshold =
        static_cast<int>(std::ceil(kFullScale * std::pow(10.0, kSilenceDbfs / 20)));
    int peak = 0;
    int64_t sum = 0;
    size_t firstLoud = samples.size();
    size_t lastLoud = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const int magnitude = Magnitude(samples[i]);
        peak = std::max(peak, magnitude);
        sum += samples[i];
        if (magnitude < threshold) continue;
        firstLoud = std::min(firstLoud, i);
        lastLoud = i;
    }
    measured.peakDbfs = peak == 0 ? kSilent : 20 * std::log10(peak / kFullScale);
    measured.clippedRuns = CountClippedRuns(samples);
    measured.silent = firstLoud == samples.size();
    measured.leadingSilence = SilenceSeconds(firstLoud);
    measured.trailingSilence = measured.silent ? 0 : SilenceSeconds(samples.size() - 1 - lastLoud);
    measured.dcOffset = samples.empty() ? 0
                                        : static_cast<double>(sum) /
                                              static_cast<double>(samples.size()) / kFullScale;
    levels = measured;
    return true;
}

std::optional<double> MedianLoudness(std::span<const double> loudness) {
    std::vector<double> heard;
    for (double value : loudness)
        if (std::isfinite(value)) heard.push_back(value);
    if (heard.empty()) return std::nullopt;
    std::sort(heard.begin(), heard.end());
    const size_t middle = heard.size() / 2;
    return heard.size() % 2 == 1 ? heard[middle] : (heard[middle - 1] + heard[middle]) / 2;
}

TakeFlags FlagTake(const TakeLevels& take, std::span<const double> otherVoicesLoudness) {
    TakeFlags flags;
    flags.clipping = take.clippedRuns > 0;
    flags.silent = take.silent;
    const std::optional<double> median = MedianLoudness(otherVoicesLoudness);
    if (!median || !std::isfinite(take.loudness)) return flags;
    flags.deviationLu = take.loudness - *median;
    flags.loudnessOutlier = !take.silent && std::abs(flags.deviationLu) > kLoudnessToleranceLu;
    return flags;
}

std::string FormatLoudness(double lufs) {
    if (!std::isfinite(lufs)) return "silent";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f LUFS", lufs);
    return text;
}

std::string FormatDbfs(double dbfs) {
    if (!std::isfinite(dbfs)) return "silent";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", dbfs);
    return text;
}

}  // namespace vox
