#pragma once

#include <sndfile.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vox::test {

// Sound for the tests, made by formula so that every test can make the same recording again,
// and wave files built byte by byte, independent of the reader under test.

// 16-bit mono PCM at 8000 Hz, the speech format: a sine of the given frequency, length and
// amplitude.
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

// A canonical 44-byte-header RIFF WAVE file: PCM, mono, 16-bit, 8000 Hz, holding pcm.
std::vector<uint8_t> MonoWaveFile(const std::vector<uint8_t>& pcm);

// A PCM wave file of any layout, written byte by byte: interleaved 16-bit frames.
std::vector<uint8_t> Pcm16WaveBytes(int rate, int channels, const std::vector<int16_t>& frames);

// MonoWaveFile(pcm) written to path; returns the path.
std::string WriteSpeechWave(const std::string& path, const std::vector<uint8_t>& pcm);

// A sound file of interleaved frames (full scale 1.0) in a libsndfile format such as
// SF_FORMAT_FLAC | SF_FORMAT_PCM_24, as a studio would send it.
std::vector<uint8_t> SoundFileBytes(int format, int rate, int channels,
                                    const std::vector<float>& frames);

// A sine of the given peak (full scale 1.0) in every channel.
std::vector<float> SineFrames(double frequency, double peak, int rate, int channels,
                              double seconds);

}  // namespace vox::test
