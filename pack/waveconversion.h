#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "talkdata/bytes.h"

namespace vox::pack {

// Pack's way in for a wave that is not in the speech format: the audio library's sound file
// reader, with pack's words around it. note says what the file was ("converted from 44100 Hz
// stereo 16-bit to 8000 Hz mono 16-bit"). A recording longer than maxPcmBytes is refused, never
// cut: pack has nobody to ask whether a cut is wanted.
bool ConvertToSpeechPcm(ByteSpan file, uint32_t maxPcmBytes, std::vector<uint8_t>& pcm,
                        std::string& note, std::string& why);

}  // namespace vox::pack
