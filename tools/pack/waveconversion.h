#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "talkdata/bytes.h"

namespace vox::pack {

// Reads a sound file of any format libsndfile knows (a wave file at another rate, in stereo,
// 8-bit, float, ...) and turns it into PCM in SpeechWaveFormat: 16-bit, mono (channels
// averaged), 8000 samples per second (resampled with libsoxr at high quality). note says what
// the file was, for the message that tells the user about the conversion. A file whose
// converted samples would exceed maxPcmBytes is refused before its samples are read, so a long
// file never costs more memory than a talk entry can hold.
bool ConvertToSpeechPcm(ByteSpan file, uint32_t maxPcmBytes, std::vector<uint8_t>& pcm,
                        std::string& note, std::string& why);

}  // namespace vox::pack
