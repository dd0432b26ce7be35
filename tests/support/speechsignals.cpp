#include "tests/support/speechsignals.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <stdexcept>

#include "audio/speechcodec.h"
#include "talkdata/bytes.h"

namespace vox::test {

std::vector<uint8_t> SinePcm(double hz, int samples, double amplitude) {
    std::vector<uint8_t> pcm(2 * static_cast<size_t>(std::max(samples, 0)));
    for (size_t i = 0; i < pcm.size() / 2; ++i) {
        const auto value = static_cast<int16_t>(std::lround(
            amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / 8000.0)));
        WriteU16(pcm.data() + 2 * i, static_cast<uint16_t>(value));
    }
    return pcm;
}

std::vector<uint8_t> SpeechLikePcm(size_t bytes, double hz) {
    std::vector<uint8_t> pcm(bytes & ~size_t{1});
    constexpr double pi = std::numbers::pi;
    double phase = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const double t = static_cast<double>(i / 2) / 8000.0;
        phase += 2 * pi * hz * (1.0 + 0.5 * std::sin(2 * pi * 3.0 * t)) / 8000.0;
        const double envelope = 0.6 + 0.4 * std::sin(2 * pi * 5.0 * t);
        const auto sample = static_cast<int16_t>(9000.0 * envelope * std::sin(phase));
        WriteU16(pcm.data() + i, static_cast<uint16_t>(sample));
    }
    return pcm;
}

std::vector<uint8_t> CodedPcm(const std::vector<uint8_t>& pcm) {
    SpeechCodec codec;
    if (!codec.Init()) throw std::runtime_error("the speech codec does not start");
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    if (!codec.Encode(pcm.data(), static_cast<uint32_t>(pcm.size()), coded, codedLen))
        throw std::runtime_error("the speech codec does not code");
    return std::vector<uint8_t>(coded.get(), coded.get() + codedLen);
}

std::vector<uint8_t> DecodedPcm(const std::vector<uint8_t>& coded) {
    SpeechCodec codec;
    if (!codec.Init()) throw std::runtime_error("the speech codec does not start");
    std::vector<uint8_t> pcm(SpeechCodec::kMaxPcmBytes + 500);
    uint32_t pcmLen = 0;
    if (!codec.Decode(coded.data(), static_cast<uint32_t>(coded.size()), pcm.data(),
                      static_cast<uint32_t>(pcm.size()), pcmLen))
        throw std::runtime_error("the speech codec does not decode");
    pcm.resize(pcmLen);
    return pcm;
}

std::vector<uint8_t> CodedSine(double hz, int samples) { return CodedPcm(SinePcm(hz, samples)); }

}  // namespace vox::test
