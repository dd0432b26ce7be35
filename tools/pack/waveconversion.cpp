#include "tools/pack/waveconversion.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vox::pack {
namespace {

constexpr int kSpeechRate = 8000;
constexpr int kMaxChannels = 64;

// libsndfile reads through these callbacks from a byte span, so files and tests share one path.
struct MemoryFile {
    ByteSpan bytes;
    sf_count_t position = 0;
};

sf_count_t MemoryLength(void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size()); }

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const sf_count_t size = static_cast<sf_count_t>(file->bytes.size());
    sf_count_t base = whence == SEEK_CUR ? file->position : whence == SEEK_END ? size : 0;
    const sf_count_t target = base + offset;
    if (target < 0 || target > size) return -1;
    file->position = target;
    return target;
}

sf_count_t MemoryRead(void* out, sf_count_t count, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const sf_count_t left = static_cast<sf_count_t>(file->bytes.size()) - file->position;
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, left);
    if (n > 0) std::memcpy(out, file->bytes.data() + file->position, static_cast<size_t>(n));
    file->position += n;
    return n;
}

sf_count_t MemoryWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t MemoryTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

std::string SampleFormatName(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8: return "8-bit";
        case SF_FORMAT_PCM_16: return "16-bit";
        case SF_FORMAT_PCM_24: return "24-bit";
        case SF_FORMAT_PCM_32: return "32-bit";
        case SF_FORMAT_FLOAT: return "32-bit float";
        case SF_FORMAT_DOUBLE: return "64-bit float";
        case SF_FORMAT_ULAW: return "mu-law";
        case SF_FORMAT_ALAW: return "A-law";
        default: return "compressed";
    }
}

std::string Describe(const SF_INFO& info) {
    return std::to_string(info.samplerate) + " Hz " +
           (info.channels == 1 ? std::string("mono") : std::to_string(info.channels) + " channels") +
           " " + SampleFormatName(info.format);
}

std::vector<float> MixDown(const std::vector<float>& frames, int channels) {
    if (channels == 1) return frames;
    std::vector<float> mono(frames.size() / static_cast<size_t>(channels));
    for (size_t i = 0; i < mono.size(); ++i) {
        float sum = 0;
        for (int c = 0; c < channels; ++c) sum += frames[i * static_cast<size_t>(channels) + static_cast<size_t>(c)];
        mono[i] = sum / static_cast<float>(channels);
    }
    return mono;
}

bool Resample(const std::vector<float>& in, int rate, std::vector<float>& out, std::string& why) {
    if (rate == kSpeechRate) {
        out = in;
        return true;
    }
    const double ratio = static_cast<double>(kSpeechRate) / rate;
    out.resize(static_cast<size_t>(std::ceil(static_cast<double>(in.size()) * ratio)) + 16);
    size_t done = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_error_t error = soxr_oneshot(rate, kSpeechRate, 1, in.data(), in.size(), nullptr,
                                            out.data(), out.size(), &done, &io, &quality, nullptr);
    if (error != nullptr) {
        why = std::string("cannot resample: ") + error;
        return false;
    }
    out.resize(done);
    return true;
}

std::vector<uint8_t> ToPcm16(const std::vector<float>& samples) {
    std::vector<uint8_t> pcm(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const float scaled = std::nearbyint(samples[i] * 32768.0f);
        const auto value = static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
        WriteU16(pcm.data() + 2 * i, static_cast<uint16_t>(value));
    }
    return pcm;
}

bool ReadFrames(SNDFILE* sound, const SF_INFO& info, uint32_t maxPcmBytes, std::vector<float>& frames,
                std::string& why) {
    const double seconds = static_cast<double>(info.frames) / info.samplerate;
    const double limit = static_cast<double>(maxPcmBytes) / (2.0 * kSpeechRate);
    if (seconds > limit) {
        char text[128];
        std::snprintf(text, sizeof text, "%.2f s long; a talk entry holds at most %.2f s", seconds, limit);
        why = text;
        return false;
    }
    frames.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t got = sf_readf_float(sound, frames.data(), info.frames);
    if (got != info.frames) {
        why = "the sound data is cut short";
        return false;
    }
    return true;
}

}  // namespace

bool ConvertToSpeechPcm(ByteSpan file, uint32_t maxPcmBytes, std::vector<uint8_t>& pcm,
                        std::string& note, std::string& why) {
    MemoryFile memory{file};
    SF_VIRTUAL_IO io{MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
    SF_INFO info{};
    SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, &memory);
    if (sound == nullptr) {
        why = std::string("not a sound file libsndfile can read (") + sf_strerror(nullptr) + ")";
        return false;
    }
    std::vector<float> frames;
    bool ok = true;
    if (info.channels < 1 || info.channels > kMaxChannels || info.samplerate < 1 || info.frames < 0) {
        why = "the sound format is not usable (" + Describe(info) + ")";
        ok = false;
    }
    ok = ok && ReadFrames(sound, info, maxPcmBytes, frames, why);
    sf_close(sound);
    std::vector<float> resampled;
    if (!ok || !Resample(MixDown(frames, info.channels), info.samplerate, resampled, why)) return false;
    std::vector<uint8_t> converted = ToPcm16(resampled);
    if (converted.size() > maxPcmBytes) converted.resize(maxPcmBytes);  // resampler rounding
    pcm = std::move(converted);
    note = "converted from " + Describe(info) + " to 8000 Hz mono 16-bit";
    return true;
}

}  // namespace vox::pack
