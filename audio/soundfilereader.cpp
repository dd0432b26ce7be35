#include "audio/soundfilereader.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "audio/soundfileformat.h"
#include "audio/speechconverter.h"
#include "audio/wavefile.h"
#include "talkdata/wholefile.h"

namespace vox {
namespace {

constexpr int kSpeechRate = SpeechConverter::kSpeechRate;
constexpr int kMaxChannels = 64;
// Below this no take is speech; above it no studio records.
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 768000;
// Frames decoded at a time: a quarter of a second at 48 kHz.
constexpr sf_count_t kBlockFrames = 12000;

// libsndfile reads through these callbacks from a byte span.
struct MemoryFile {
    ByteSpan bytes;
    sf_count_t position = 0;
};

sf_count_t MemoryLength(void* user) {
    return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size());
}

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const auto size = static_cast<sf_count_t>(file->bytes.size());
    const sf_count_t base = whence == SEEK_CUR ? file->position : whence == SEEK_END ? size : 0;
    // A forged offset near the type's limits must not overflow the sum.
    if (offset > size || offset < -size) return -1;
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

struct SoundCloser {
    void operator()(SNDFILE* sound) const { sf_close(sound); }
};
using SoundHandle = std::unique_ptr<SNDFILE, SoundCloser>;

SpeechPcm Refuse(SpeechPcm result, SoundFileProblem problem, std::string why) {
    result.ok = false;
    result.pcm.clear();
    result.problem = problem;
    result.why = std::move(why);
    return result;
}

SpeechPcm RefuseTooLong(SpeechPcm result, uint32_t maxPcmBytes, bool atLeast) {
    const std::string length =
        (atLeast ? "more than " : "") + FormatSeconds(result.sourceSeconds, true);
    return Refuse(std::move(result), SoundFileProblem::kTooLong,
                  length + " long; a talk entry holds at most " +
                      FormatSeconds(maxPcmBytes / (2.0 * kSpeechRate), false));
}

// Whole samples only, so that a cut never leaves half of one.
size_t MaxSamples(uint32_t maxPcmBytes) { return maxPcmBytes / 2; }

// The length of a recording of frames at rate once at 8000 Hz, rounded to the nearest sample.
// Defined here rather than taken from the resampler, so that it is known before decoding.
size_t SpeechSamplesFor(int64_t frames, int rate) {
    return static_cast<size_t>((frames * kSpeechRate + rate / 2) / rate);
}

SpeechPcm TakeSpeechWave(std::vector<uint8_t> pcm, const SoundFileOptions& options) {
    SpeechPcm result;
    result.source = DescribeSoundFormat(SF_FORMAT_WAV | SF_FORMAT_PCM_16, kSpeechRate, 1);
    result.sourceSeconds = static_cast<double>(pcm.size()) / (2.0 * kSpeechRate);
    if (pcm.size() > options.maxPcmBytes) {
        if (!options.keepFirstPart)
            return RefuseTooLong(std::move(result), options.maxPcmBytes, false);
        pcm.resize(2 * MaxSamples(options.maxPcmBytes));
        result.trimmed = true;
    }
    result.pcm = std::move(pcm);
    result.ok = true;
    return result;
}

bool AllFinite(const std::vector<float>& samples, size_t count) {
    return std::all_of(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(count),
                       [](float v) { return std::isfinite(v); });
}

// Decodes and converts block by block. Keeps converting until enough samples are there for the
// limit (plus one, to know it is exceeded), then only counts frames, so that a recording whose
// header does not state its length still has one in the message.
class Decoder {
  public:
    Decoder(SNDFILE* sound, const SF_INFO& info, const SoundFileOptions& options)
        : sound_(sound),
          info_(info),
          options_(options),
          converter_(info.samplerate, info.channels) {}

    bool Run(bool knownLength, std::string& why) {
        if (!converter_.Init(why)) return false;
        const size_t wanted = MaxSamples(options_.maxPcmBytes) + 1;
        const auto cap = static_cast<int64_t>(kMaxSoundSeconds * info_.samplerate);
        std::vector<float> block(static_cast<size_t>(kBlockFrames * info_.channels));
        for (;;) {
            if (converter_.Size() >= wanted && knownLength) break;  // the rest is cut
            const sf_count_t got = sf_readf_float(sound_, block.data(), kBlockFrames);
            if (got <= 0) break;
            frames_ += got;
            if (frames_ > cap) {
                overCap_ = true;
                return true;
            }
            if (converter_.Size() >= wanted) continue;
            if (!AllFinite(block, static_cast<size_t>(got * info_.channels))) {
                why = "holds samples that are not numbers (NaN or infinity)";
                damaged_ = true;
                return false;
            }
            if (!converter_.Add(block.data(), static_cast<size_t>(got), why)) return false;
        }
        if (sf_error(sound_) != SF_ERR_NO_ERROR) {
            why = std::string("the sound data cannot be decoded (") + sf_strerror(sound_) + ")";
            damaged_ = true;
            return false;
        }
        return converter_.Finish(why);
    }

    int64_t Frames() const { return frames_; }
    bool OverCap() const { return overCap_; }
    bool Damaged() const { return damaged_; }
    const std::vector<float>& Samples() const { return converter_.Samples(); }

  private:
    SNDFILE* sound_;
    const SF_INFO& info_;
    const SoundFileOptions& options_;
    SpeechConverter converter_;
    int64_t frames_ = 0;
    bool overCap_ = false;
    bool damaged_ = false;
};

// libsndfile goes by the rate, channels and bits, and ignores the byte rate and block align
// that the speech wave reader also compares: calling such a file "not 8000 Hz mono 16-bit" would
// be wrong.
std::string DamagedSpeechWaveWhy(const std::string& speechWhy) {
    if (speechWhy != "not PCM, mono, 8000 samples per second, 16 bits") return speechWhy;
    return "the byte rate or block align in its \"fmt \" chunk is not that of 8000 Hz mono 16-bit";
}

// A lossy stream's length is often an estimate from its bit rate; any other format states it.
bool LengthIsExact(int format) { return (format & SF_FORMAT_TYPEMASK) != SF_FORMAT_MPEG; }

SpeechPcm Convert(SNDFILE* sound, const SF_INFO& info, const SoundFileOptions& options,
                  SpeechPcm result) {
    const bool knownLength = info.frames > 0 && info.frames < SF_COUNT_MAX;
    const int rate = info.samplerate;
    if (knownLength) {
        result.sourceSeconds = static_cast<double>(info.frames) / rate;
        if (result.sourceSeconds > kMaxSoundSeconds ||
            (!options.keepFirstPart &&
             SpeechSamplesFor(info.frames, rate) > MaxSamples(options.maxPcmBytes)))
            return RefuseTooLong(std::move(result), options.maxPcmBytes, false);
    }
    Decoder decoder(sound, info, options);
    std::string why;
    if (!decoder.Run(knownLength, why))
        return Refuse(
            std::move(result),
            decoder.Damaged() ? SoundFileProblem::kDamaged : SoundFileProblem::kUnusableFormat,
            why);
    if (decoder.OverCap()) {
        result.sourceSeconds = kMaxSoundSeconds;
        return RefuseTooLong(std::move(result), options.maxPcmBytes, true);
    }
    const bool readToEnd =
        !knownLength || SpeechSamplesFor(info.frames, rate) <= MaxSamples(options.maxPcmBytes);
    if (knownLength && readToEnd && decoder.Frames() < info.frames && LengthIsExact(info.format))
        return Refuse(std::move(result), SoundFileProblem::kDamaged, "the sound data is cut short");
    const int64_t frames = readToEnd ? decoder.Frames() : info.frames;
    result.sourceSeconds = static_cast<double>(frames) / rate;
    size_t samples = SpeechSamplesFor(frames, rate);
    if (samples == 0) return Refuse(std::move(result), SoundFileProblem::kNoSamples, "no samples");
    if (samples > MaxSamples(options.maxPcmBytes)) {
        if (!options.keepFirstPart)
            return RefuseTooLong(std::move(result), options.maxPcmBytes, false);
        samples = MaxSamples(options.maxPcmBytes);
        result.trimmed = true;
    }
    result.pcm = QuantizeToPcm16(decoder.Samples(), samples, HasMoreThan16Bits(info.format));
    result.converted = true;
    result.ok = true;
    return result;
}

SpeechPcm ConvertSoundFile(ByteSpan file, const SoundFileOptions& options,
                           const std::string& speechWhy) {
    MemoryFile memory{file};
    SF_VIRTUAL_IO io{MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
    SF_INFO info{};
    const SoundHandle sound(sf_open_virtual(&io, SFM_READ, &info, &memory));
    SpeechPcm result;
    if (sound == nullptr)
        return Refuse(std::move(result), SoundFileProblem::kNotReadable,
                      "not a sound file libsndfile can read");
    result.source = DescribeSoundFormat(info.format, info.samplerate, info.channels);
    if (IsSpeechWaveFormat(info.format, info.samplerate, info.channels))
        return Refuse(std::move(result), SoundFileProblem::kDamaged,
                      DamagedSpeechWaveWhy(speechWhy));
    if (info.channels < 1 || info.channels > kMaxChannels)
        return Refuse(std::move(result), SoundFileProblem::kUnusableFormat,
                      std::to_string(info.channels) + " channels; at most " +
                          std::to_string(kMaxChannels) + " are read");
    if (info.samplerate < kMinRate || info.samplerate > kMaxRate)
        return Refuse(std::move(result), SoundFileProblem::kUnusableFormat,
                      std::to_string(info.samplerate) + " samples per second; " +
                          std::to_string(kMinRate) + " to " + std::to_string(kMaxRate) +
                          " are read");
    return Convert(sound.get(), info, options, std::move(result));
}

}  // namespace

SpeechPcm ReadSpeechPcm(ByteSpan file, const SoundFileOptions& options) {
    std::vector<uint8_t> pcm;
    std::string speechWhy;
    if (ReadWaveBytes(file, pcm, &speechWhy)) return TakeSpeechWave(std::move(pcm), options);
    return ConvertSoundFile(file, options, speechWhy);
}

SpeechPcm ReadSpeechPcmFile(const std::string& path, const SoundFileOptions& options) {
    SpeechPcm result;
    // Looked at before opening: a FIFO would wait for a writer, and a huge file would be read
    // whole before anything could refuse it.
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return Refuse(std::move(result), SoundFileProblem::kNotReadable, std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return Refuse(std::move(result), SoundFileProblem::kNotReadable, "not a regular file");
    if (static_cast<uint64_t>(info.st_size) > kMaxSoundFileBytes)
        return Refuse(std::move(result), SoundFileProblem::kTooLong,
                      std::to_string(static_cast<uint64_t>(info.st_size) >> 20) +
                          " MiB; no take is that large");
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadWholeFile(path, bytes, why))
        return Refuse(std::move(result), SoundFileProblem::kNotReadable, why);
    return ReadSpeechPcm(bytes, options);
}

std::string FormatSeconds(double seconds, bool roundUp) {
    const double hundredths = seconds * 100;
    char text[48];
    std::snprintf(text, sizeof text, "%.2f s",
                  (roundUp ? std::ceil(hundredths - 1e-6) : std::floor(hundredths + 1e-6)) / 100);
    return text;
}

std::string ConversionMessage(const SpeechPcm& result) {
    if (!result.ok || !result.converted) return {};
    return "converted from " + result.source;
}

}  // namespace vox
