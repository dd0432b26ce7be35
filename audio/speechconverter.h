#pragma once

// The signal path from a decoded sound file to speech samples, fed block by block so that a long
// file never has to be held whole: frames are averaged to mono, converted to 8000 Hz by libsoxr
// at high quality (SOXR_HQ), and finally brought to 16 bits.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct soxr;

namespace vox {

class SpeechConverter {
  public:
    static constexpr int kSpeechRate = 8000;

    SpeechConverter(int rate, int channels);
    ~SpeechConverter();
    SpeechConverter(const SpeechConverter&) = delete;
    SpeechConverter& operator=(const SpeechConverter&) = delete;

    // False with why when the resampler cannot be made for this rate.
    bool Init(std::string& why);

    // Appends the 8000 Hz mono samples of count interleaved frames (full scale is 1.0).
    bool Add(const float* frames, size_t count, std::string& why);

    // Lets out what the resampler still holds back; call once, after the last Add.
    bool Finish(std::string& why);

    // 8000 Hz samples made so far.
    size_t Size() const { return out_.size(); }
    const std::vector<float>& Samples() const { return out_; }

  private:
    bool Resample(const float* in, size_t count, std::string& why);

    int rate_;
    int channels_;
    soxr* resampler_ = nullptr;
    std::vector<float> mono_;
    std::vector<float> out_;
};

// Exactly count samples (the end padded with silence when there are fewer) as 16-bit
// little-endian PCM, clamped to full scale. With dither, triangular (TPDF) noise of one step is
// added before rounding so that the quantising error of a deeper source is noise rather than
// distortion; its generator starts from the same seed on every call, so the same input always
// gives the same bytes.
std::vector<uint8_t> QuantizeToPcm16(std::span<const float> samples, size_t count, bool dither);

}  // namespace vox
