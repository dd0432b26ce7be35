#include "tests/support/wavebytes.h"

#include <string>

#include "tests/support/databasebuilder.h"
#include "tests/support/tempdir.h"

namespace vox::test {

namespace {

void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (const char* c = tag; *c != '\0'; ++c) out.push_back(static_cast<uint8_t>(*c));
}

}  // namespace

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

}  // namespace vox::test
