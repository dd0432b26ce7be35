#pragma once

#include <cstdint>
#include <vector>

namespace vox::bench {

// A few distinct recordings, coded once: the generated databases reuse their frames, so that
// making a gigabyte of talk file costs no more coding than making a megabyte.
struct Recording {
    std::vector<uint8_t> pcm;
    std::vector<uint8_t> coded;
};

// count recordings of 0.3 to 1.5 s of speech-like sound (0.8 s on average, a typical word).
std::vector<Recording> MakeRecordings(int count);

// 16-bit mono PCM at 8000 Hz with a moving pitch and envelope; seed varies both.
std::vector<uint8_t> SpeechLikePcm(uint32_t bytes, int seed);

}  // namespace vox::bench
