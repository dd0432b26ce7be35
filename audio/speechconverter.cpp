#include "audio/speechconverter.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

#include "talkdata/bytes.h"

namespace vox {
namespace {

// Room for the samples of one block of input, plus what the filter releases with it.
size_t OutputRoom(size_t in, int rate) {
    return static_cast<size_t>(
               std::ceil(static_cast<double>(in) * SpeechConverter::kSpeechRate / rate)) +
           64;
}

// xorshift32: tiny, and the same sequence on every platform (the standard distributions are not).
class DitherNoise {
  public:
    // Uniform in [-0.5, 0.5).
    float Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<float>(state_ >> 8) * (1.0f / 16777216.0f) - 0.5f;
    }

  private:
    uint32_t state_ = 0x2545F491u;
};

}  // namespace

SpeechConverter::SpeechConverter(int rate, int channels) : rate_(rate), channels_(channels) {}

SpeechConverter::~SpeechConverter() { soxr_delete(resampler_); }

bool SpeechConverter::Init(std::string& why) {
    if (rate_ == kSpeechRate) return true;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    resampler_ = soxr_create(rate_, kSpeechRate, 1, &error, &io, &quality, nullptr);
    if (resampler_ == nullptr || error != nullptr) {
        why = std::string("cannot convert the rate: ") + soxr_strerror(error);
        return false;
    }
    return true;
}

bool SpeechConverter::Add(const float* frames, size_t count, std::string& why) {
    const auto channels = static_cast<size_t>(channels_);
    mono_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        // In double: 64 channels of loud float samples must not overflow the sum.
        double sum = 0;
        for (size_t c = 0; c < channels; ++c) sum += frames[i * channels + c];
        mono_[i] = static_cast<float>(sum / static_cast<double>(channels));
    }
    if (resampler_ == nullptr) {
        out_.insert(out_.end(), mono_.begin(), mono_.end());
        return true;
    }
    return Resample(mono_.data(), count, why);
}

bool SpeechConverter::Finish(std::string& why) {
    if (resampler_ == nullptr) return true;
    return Resample(nullptr, 0, why);
}

// A null input tells the resampler the signal has ended; it then lets out its tail, which may
// take more than one call.
bool SpeechConverter::Resample(const float* in, size_t count, std::string& why) {
    size_t used = 0;
    for (;;) {
        const size_t room = OutputRoom(count - used, rate_);
        const size_t start = out_.size();
        out_.resize(start + room);
        size_t inDone = 0;
        size_t outDone = 0;
        const soxr_error_t error =
            soxr_process(resampler_, in == nullptr ? nullptr : in + used, count - used, &inDone,
                         out_.data() + start, room, &outDone);
        out_.resize(start + outDone);
        if (error != nullptr) {
            why = std::string("cannot convert the rate: ") + error;
            return false;
        }
        used += inDone;
        if (in == nullptr) {
            if (outDone == 0) return true;
        } else if (used >= count) {
            return true;
        } else if (inDone == 0 && outDone == 0) {
            why = "cannot convert the rate: the resampler takes no more input";
            return false;
        }
    }
}

std::vector<uint8_t> QuantizeToPcm16(std::span<const float> samples, size_t count, bool dither) {
    std::vector<uint8_t> pcm(2 * count);
    DitherNoise noise;
    for (size_t i = 0; i < count && i < samples.size(); ++i) {
        float scaled = samples[i] * 32768.0f;
        if (dither) scaled += noise.Next() + noise.Next();
        // NaN cannot reach here from a file, but a cast of NaN would be undefined.
        if (std::isnan(scaled)) scaled = 0;
        const float value = std::clamp(std::nearbyint(scaled), -32768.0f, 32767.0f);
        WriteU16(pcm.data() + 2 * i, static_cast<uint16_t>(static_cast<int16_t>(value)));
    }
    return pcm;
}

}  // namespace vox
