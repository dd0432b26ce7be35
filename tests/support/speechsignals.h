#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vox::test {

// 16-bit mono PCM at 8000 Hz, the speech format, made by formula so that every test can make
// the same recording again.

// A sine of the given frequency, length and amplitude.
std::vector<uint8_t> SinePcm(double hz, int samples, double amplitude = 8000.0);
// A tone whose pitch and loudness wander around hz, so that the codec codes it like speech and
// two recordings of different hz can be told apart after a round trip.
std::vector<uint8_t> SpeechLikePcm(size_t bytes, double hz = 220.0);

// What the speech codec makes of pcm, from a codec of its own (fresh state, as every entry is
// coded), and what it gives back for coded bytes. Both throw when the codec fails.
std::vector<uint8_t> CodedPcm(const std::vector<uint8_t>& pcm);
std::vector<uint8_t> DecodedPcm(const std::vector<uint8_t>& coded);
// CodedPcm(SinePcm(hz, samples)).
std::vector<uint8_t> CodedSine(double hz, int samples);

}  // namespace vox::test
