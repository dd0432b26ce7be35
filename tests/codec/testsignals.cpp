#include "tests/codec/testsignals.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace vox::test {

std::vector<uint8_t> NoiseBytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    uint32_t state = seed != 0 ? seed : 1;
    for (uint8_t& b : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

std::vector<int16_t> ToSamples(const std::vector<uint8_t>& pcm) {
    std::vector<int16_t> samples(pcm.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
    }
    return samples;
}

double Rms(const std::vector<int16_t>& samples, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}

// Goertzel's algorithm at each candidate frequency.
double DominantFrequency(const std::vector<int16_t>& samples, size_t from, size_t to, double low,
                         double high, double step) {
    double best = low;
    double bestPower = -1;
    for (double f = low; f <= high; f += step) {
        const double coefficient = 2 * std::cos(2 * std::numbers::pi * f / kSampleRate);
        double s1 = 0;
        double s2 = 0;
        for (size_t i = from; i < to; ++i)
            s2 = std::exchange(s1, samples[i] + coefficient * s1 - s2);
        const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

}  // namespace vox::test
