#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vox::test {

// A sound file of interleaved frames (full scale 1.0) in a libsndfile format such as
// SF_FORMAT_FLAC | SF_FORMAT_PCM_24, as a studio would send it.
std::vector<uint8_t> SoundFileBytes(int format, int rate, int channels,
                                    const std::vector<float>& frames);

// A sine of the given peak (full scale 1.0) in every channel.
std::vector<float> SineFrames(double frequency, double peak, int rate, int channels,
                              double seconds);

}  // namespace vox::test
