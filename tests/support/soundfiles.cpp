#include "tests/support/soundfiles.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "tests/support/tempdir.h"

namespace vox::test {

std::vector<uint8_t> SoundFileBytes(int format, int rate, int channels,
                                    const std::vector<float>& frames) {
    const TempDir dir;
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* sound = sf_open(dir.File("sound").c_str(), SFM_WRITE, &info);
    if (sound == nullptr) throw std::runtime_error(sf_strerror(nullptr));
    sf_writef_float(sound, frames.data(), static_cast<sf_count_t>(frames.size()) / channels);
    sf_close(sound);
    return ReadFileBytes(dir.File("sound"));
}

std::vector<float> SineFrames(double frequency, double peak, int rate, int channels,
                              double seconds) {
    const auto count = static_cast<size_t>(std::lround(seconds * rate));
    std::vector<float> frames;
    frames.reserve(count * static_cast<size_t>(channels));
    for (size_t i = 0; i < count; ++i) {
        const auto value = static_cast<float>(
            peak * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate));
        for (int c = 0; c < channels; ++c) frames.push_back(value);
    }
    return frames;
}

}  // namespace vox::test
