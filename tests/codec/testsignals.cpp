#include "tests/codec/testsignals.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>

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

double PowerAt(const std::vector<int16_t>& samples, size_t from, size_t to, double frequency) {
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / kSampleRate);
    double s1 = 0;
    double s2 = 0;
    for (size_t i = from; i < to; ++i) {
        const double s0 = samples[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

double DominantFrequency(const std::vector<int16_t>& samples, size_t from, size_t to, double low,
                         double high, double step) {
    double best = low;
    double bestPower = -1;
    for (double f = low; f <= high; f += step) {
        const double power = PowerAt(samples, from, to, f);
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

std::vector<uint8_t> SpokenPcm(const std::string& text) {
    const std::string command = "espeak-ng --stdout \"" + text +
                                "\" 2>/dev/null | sox -t wav - -t raw -r 8000 -e signed -b 16 "
                                "-c 1 - 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::vector<uint8_t> pcm;
    uint8_t buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        pcm.insert(pcm.end(), buffer, buffer + n);
    if (pclose(pipe) != 0) return {};
    return pcm;
}

namespace {

std::vector<double> LogSpectrum(const std::vector<int16_t>& x, size_t start, size_t n) {
    std::vector<double> spectrum;
    const size_t firstBin = 100 * n / kSampleRate + 1;
    const size_t lastBin = 3400 * n / kSampleRate;
    for (size_t k = firstBin; k <= lastBin; ++k) {
        std::complex<double> sum = 0;
        for (size_t i = 0; i < n; ++i) {
            const double window =
                0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(n));
            sum += window * x[start + i] *
                   std::polar(1.0, -2 * std::numbers::pi * double(k) * double(i) / double(n));
        }
        spectrum.push_back(10 * std::log10(std::norm(sum) + 1e-3));
    }
    return spectrum;
}

}  // namespace

double LogSpectralDistance(const std::vector<int16_t>& a, const std::vector<int16_t>& b,
                           size_t delay) {
    constexpr size_t kFrame = 256;
    double total = 0;
    int frames = 0;
    for (size_t s = 0; s + kFrame + delay <= b.size() && s + kFrame <= a.size(); s += kFrame) {
        if (Rms(a, s, s + kFrame) < 100) continue;
        const std::vector<double> sa = LogSpectrum(a, s, kFrame);
        const std::vector<double> sb = LogSpectrum(b, s + delay, kFrame);
        double sum = 0;
        for (size_t k = 0; k < sa.size(); ++k) sum += (sa[k] - sb[k]) * (sa[k] - sb[k]);
        total += std::sqrt(sum / static_cast<double>(sa.size()));
        ++frames;
    }
    return frames > 0 ? total / frames : 1e9;
}

}  // namespace vox::test
