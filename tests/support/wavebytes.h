#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vox::test {

// Wave files built and taken apart byte by byte, independent of the reader under test.

// A canonical 44-byte-header RIFF WAVE file: PCM, mono, 16-bit, 8000 Hz, holding pcm.
std::vector<uint8_t> MonoWaveFile(const std::vector<uint8_t>& pcm);

// A PCM wave file of any layout, written byte by byte: interleaved 16-bit frames.
std::vector<uint8_t> Pcm16WaveBytes(int rate, int channels, const std::vector<int16_t>& frames);

// MonoWaveFile(pcm) written to path; returns the path.
std::string WriteSpeechWave(const std::string& path, const std::vector<uint8_t>& pcm);

}  // namespace vox::test
