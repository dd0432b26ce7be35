#pragma once

// The levels of one take, measured on the samples the talk entry holds (8000 Hz mono 16-bit),
// so that what is judged is what will be heard. A voice team compares each take with the same
// fragment's other voices: a take far louder or quieter than its siblings, clipped, or silent is
// what a listener notices first.

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "talkdata/bytes.h"

namespace vox {

inline constexpr double kSilent = -std::numeric_limits<double>::infinity();
// A sample below this is silence; so is a take without one above it.
inline constexpr double kSilenceDbfs = -50;
// Silence at the start or end counts only from this long on: shorter is a speaker's breath.
inline constexpr double kMinSilenceSeconds = 0.5;
// Consecutive samples at full scale that make one clipped run; one or two are a loud peak.
inline constexpr int kClipRunSamples = 3;
// How far a take may stray from its fragment's other voices before it is flagged.
inline constexpr double kLoudnessToleranceLu = 6;
// EBU R128's programme target, for a fragment that has no other voice to match.
inline constexpr double kDefaultTargetLufs = -23;

struct TakeLevels {
    double seconds = 0;
    // EBU R128 integrated loudness in LUFS (libebur128, one channel). A take shorter than one
    // 400 ms gating block is measured over its whole length instead. kSilent below the absolute
    // gate (-70 LUFS).
    double loudness = kSilent;
    double peakDbfs = kSilent;  // largest sample magnitude; kSilent when every sample is 0
    int clippedRuns = 0;        // runs of kClipRunSamples or more at +32767, or at -32768
    // Seconds below kSilenceDbfs at the start and at the end; 0 when shorter than
    // kMinSilenceSeconds. A take silent throughout counts its length once, as leading silence.
    double leadingSilence = 0;
    double trailingSilence = 0;
    bool silent = true;  // no sample reaches kSilenceDbfs
    // The mean sample value as a signed fraction of full scale (0.01: 1% of full scale, about
    // 328 steps up). A fraction, not dBFS, because its sign tells which way the offset lies.
    double dcOffset = 0;
};

// Measures 16-bit little-endian PCM at 8000 Hz (an odd last byte is ignored). False with why
// only when the loudness meter cannot be made.
bool MeasureTakeLevels(ByteSpan pcm, TakeLevels& levels, std::string* why = nullptr);

// The median of the loudness values that are not silent; nothing when none is left.
std::optional<double> MedianLoudness(std::span<const double> loudness);

struct TakeFlags {
    bool clipping = false;
    bool silent = false;
    // More than kLoudnessToleranceLu from the median of the fragment's other voices. Never set
    // for a silent take (silent says more) nor without another voice to compare with.
    bool loudnessOutlier = false;
    double deviationLu = 0;  // take minus that median; 0 when there is no median
};

TakeFlags FlagTake(const TakeLevels& take, std::span<const double> otherVoicesLoudness);

// "-23.0 LUFS", or "silent" for kSilent (never "-inf" nor "nan").
std::string FormatLoudness(double lufs);
// "-0.5 dBFS", or "silent".
std::string FormatDbfs(double dbfs);

}  // namespace vox
