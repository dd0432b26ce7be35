#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vox::test {

inline constexpr int kToneRate = 8000;
inline constexpr double kToneAmplitude = 12000.0;

struct Tone {
    int frequency = 0;
    int ms = 0;
};

// "FREQ:MS", for example "400:500"; false when malformed or out of range.
inline bool ParseTone(const std::string& text, Tone& tone) {
    int frequency = 0;
    int ms = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%d:%d%c", &frequency, &ms, &extra) != 2) return false;
    if (frequency < 50 || frequency > 3900 || ms < 1 || ms > 60000) return false;
    tone = {frequency, ms};
    return true;
}

// The samples of a tone, the same in the program that plays it and the one that checks it.
inline std::vector<int16_t> ToneSamples(const Tone& tone) {
    std::vector<int16_t> samples(static_cast<size_t>(tone.ms) * kToneRate / 1000);
    const double step = 2.0 * M_PI * tone.frequency / kToneRate;
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(std::lround(kToneAmplitude * std::sin(step * i)));
    }
    return samples;
}

}  // namespace vox::test
