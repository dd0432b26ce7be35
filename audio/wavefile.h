#ifndef VOX_AUDIO_WAVEFILE_H
#define VOX_AUDIO_WAVEFILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "talkdata/bytes.h"

namespace vox {

// The only sound format: PCM, 1 channel, 8000 samples per second, 16000 bytes per second, block
// align 2, 16 bits, no extra bytes (a WAVEFORMATEX record, little-endian).
extern const uint8_t SpeechWaveFormat[18];

// Writes size bytes of PCM as a wave file in SpeechWaveFormat, replacing the file safely: on
// failure the old file (if any) is left as it was. why, when given, says what went wrong.
bool WriteWave(const std::string& path, const uint8_t* pcm, uint32_t size,
               std::string* why = nullptr);

// Reads the data chunk of a wave file in SpeechWaveFormat (bits per sample is not checked).
// On failure pcm is left as it was.
bool ReadWave(const std::string& path, std::vector<uint8_t>& pcm, std::string* why = nullptr);

// ReadWave's parser, for bytes already in memory.
bool ReadWaveBytes(ByteSpan file, std::vector<uint8_t>& pcm, std::string* why = nullptr);

// The bytes WriteWave writes; empty when pcm is null with a non-zero size or when size is too
// large for a RIFF file.
std::vector<uint8_t> MakeWaveBytes(const uint8_t* pcm, uint32_t size);

}  // namespace vox

#endif
