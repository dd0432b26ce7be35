#include "tests/pack/packfixtures.h"

#include <cmath>
#include <fstream>
#include <memory>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include "audio/speechcodec.h"

namespace vox::test {

std::vector<uint8_t> SinePcm(double hz, int samples, double amplitude) {
    std::vector<uint8_t> pcm;
    for (int i = 0; i < samples; ++i) {
        const auto value =
            static_cast<int16_t>(amplitude * std::sin(2 * std::numbers::pi * hz * i / 8000.0));
        PutU16(pcm, static_cast<uint16_t>(value));
    }
    return pcm;
}

std::vector<uint8_t> CodedSine(double hz, int samples) {
    SpeechCodec codec;
    if (!codec.Init()) throw std::runtime_error("codec does not start");
    const std::vector<uint8_t> pcm = SinePcm(hz, samples);
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    if (!codec.Encode(pcm.data(), static_cast<uint32_t>(pcm.size()), coded, codedLen))
        throw std::runtime_error("codec does not code");
    return std::vector<uint8_t>(coded.get(), coded.get() + codedLen);
}

std::vector<uint8_t> Pcm16WaveBytes(int rate, int channels, const std::vector<int16_t>& frames) {
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    const auto dataSize = static_cast<uint32_t>(2 * frames.size());
    PutU32(out, 36 + dataSize);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutU32(out, 16);                                          // fmt size
    PutU16(out, 1);                                           // PCM
    PutU16(out, static_cast<uint16_t>(channels));             // channels
    PutU32(out, static_cast<uint32_t>(rate));                 // samples per second
    PutU32(out, static_cast<uint32_t>(rate * channels * 2));  // bytes per second
    PutU16(out, static_cast<uint16_t>(channels * 2));         // block align
    PutU16(out, 16);                                          // bits per sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutU32(out, dataSize);
    for (int16_t sample : frames) PutU16(out, static_cast<uint16_t>(sample));
    return out;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string NoteLog::All() const {
    std::string all;
    for (const std::string& note : notes) all += note + "\n";
    return all;
}

}  // namespace vox::test
