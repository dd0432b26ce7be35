#include "tests/support/testsounds.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>

#include "audio/speechcodec.h"
#include "talkdata/bytes.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"

namespace vox::test {

namespace {

void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (const char* c = tag; *c != '\0'; ++c) out.push_back(static_cast<uint8_t>(*c));
}

}  // namespace

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

std::vector<uint8_t> MonoWaveFile(const std::vector<uint8_t>& pcm) {
    std::vector<uint8_t> out;
    PutTag(out, "RIFF");
    PutU32(out, static_cast<uint32_t>(36 + pcm.size()));
    PutTag(out, "WAVEfmt ");
    PutU32(out, 16);     // fmt chunk size
    PutU16(out, 1);      // PCM
    PutU16(out, 1);      // mono
    PutU32(out, 8000);   // samples per second
    PutU32(out, 16000);  // bytes per second
    PutU16(out, 2);      // block align
    PutU16(out, 16);     // bits per sample
    PutTag(out, "data");
    PutU32(out, static_cast<uint32_t>(pcm.size()));
    out.insert(out.end(), pcm.begin(), pcm.end());
    return out;
}

std::vector<uint8_t> Pcm16WaveBytes(int rate, int channels, const std::vector<int16_t>& frames) {
    std::vector<uint8_t> out;
    const auto dataSize = static_cast<uint32_t>(2 * frames.size());
    PutTag(out, "RIFF");
    PutU32(out, 36 + dataSize);
    PutTag(out, "WAVEfmt ");
    PutU32(out, 16);
    PutU16(out, 1);
    PutU16(out, static_cast<uint16_t>(channels));
    PutU32(out, static_cast<uint32_t>(rate));
    PutU32(out, static_cast<uint32_t>(rate * channels * 2));
    PutU16(out, static_cast<uint16_t>(channels * 2));
    PutU16(out, 16);
    PutTag(out, "data");
    PutU32(out, dataSize);
    for (int16_t frame : frames) PutU16(out, static_cast<uint16_t>(frame));
    return out;
}

std::string WriteSpeechWave(const std::string& path, const std::vector<uint8_t>& pcm) {
    WriteFileBytes(path, MonoWaveFile(pcm));
    return path;
}

std::vector<uint8_t> SoundFileBytes(int format, int rate, int channels,
                                    const std::vector<float>& frames) {
    const TempDir dir;
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* sound = sf_open(dir.File("sound").c_str(), SFM_WRITE, &info);
    if (sound == nullptr) throw std::runtime_error(sf_strerror(nullptr));
    sf_writef_float(sound, frames.data(), static_cast<sf_count_t>(frames.size()) / channels);
    sf_close(sound);
    return ReadFileBytes(dir.File("sound"));
}

std::vector<float> SineFrames(double frequency, double peak, int rate, int channels,
                              double seconds) {
    const auto count = static_cast<size_t>(std::lround(seconds * rate));
    std::vector<float> frames;
    frames.reserve(count * static_cast<size_t>(channels));
    for (size_t i = 0; i < count; ++i) {
        const auto value = static_cast<float>(
            peak * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate));
        for (int c = 0; c < channels; ++c) frames.push_back(value);
    }
    return frames;
}

}  // namespace vox::test
