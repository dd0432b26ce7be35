// Wave files in the speech format, written and read byte for byte; then recordings from outside:
// every kind of file converted to 8000 Hz mono 16-bit, speech waves taken as they are, the
// length rule, and every refusal.
#include "audio/wavefile.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <optional>
#include <string>

#include "audio/soundfilereader.h"
#include "tests/codec/testsignals.h"
#include "tests/support/soundfiles.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"

namespace vox::test {
namespace {

// A chunk with its size field and, after an odd size, the pad byte.
Bytes Chunk(const char (&id)[5], Bytes body) {
    const auto size = uint32_t(body.size());
    if (size % 2 != 0) body.push_back(0);
    return Concat({Bytes(id, id + 4),
                   {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)},
                   body});
}

Bytes Wave(std::initializer_list<Bytes> chunks) {
    return Chunk("RIFF", Concat({{'W', 'A', 'V', 'E'}, Concat(chunks)}));
}

Bytes Patched(Bytes file, size_t at, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) file.at(at++) = b;
    return file;
}

// The speech format's fmt chunk cut or zero-extended to size bytes, with bytes patched in at (0
// the tag, 2 channels, 4 rate, 8 byte rate, 12 block align, 14 bits per sample).
Bytes Fmt(size_t size = 18, size_t at = 0, std::initializer_list<uint8_t> bytes = {}) {
    Bytes body = Patched(Bytes(SpeechWaveFormat, SpeechWaveFormat + 18), at, bytes);
    body.resize(size, 0);
    return Chunk("fmt ", body);
}

// The fuzz target checks that a refusal says why and leaves the caller's bytes alone.
std::optional<Bytes> Read(const Bytes& file) {
    Bytes pcm;
    return ReadWaveBytes(file, pcm) ? std::optional(pcm) : std::nullopt;
}

TEST(WaveWrite, ThreeBytesGiveAFiftyByteFileWithRiffSize42) {
    // clang-format off
    const Bytes expected = {
        'R', 'I', 'F', 'F', 42, 0, 0, 0, 'W', 'A', 'V', 'E',  // 38 + 3 + the pad byte
        'f', 'm', 't', ' ', 18, 0, 0, 0, 1, 0, 1, 0,          // PCM, mono
        0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0,                   // 8000 Hz, 16000 bytes a second
        2, 0, 16, 0, 0, 0,                                    // block align, bits, extra size
        'd', 'a', 't', 'a', 3, 0, 0, 0, 0x11, 0x22, 0x33, 0,  // the bytes and the pad byte
    };
    // clang-format on
    const uint8_t pcm[] = {0x11, 0x22, 0x33};
    EXPECT_EQ(MakeWaveBytes(pcm, 3), expected);
    EXPECT_EQ(Read(expected), Bytes(pcm, pcm + 3));
    EXPECT_TRUE(MakeWaveBytes(nullptr, 5).empty());
}

// Only 8000 Hz mono 16-bit PCM is read, compared over the fmt chunk's first 14 bytes: bits per
// sample are not compared, and fmt chunks of 14 bytes or more are read. The RIFF reader is only
// used here, so its odd chunks, sizes and form types are checked here too.
TEST(WaveRead, TheFormatAndLayoutDecideWhatIsRead) {
    const Bytes pcm = {1, 2, 3, 4, 5, 6};
    const Bytes data = Chunk("data", pcm);
    const Bytes good = Wave({Fmt(), data});
    const size_t dataSize = good.size() - pcm.size() - 4;
    const std::nullopt_t no = std::nullopt;
    const struct {
        const char* what;
        Bytes file;
        std::optional<Bytes> pcm;  // none: refused
    } cases[] = {
        {"fmt of 14 bytes", Wave({Fmt(14), data}), pcm},
        {"8 bits per sample named", Wave({Fmt(18, 14, {8}), data}), pcm},
        {"fmt of 13 bytes", Wave({Fmt(13), data}), no},
        {"two channels", Wave({Fmt(18, 2, {2}), data}), no},
        {"a block align of 1", Wave({Fmt(18, 12, {1}), data}), no},
        {"data before fmt", Wave({data, Fmt()}), no},
        // The pad byte after an odd chunk is skipped.
        {"an odd data chunk before fmt", Wave({Chunk("data", {9}), Fmt(), data}), pcm},
        {"an empty data chunk", Wave({Fmt(), Chunk("data", {})}), Bytes{}},
        // Recorders that stop early leave the RIFF size as it was planned.
        {"a RIFF size beyond the file", Patched(good, 4, {0xF0, 0xFF}), pcm},
        {"chunks outside the RIFF chunk", Concat({Wave({}), Fmt(), data}), no},
        {"RIFX, the big-endian variant", Patched(good, 3, {'X'}), no},
        {"another RIFF form", Patched(good, 8, {'A'}), no},
        {"a RIFF chunk too small for its form type", Patched(good, 4, {2, 0, 0, 0}), no},
        {"a chunk size that would wrap the offset",
         Patched(Wave({Chunk("junk", {}), Fmt(), data}), 16, {0xFF, 0xFF, 0xFF, 0xFF}), no},
        {"data one byte longer than the file", Patched(good, dataSize, {7}), no},
        // Refused without trying to allocate it.
        {"data of about 4 GiB", Patched(good, dataSize, {0xFF, 0, 0, 0xFF}), no},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(c.file), c.pcm) << c.what;
    for (size_t len = 0; len < good.size(); ++len)
        EXPECT_EQ(Read(Bytes(good.begin(), good.begin() + long(len))), no) << len;
}

// 440 Hz in the first channel, 1 kHz in the others: the mono mix holds both, and a channel that
// was dropped or a mix that was not averaged shows.
double Tone(size_t channel, double t) {
    return 0.4 * std::sin(2 * std::numbers::pi * (channel == 0 ? 440 : 1000) * t);
}

std::vector<float> TwoTones(int rate, int channels, double seconds) {
    std::vector<float> frames(size_t(std::lround(seconds * rate)) * size_t(channels));
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = float(Tone(i % size_t(channels), double(i / size_t(channels)) / rate));
    return frames;
}

// About a second of the two tones in each kind of file a studio sends, against the same mix
// computed directly at 8000 Hz (what an ideal converter gives): the correlation and the RMS
// ratio, away from the first and last 20 ms where the resampler's filter meets the file's edges.
TEST(SoundFileReader, EveryKindOfFileConvertsCloseToItsSource) {
    const struct {
        int format;
        int rate;
        int channels;
        int frames;
        size_t samples;  // frames at 8000 Hz, rounded to the nearest
        const char* source;
    } cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 48000, 8000, "48000 Hz stereo 24-bit"},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 44106, 8001, "44100 Hz stereo 16-bit"},
        {SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 96000, 6, 96000, 8000,
         "96000 Hz 6 channels 64-bit float"},
        {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 32000, 1, 16001, 4000, "32000 Hz mono AIFF 16-bit"},
        {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, 44100, 8000, "44100 Hz stereo Ogg Vorbis"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const SpeechPcm r = ReadSpeechPcm(SoundFileBytes(
            c.format, c.rate, c.channels, TwoTones(c.rate, c.channels, double(c.frames) / c.rate)));
        ASSERT_TRUE(r.ok) << r.why;
        EXPECT_EQ(ConversionMessage(r), std::string("converted from ") + c.source);
        const std::vector<int16_t> got = ToSamples(r.pcm);
        ASSERT_EQ(got.size(), c.samples);
        const auto [correlation, gain] = Likeness(got, 160, got.size() - 160, [&c](size_t i) {
            const double t = double(i) / kSampleRate;
            return 32768 * (Tone(0, t) + (c.channels - 1) * Tone(1, t)) / c.channels;
        });
        const bool lossy = (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS;
        EXPECT_GT(correlation, lossy ? 0.9995 : 0.99999);
        EXPECT_NEAR(gain, 1.0, 0.01);
    }
}

// Nothing to convert, nothing to dither: the samples come through one for one. A FLAC file used
// to be described as if it were converted from the speech format to itself. Deeper samples are
// dithered: a quarter of a step of level is lost by rounding and kept, on average, by dither,
// and the same file gives the same bytes every time.
TEST(SoundFileReader, SixteenBitsAreKeptAndDeeperSamplesDitheredReproducibly) {
    const Bytes pcm = SinePcm(700, 4000, 12000);
    std::vector<float> frames;
    for (int16_t s : ToSamples(pcm)) frames.push_back(float(s) / 32768);
    for (const auto& [format, source] :
         {std::pair{SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "8000 Hz mono FLAC 16-bit"},
          std::pair{SF_FORMAT_WAVEX | SF_FORMAT_PCM_16,
                    "8000 Hz mono 16-bit WAVE_FORMAT_EXTENSIBLE"}}) {
        const SpeechPcm r = ReadSpeechPcm(SoundFileBytes(format, 8000, 1, frames));
        EXPECT_EQ(r.pcm, pcm) << source;
        EXPECT_EQ(ConversionMessage(r), std::string("converted from ") + source);
    }
    const Bytes file = SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_24, 8000, 1,
                                      std::vector<float>(8000, 0.25f / 32768));
    const std::vector<int16_t> s = ToSamples(ReadSpeechPcm(file).pcm);
    EXPECT_EQ(ToSamples(ReadSpeechPcm(file).pcm), s);
    EXPECT_NEAR(std::accumulate(s.begin(), s.end(), 0.0) / double(s.size()), 0.25, 0.05);
    EXPECT_TRUE(std::all_of(s.begin(), s.end(), [](int16_t v) { return v >= -1 && v <= 2; }));
}

// The limit counts whole samples of the converted recording, in both paths, and exactly the
// limit fits. A longer recording is refused with both lengths or, with the user's consent, cut
// to exactly the start a reader without the limit gives. A FLAC stream may leave its length out
// of its header: the reader then finds it by decoding.
TEST(SoundFileReader, TheLimitIsExactAndACutKeepsTheStart) {
    const auto wave16k = [](size_t frames) {  // two frames per converted sample
        return SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1,
                              TwoTones(16000, 1, frames / 16000.0));
    };
    Bytes flac = SoundFileBytes(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1, TwoTones(8000, 1, 6));
    // STREAMINFO's total sample count: the low 4 bits of its 14th byte and the 4 bytes after.
    flac[8 + 13] &= 0xF0;
    std::fill(flac.begin() + 8 + 14, flac.begin() + 8 + 18, 0);
    const std::string longer = " long; a talk entry holds at most 5.06 s";
    const struct {
        const char* what;
        Bytes file;
        double seconds;
        std::string why;
    } cases[] = {
        {"speech wave at the limit", MonoWaveFile(SinePcm(300, 40480)), 5.06, ""},
        {"speech wave one sample over", MonoWaveFile(SinePcm(300, 40481)), 40481 / 8000.0,
         "5.07 s" + longer},
        {"16 kHz at the limit", wave16k(80960), 5.06, ""},
        {"16 kHz one sample over", wave16k(80962), 80962 / 16000.0, "5.07 s" + longer},
        {"FLAC of 6 s without its length", flac, 6, "6.00 s" + longer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SpeechPcm r = ReadSpeechPcm(c.file);
        EXPECT_EQ(r.why, c.why);
        EXPECT_EQ(r.problem, c.why.empty() ? SoundFileProblem::kNone : SoundFileProblem::kTooLong);
        EXPECT_DOUBLE_EQ(r.sourceSeconds, c.seconds);
        const SpeechPcm cut = ReadSpeechPcm(c.file, {.keepFirstPart = true});
        SpeechPcm whole = ReadSpeechPcm(c.file, {.maxPcmBytes = 200000});
        ASSERT_TRUE(cut.ok && whole.ok) << cut.why << whole.why;
        EXPECT_EQ(cut.trimmed, !c.why.empty());
        EXPECT_DOUBLE_EQ(cut.sourceSeconds, c.seconds);
        ASSERT_EQ(cut.pcm.size(), 80960u);
        whole.pcm.resize(80960);
        EXPECT_EQ(cut.pcm, whole.pcm);
    }
}

// Even when a cut was agreed: none of these is a recording to cut. (That a refusal gives no
// samples is the fuzz target's check.)
TEST(SoundFileReader, BadInputIsRefusedWithItsReason) {
    Bytes wrongByteRate = MonoWaveFile(SinePcm(300, 800));
    const Bytes cutShortWave(wrongByteRate.begin(), wrongByteRate.end() - 100);
    wrongByteRate[29] = 0x1F;  // average bytes per second 8000 instead of 16000
    wrongByteRate[28] = 0x40;
    std::vector<float> withNan = TwoTones(48000, 2, 0.5);
    withNan[1001] = std::nanf("");
    const Bytes flac =
        SoundFileBytes(SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 2, TwoTones(44100, 2, 1.0));
    using P = SoundFileProblem;
    const struct {
        Bytes file;
        SoundFileProblem problem;
        std::string why;
    } cases[] = {
        {Bytes(100, 'x'), P::kNotReadable, "not a sound file libsndfile can read"},
        {cutShortWave, P::kDamaged, "\"data\" chunk cut short"},
        {wrongByteRate, P::kDamaged,
         "the byte rate or block align in its \"fmt \" chunk is not that of 8000 Hz mono 16-bit"},
        {Bytes(flac.begin(), flac.begin() + long(flac.size() / 2)), P::kDamaged,
         "the sound data is cut short"},
        {SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, withNan), P::kDamaged,
         "holds samples that are not numbers (NaN or infinity)"},
        {SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, {}), P::kNoSamples,
         "no samples"},
        {SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 65, std::vector<float>(650)),
         P::kUnusableFormat, "65 channels; at most 64 are read"},
        // Eleven minutes, refused from the header.
        {SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1000, 1, std::vector<float>(1000 * 660)),
         P::kTooLong, "660.00 s long; a talk entry holds at most 5.06 s"},
        {SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 800, 1, std::vector<float>(800)),
         P::kUnusableFormat, "800 samples per second; 1000 to 768000 are read"},
    };
    for (const auto& c : cases) {
        const SpeechPcm r = ReadSpeechPcm(c.file, {.keepFirstPart = true});
        EXPECT_EQ(r.why, c.why);
        EXPECT_EQ(r.problem, c.problem) << c.why;
    }
}

// A wave that cannot be written says why, one that cannot be read says which file. A recording
// is looked at before it is opened (a FIFO is the fault tests' case): a file too large for any
// take is refused unread. (Waves written and read back through files are the pack's and the
// form's tests.)
TEST(SoundFileReader, FilesOnDiskThatCannotBeWrittenOrReadSayWhy) {
    TempDir dir;
    std::string why;
    EXPECT_FALSE(WriteWave(dir.File("x.wav"), nullptr, 5, &why));
    EXPECT_EQ(why, "no sound to write, or too much for a wave file");
    std::vector<uint8_t> pcm;
    EXPECT_FALSE(ReadWave(dir.File("none.wav"), pcm, &why));
    EXPECT_EQ(why, dir.File("none.wav") + ": No such file or directory");
    WriteFileBytes(dir.File("huge.wav"), {});  // made large below, sparse: it costs no disk
    ASSERT_EQ(truncate(dir.File("huge.wav").c_str(), off_t(kMaxSoundFileBytes) + (1 << 20)), 0);
    const SpeechPcm huge = ReadSpeechPcmFile(dir.File("huge.wav"));
    EXPECT_EQ(huge.why, "257 MiB; no take is that large");
    EXPECT_EQ(huge.problem, SoundFileProblem::kTooLong);
    const SpeechPcm missing = ReadSpeechPcmFile(dir.File("missing.wav"));
    EXPECT_EQ(missing.why, "No such file or directory");
    EXPECT_EQ(missing.problem, SoundFileProblem::kNotReadable);
}

}  // namespace
}  // namespace vox::test
