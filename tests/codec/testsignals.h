#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/speechsignals.h"

namespace vox::test {

constexpr int kSampleRate = 8000;

// Bytes from a fixed pseudo-random sequence, so a failure can be reproduced.
std::vector<uint8_t> NoiseBytes(size_t count, uint32_t seed);

std::vector<int16_t> ToSamples(const std::vector<uint8_t>& pcm);
double Rms(const std::vector<int16_t>& samples, size_t from, size_t to);
// Power of one frequency over [from, to) (Goertzel), for finding a dominant frequency.
double PowerAt(const std::vector<int16_t>& samples, size_t from, size_t to, double frequency);
// The frequency between low and high (in steps of step Hz) with the most power.
double DominantFrequency(const std::vector<int16_t>& samples, size_t from, size_t to, double low,
                         double high, double step);

// Speech from espeak-ng, resampled to 8000 Hz 16-bit mono by sox; empty if either is missing.
std::vector<uint8_t> SpokenPcm(const std::string& text);

// Mean log-spectral distance in dB over 100 to 3400 Hz between two signals, the second shifted
// by delay samples, over 256-sample frames where the first is not near silence.
double LogSpectralDistance(const std::vector<int16_t>& a, const std::vector<int16_t>& b,
                           size_t delay);

}  // namespace vox::test
