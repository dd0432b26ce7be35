// The speech codec: its library's eight entry points called directly, and the bridge to them.
// Wave files in the speech format written and read byte for byte; recordings from outside
// converted to 8000 Hz mono 16-bit, speech waves taken as they are, the length rule and every
// refusal. A take's levels, its flags against the fragment's other voices, and bringing it to
// the fragment's loudness.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <numbers>
#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audio/codec/voxcodec.h"
#include "audio/soundfilereader.h"
#include "audio/speechcodec.h"
#include "audio/takelevels.h"
#include "audio/takenormalization.h"
#include "audio/wavefile.h"
#include "tests/support/tempdir.h"
#include "tests/support/testsounds.h"

namespace vox::test {
namespace {

constexpr int kSampleRate = 8000;

// The parts one after another: wave chunks, or takes made of runs of samples.
template <typename T>
std::vector<T> Concat(std::initializer_list<std::vector<T>> parts) {
    std::vector<T> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<int16_t> ToSamples(const std::vector<uint8_t>& pcm) {
    std::vector<int16_t> samples(pcm.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
    return samples;
}

// How alike got[i] and want(i) are over [from, to): the normalised correlation (1: the same
// shape), and got's RMS over want's.
std::pair<double, double> Likeness(const std::vector<int16_t>& got, size_t from, size_t to,
                                   const std::function<double(size_t)>& want) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = from; i < to; ++i) {
        xy += got[i] * want(i);
        xx += double(got[i]) * got[i];
        yy += want(i) * want(i);
    }
    return {xy / std::sqrt(xx * yy), std::sqrt(xx / yy)};
}

constexpr uint8_t kGuard = 0xA5;

constexpr uint16_t kPcmFrame = VOXCODEC_PCM_FRAME_BYTES;
constexpr uint16_t kCodedFrame = VOXCODEC_CODED_FRAME_BYTES;

// A block too small for the frame sizes (at bytes 110 and 112, which the bridge reads) is refused
// untouched, and nothing beyond a block's size is ever written; only mode 1 opens, and null
// closes harmlessly.
TEST(VoxCodecBlocks, ShortOrMissingBlocksAndOtherModesAreRefused) {
    std::vector<uint8_t> block(VOXCODEC_INFO_BLOCK_SIZE, kGuard);
    EXPECT_EQ(VoxCodecGetInfo(block.data(), 113), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(block[0], kGuard);
    EXPECT_EQ(VoxCodecGetInfo(block.data(), 114), VOXCODEC_OK);
    EXPECT_EQ(block[114], kGuard);
    EXPECT_EQ(VoxCodecGetInfo(nullptr, VOXCODEC_INFO_BLOCK_SIZE), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(VoxCodecInit(nullptr), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(VoxCodecOpenEncoder(0), nullptr);
    EXPECT_EQ(VoxCodecOpenDecoder(2), nullptr);
    VoxCodecCloseEncoder(nullptr);
    VoxCodecCloseDecoder(nullptr);
    // More handles at once than the library keeps for reuse.
    std::vector<std::pair<VoxCodecEncoder*, VoxCodecDecoder*>> handles;
    for (int i = 0; i < 8; ++i)
        handles.emplace_back(VoxCodecOpenEncoder(1), VoxCodecOpenDecoder(1));
    for (auto [encoder, decoder] : handles) {
        EXPECT_TRUE(encoder != nullptr && decoder != nullptr);
        VoxCodecCloseEncoder(encoder);
        VoxCodecCloseDecoder(decoder);
    }
}

// More input and room than one frame consume and write exactly one.
TEST(VoxCodecEncode, ShortCountsAreRefusedAndOneFrameIsCoded) {
    VoxCodecEncoder* encoder = VoxCodecOpenEncoder(1);
    ASSERT_NE(encoder, nullptr);
    uint8_t out[kCodedFrame + 4];
    const auto encode = [&](VoxCodecEncoder* e, const uint8_t* in, uint16_t inCount,
                            uint16_t outCount) {
        return VoxCodecEncodeFrame(e, in, &inCount, out, &outCount);
    };
    const std::vector<uint8_t> pcm(kPcmFrame * 3, 0);
    EXPECT_EQ(encode(encoder, pcm.data(), kPcmFrame - 1, kCodedFrame), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(encode(encoder, pcm.data(), kPcmFrame, kCodedFrame - 1), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(encode(nullptr, pcm.data(), kPcmFrame, kCodedFrame), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(encode(encoder, nullptr, kPcmFrame, kCodedFrame), VOXCODEC_ERR_ARGUMENT);
    uint16_t in = kPcmFrame * 3;
    uint16_t outCount = sizeof out;
    ASSERT_EQ(VoxCodecEncodeFrame(encoder, pcm.data(), &in, out, &outCount), VOXCODEC_OK);
    EXPECT_EQ(in, kPcmFrame);
    EXPECT_EQ(outCount, kCodedFrame);
    VoxCodecCloseEncoder(encoder);
}

// Only this library's own packets decode: truncated ones, foreign headers and output room short
// of a frame are refused without writing past the frame.
TEST(VoxCodecDecode, OnlyWholeOwnPacketsDecode) {
    std::vector<uint8_t> coded = CodedPcm(SinePcm(300, 160 * 3, 8000));
    VoxCodecDecoder* decoder = VoxCodecOpenDecoder(1);
    ASSERT_NE(decoder, nullptr);
    const auto decode = [&](VoxCodecDecoder* d, uint32_t inCount, uint32_t outCount = kPcmFrame) {
        std::vector<uint8_t> out(kPcmFrame + 64, kGuard);
        const int result = VoxCodecDecodeFrame(d, coded.data(), &inCount, out.data(), &outCount);
        EXPECT_EQ(out[kPcmFrame], kGuard);
        return result == VOXCODEC_OK ? int(inCount) : result;
    };
    EXPECT_EQ(decode(decoder, uint32_t(coded.size())), kCodedFrame) << "one packet is taken";
    EXPECT_EQ(decode(decoder, kCodedFrame, kPcmFrame - 1), VOXCODEC_ERR_ARGUMENT);
    EXPECT_EQ(decode(nullptr, kCodedFrame), VOXCODEC_ERR_ARGUMENT);
    for (uint32_t len : {0u, 1u, kCodedFrame - 1u})
        EXPECT_EQ(decode(decoder, len), VOXCODEC_ERR_DATA) << len;
    // SILK 10 ms and 60 ms, stereo, two frames, CELT, hybrid, two frames of different sizes, and
    // a code-3 header whose count byte claims three frames: 60 ms in one packet.
    coded[1] = 0x03;
    for (uint8_t toc : {0x00, 0x18, 0x0C, 0x09, 0xF8, 0x78, 0x0A, 0x0B}) {
        coded[0] = toc;
        EXPECT_EQ(decode(decoder, kCodedFrame), VOXCODEC_ERR_DATA) << int(toc);
    }
    VoxCodecCloseDecoder(decoder);
}

class SpeechCodecTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(codec.Init()); }

    Bytes Encode(const Bytes& pcm) {
        std::unique_ptr<uint8_t[]> coded;
        uint32_t codedLen = 0xFFFFFFFF;
        EXPECT_TRUE(codec.Encode(pcm.data(), uint32_t(pcm.size()), coded, codedLen));
        return Bytes(coded.get(), coded.get() + codedLen);
    }

    // The PCM length, or -1 when the decode fails; nothing past the capacity may be written.
    int64_t Decode(const Bytes& coded, uint32_t capacity) {
        Bytes out(capacity + 256, kGuard);
        uint32_t pcmLen = 0;
        const bool ok =
            codec.Decode(coded.data(), uint32_t(coded.size()), out.data(), capacity, pcmLen);
        EXPECT_EQ(out[capacity], kGuard) << "written past the capacity";
        return ok ? int64_t(pcmLen) : -1;
    }

    SpeechCodec codec;
};

// Whole frames of 320 PCM bytes code to 20 bytes each; a tail shorter than a frame is left out,
// and beyond the longest entry PCM and coded bytes alike are never looked at. The entry's
// decodedSize may lie (the caller allocates from it, the frames say otherwise): an entry cut
// short or larger than the capacity fails whole.
TEST_F(SpeechCodecTest, WholeFramesAreCodedUpToTheLongestEntryAndABadEntryFailsWhole) {
    const uint32_t cases[][2] = {{0, 0}, {319, 0}, {320, 20}, {639, 20}, {640, 40}, {80960, 5060}};
    for (const auto& [pcmBytes, codedBytes] : cases) {
        Bytes pcm = SinePcm(440, (pcmBytes + 1) / 2, 8000);
        pcm.resize(pcmBytes);
        const Bytes coded = Encode(pcm);
        EXPECT_EQ(coded.size(), codedBytes) << pcmBytes;
        EXPECT_EQ(Decode(coded, 80960 + 500), codedBytes * 16) << pcmBytes;
    }
    const Bytes pcm = SinePcm(440, 100000 / 2, 8000);
    Bytes coded = Encode(pcm);
    EXPECT_EQ(coded, Encode(Bytes(pcm.begin(), pcm.begin() + 80960)));
    coded.resize(coded.size() + 200, 0xAB);
    EXPECT_EQ(Decode(coded, 80960 + 500), 80960);
    coded.resize(200);  // ten frames
    for (size_t cut : {1, 19}) EXPECT_EQ(Decode(Bytes(coded.begin(), coded.end() - cut), 3700), -1);
    for (uint32_t capacity : {0u, 319u, 3199u}) EXPECT_EQ(Decode(coded, capacity), -1) << capacity;
    EXPECT_EQ(Decode(coded, 3200), 3200);
}

// Each entry is coded from a fresh state: what was coded before changes nothing (the fuzz target
// checks the same of decoding). Steady pure tones between about 700 and 1500 Hz come out up to
// 24 dB too loud at this bit rate, at every complexity: a property of the codec's long-term
// prediction, not of speech. Decoded sound lags the original by the encoder's look-ahead of 52
// samples; the first 0.2 s, while the codec settles, are left out.
TEST_F(SpeechCodecTest, ASineKeepsItsShapeAndEnergyWhateverWasCodedBefore) {
    const Bytes b = SinePcm(523, 160 * 30, 9000);
    Encode(SinePcm(700, 160 * 30, 12000));
    EXPECT_EQ(Encode(b), CodedPcm(b));
    SpeechCodec uninitialised;  // without Init's frame sizes a call fails instead of looping
    std::unique_ptr<uint8_t[]> coded;
    uint32_t len = 0;
    EXPECT_FALSE(uninitialised.Encode(b.data(), uint32_t(b.size()), coded, len));
    for (double frequency : {250.0, 440.0, 3000.0}) {
        const Bytes pcm = SinePcm(frequency, 8000, 8000);
        const Bytes decoded = DecodedPcm(Encode(pcm));
        ASSERT_EQ(decoded.size(), 16000u);
        const std::vector<int16_t> in = ToSamples(pcm);
        const auto [correlation, gain] =
            Likeness(ToSamples(decoded), 1600, in.size(), [&in](size_t i) { return in[i - 52]; });
        EXPECT_GT(correlation, 0.8) << frequency;
        EXPECT_NEAR(20 * std::log10(gain), 0, 1.5) << frequency;
    }
}

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

using Samples = std::vector<int16_t>;

std::vector<uint8_t> Pcm(const Samples& samples) {
    std::vector<uint8_t> pcm(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) WriteU16(pcm.data() + 2 * i, uint16_t(samples[i]));
    return pcm;
}

Samples Constant(double seconds, int16_t value) {
    return Samples(size_t(seconds * kSampleRate), value);
}

Samples Sine(double seconds, double amplitude, double frequency = 1000) {
    return ToSamples(SinePcm(frequency, size_t(seconds * kSampleRate), amplitude));
}

TakeLevels Measure(const Samples& samples) {
    TakeLevels levels;
    EXPECT_TRUE(MeasureTakeLevels(Pcm(samples), levels));
    return levels;
}

// BS.1770 gives a full-scale sine -0.691 + 10 log10(1/2) + the K-weighting's gain at its
// frequency: at 1 kHz +0.71 dB for 8000 Hz (+0.69 dB for 48 kHz, hence the standard's -3.01
// LUFS). A take shorter than one gating block is measured whole. Runs of three or more equal
// samples at full scale are clips; one or two are a loud peak.
TEST(TakeLevels, LoudnessPeakDcOffsetAndClippedRuns) {
    for (double seconds : {2.0, 0.25})
        EXPECT_NEAR(Measure(Sine(seconds, 32767)).loudness, -2.991, 0.02) << seconds;
    const int16_t hi = INT16_MAX;
    const int16_t lo = INT16_MIN;
    // Runs of 2, 3, 4 alternating, 5 and 80 samples at full scale.
    const TakeLevels clips =
        Measure(Concat({{0, hi, hi, 0, lo, lo, lo, 0, hi, lo, hi, lo, 0, lo, lo, lo, lo, lo},
                        Constant(0.01, hi)}));
    EXPECT_EQ(clips.clippedRuns, 3);
    EXPECT_EQ(clips.peakDbfs, 0);
    const TakeLevels offset = Measure(Concat({Sine(1, 8000), Constant(1, 3277)}));
    EXPECT_NEAR(offset.peakDbfs, 20 * std::log10(8000 / 32768.0), 1e-3);
    EXPECT_NEAR(offset.dcOffset, 3277 / 2.0 / 32768, 1e-4);
}

// -50 dBFS is 103.6 steps: 103 is silence, 104 is not. Silence at the edges counts from half a
// second on; a take silent throughout (or under EBU R128's -70 LUFS gate) counts it once, as
// leading silence, and has no loudness and no peak.
TEST(TakeLevels, SilenceAtTheEdgesAndThroughout) {
    const struct {
        Samples samples;
        double leading;
        double trailing;
        bool silent;
    } cases[] = {
        {Concat({Constant(0.6, 0), Sine(1, 8000), Constant(0.7, 0)}), 0.6, 0.7, false},
        {Concat({Constant(0.4, 0), Sine(1, 8000), Constant(0.5, -103)}), 0, 0.5, false},
        {Concat({Sine(1, 103), Constant(0.1, 104)}), 1, 0, false},
        {Constant(2, 103), 2, 0, true},
        {Sine(1, 8), 1, 0, true},
        {{}, 0, 0, true},
    };
    for (const auto& c : cases) {
        const TakeLevels levels = Measure(c.samples);
        EXPECT_NEAR(levels.leadingSilence, c.leading, 1e-3) << c.samples.size();
        EXPECT_NEAR(levels.trailingSilence, c.trailing, 1e-3) << c.samples.size();
        EXPECT_EQ(levels.silent, c.silent) << c.samples.size();
        EXPECT_EQ(levels.loudness == kSilent, c.silent) << c.samples.size();
    }
    EXPECT_EQ(Measure(Samples(5, 0)).peakDbfs, kSilent);  // too short for even a window
}

// The others' median leaves silent and undecodable voices out; a take more than 6 LU from it is
// flagged, a silent one only as silent. (Clipping flags are the import's test.)
TEST(TakeFlags, ATakeStrayingMoreThan6LuFromTheOthersMedianIsFlagged) {
    const std::vector<double> others = {-22, -23, -24};
    const struct {
        double loudness;
        std::vector<double> others;
        bool outlier;
        double deviation;
    } cases[] = {
        {-29, others, false, -6},
        {-30, others, true, -7},
        {-15.5, {-20, kSilent, -24, std::nan("")}, true, 6.5},  // from the middle two's mean
        {-40, {kSilent}, false, 0},                             // no other voice heard
        {kSilent, others, false, 0},
    };
    for (const auto& c : cases) {
        TakeLevels take;
        take.loudness = c.loudness;
        take.silent = c.loudness == kSilent;
        const TakeFlags flags = FlagTake(take, c.others);
        EXPECT_EQ(flags.loudnessOutlier, c.outlier) << c.loudness;
        EXPECT_EQ(flags.deviationLu, c.deviation) << c.loudness;
    }
}

// Reaching the target is the import's test; here, a take whose peak leaves no room for the gain
// stops just below full scale, unclipped, and says so.
TEST(TakeNormalization, ATakeStopsAtFullScaleWhenItsPeakLeavesNoRoom) {
    const Samples crest = Concat({Sine(1.9, 1000, 440), Sine(0.1, 16000, 440)});
    const NormalizedTake r = NormalizeTakeLoudness(Pcm(crest), -10);
    ASSERT_TRUE(r.ok) << r.why;
    EXPECT_FALSE(r.reachedTarget);
    const TakeLevels after = Measure(ToSamples(r.pcm));
    EXPECT_EQ(after.clippedRuns, 0);
    EXPECT_GE(after.peakDbfs, 20 * std::log10(32766 / 32768.0));
    EXPECT_NE(r.why.find("more gain would clip the peak"), std::string::npos);
}

}  // namespace
}  // namespace vox::test
