#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/speechsignals.h"

namespace vox::test {

constexpr int kSampleRate = 8000;

// Bytes from a fixed pseudo-random sequence, so that a failure can be reproduced.
std::vector<uint8_t> NoiseBytes(size_t count, uint32_t seed);

std::vector<int16_t> ToSamples(const std::vector<uint8_t>& pcm);
double Rms(const std::vector<int16_t>& samples, size_t from, size_t to);
// The frequency between low and high (in steps of step Hz) with the most power over [from, to).
double DominantFrequency(const std::vector<int16_t>& samples, size_t from, size_t to, double low,
                         double high, double step);

}  // namespace vox::test
