#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/databasebuilder.h"

namespace vox::test {

// 16-bit mono PCM at 8000 Hz: a sine of the given frequency and length.
std::vector<uint8_t> SinePcm(double hz, int samples, double amplitude = 8000.0);

// Coded bytes of a sine, as the speech codec makes them (so they decode).
std::vector<uint8_t> CodedSine(double hz, int samples);

// A PCM wave file of any layout, written byte by byte: interleaved 16-bit frames.
std::vector<uint8_t> Pcm16WaveBytes(int rate, int channels, const std::vector<int16_t>& frames);

// Everything in a file, as text.
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

// Collects notes.
struct NoteLog {
    std::vector<std::string> notes;
    std::string All() const;
};

}  // namespace vox::test
