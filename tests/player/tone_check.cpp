// Reads raw 16-bit little-endian mono PCM at 8000 Hz and reports the tones in it.
//
//   tone_check segments FILE FREQ...   one line per run of 10 ms frames in which one of the
//                                      given frequencies dominates: "FREQ START_MS LENGTH_MS"
//   tone_check exact FILE FREQ:MS...   whether the exact samples of each tone (as play_tones
//                                      makes them) occur in FILE, in this order
//
// Exit status: 0 done (exact: all found in order), 1 not found or unreadable, 2 usage.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/player/tones.h"

namespace {

constexpr int kFrame = 80;  // 10 ms

bool ReadPcm(const char* path, std::vector<int16_t>& samples) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    samples.resize(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return true;
}

// Share of the frame's energy at frequency (Goertzel).
double ShareAt(const int16_t* frame, int frequency) {
    const double coefficient = 2.0 * std::cos(2.0 * M_PI * frequency / vox::test::kToneRate);
    double previous = 0.0;
    double beforePrevious = 0.0;
    double energy = 0.0;
    for (int i = 0; i < kFrame; ++i) {
        double current = frame[i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
        energy += double(frame[i]) * frame[i];
    }
    double power = previous * previous + beforePrevious * beforePrevious -
                   coefficient * previous * beforePrevious;
    return energy > 0.0 ? power / (energy * kFrame / 2.0) : 0.0;
}

// The frequency that holds most of a loud enough frame, or 0.
int FrameTone(const int16_t* frame, const std::vector<int>& frequencies) {
    double energy = 0.0;
    for (int i = 0; i < kFrame; ++i) energy += double(frame[i]) * frame[i];
    const double quiet = vox::test::kToneAmplitude * 0.1;
    if (std::sqrt(energy / kFrame) < quiet) return 0;
    for (int frequency : frequencies) {
        if (ShareAt(frame, frequency) > 0.5) return frequency;
    }
    return 0;
}

int Segments(const std::vector<int16_t>& samples, const std::vector<int>& frequencies) {
    int current = 0;
    size_t start = 0;
    size_t frames = samples.size() / kFrame;
    for (size_t f = 0; f <= frames; ++f) {
        int tone = f < frames ? FrameTone(&samples[f * kFrame], frequencies) : 0;
        if (tone == current) continue;
        if (current != 0) std::printf("%d %zu %zu\n", current, start * 10, (f - start) * 10);
        current = tone;
        start = f;
    }
    return 0;
}

int Exact(const std::vector<int16_t>& samples, const std::vector<vox::test::Tone>& tones) {
    auto from = samples.begin();
    for (const auto& tone : tones) {
        std::vector<int16_t> wanted = vox::test::ToneSamples(tone);
        auto found = std::search(from, samples.end(), wanted.begin(), wanted.end());
        if (found == samples.end()) {
            std::printf("missing %d:%d\n", tone.frequency, tone.ms);
            return 1;
        }
        std::printf("found %d:%d at sample %td\n", tone.frequency, tone.ms,
                    found - samples.begin());
        from = found + static_cast<std::ptrdiff_t>(wanted.size());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: tone_check segments FILE FREQ... | exact FILE FREQ:MS...\n");
        return 2;
    }
    std::string mode = argv[1];
    std::vector<int16_t> samples;
    if (!ReadPcm(argv[2], samples)) {
        std::fprintf(stderr, "tone_check: cannot read %s\n", argv[2]);
        return 1;
    }
    if (mode == "segments") {
        std::vector<int> frequencies;
        for (int i = 3; i < argc; ++i) frequencies.push_back(std::atoi(argv[i]));
        return Segments(samples, frequencies);
    }
    if (mode == "exact") {
        std::vector<vox::test::Tone> tones;
        for (int i = 3; i < argc; ++i) {
            vox::test::Tone tone;
            if (!vox::test::ParseTone(argv[i], tone)) {
                std::fprintf(stderr, "tone_check: bad tone '%s'\n", argv[i]);
                return 2;
            }
            tones.push_back(tone);
        }
        return Exact(samples, tones);
    }
    std::fprintf(stderr, "tone_check: unknown mode '%s'\n", mode.c_str());
    return 2;
}
