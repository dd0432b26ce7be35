#include "audio/wavefile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/codec/testsignals.h"
#include "tests/support/tempdir.h"

namespace vox::test {
namespace {

using Bytes = std::vector<uint8_t>;

// The file written for the three PCM bytes 0x11 0x22 0x33, byte by byte.
// clang-format off
const Bytes kThreeByteWave = {
    'R', 'I', 'F', 'F',      //
    42, 0, 0, 0,             // RIFF size: 38 + 3 + pad byte
    'W', 'A', 'V', 'E',      //
    'f', 'm', 't', ' ',      //
    18, 0, 0, 0,             // fmt size
    0x01, 0x00,              // format tag: PCM
    0x01, 0x00,              // channels: 1
    0x40, 0x1F, 0x00, 0x00,  // samples per second: 8000
    0x80, 0x3E, 0x00, 0x00,  // average bytes per second: 16000
    0x02, 0x00,              // block align: 2
    0x10, 0x00,              // bits per sample: 16
    0x00, 0x00,              // extra size: 0
    'd', 'a', 't', 'a',      //
    3, 0, 0, 0,              // data size
    0x11, 0x22, 0x33,        // the PCM bytes
    0x00,                    // pad byte
};
// clang-format on

void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

Bytes U16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
Bytes U32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

// A chunk with its size field and, after an odd size, the pad byte.
Bytes Chunk(const char (&id)[5], const Bytes& body) {
    Bytes chunk(id, id + 4);
    Append(chunk, U32(uint32_t(body.size())));
    Append(chunk, body);
    if (body.size() % 2 != 0) chunk.push_back(0);
    return chunk;
}

Bytes Wave(const Bytes& chunks) {
    Bytes body = {'W', 'A', 'V', 'E'};
    Append(body, chunks);
    return Chunk("RIFF", body);
}

struct Format {
    uint16_t tag = 1;
    uint16_t channels = 1;
    uint32_t rate = 8000;
    uint32_t byteRate = 16000;
    uint16_t align = 2;
    uint16_t bits = 16;
    size_t size = 18;  // the fmt chunk's size: its fields cut or zero-extended to fit
};

Bytes Fmt(const Format& f) {
    Bytes body;
    Append(body, U16(f.tag));
    Append(body, U16(f.channels));
    Append(body, U32(f.rate));
    Append(body, U32(f.byteRate));
    Append(body, U16(f.align));
    Append(body, U16(f.bits));
    Append(body, U16(0));
    body.resize(f.size, 0);
    return Chunk("fmt ", body);
}

const Bytes kPcm = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};

Bytes Data(const Bytes& pcm = kPcm) { return Chunk("data", pcm); }

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) Append(all, part);
    return all;
}

bool Reads(const Bytes& file, Bytes& pcm) {
    std::string why;
    const bool ok = ReadWaveBytes(file, pcm, &why);
    EXPECT_EQ(ok, why.empty()) << why;
    return ok;
}

bool Reads(const Bytes& file) {
    Bytes pcm;
    return Reads(file, pcm);
}

TEST(WaveWrite, ThreeBytesGiveAFiftyByteFileWithRiffSize42) {
    const uint8_t pcm[] = {0x11, 0x22, 0x33};
    EXPECT_EQ(MakeWaveBytes(pcm, 3), kThreeByteWave);
    Bytes back;
    ASSERT_TRUE(Reads(kThreeByteWave, back));
    EXPECT_EQ(back, Bytes(pcm, pcm + 3));
    EXPECT_TRUE(MakeWaveBytes(nullptr, 5).empty());
}

TEST(WaveFile, WriteThenReadGivesTheSameBytes) {
    TempDir dir;
    Bytes pcm(16001);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = uint8_t(i * 7);
    const std::string path = dir.File("round.wav");
    ASSERT_TRUE(WriteWave(path, pcm.data(), uint32_t(pcm.size())));
    EXPECT_EQ(ReadFileBytes(path), MakeWaveBytes(pcm.data(), uint32_t(pcm.size())));
    Bytes back;
    ASSERT_TRUE(ReadWave(path, back));
    EXPECT_EQ(back, pcm);
}

// A write that fails leaves no file; a read that fails leaves the caller's bytes alone.
TEST(WaveFile, FailuresAreSaidAndLeaveNothingBehind) {
    TempDir dir;
    std::string why;
    const uint8_t two[] = {1, 2};
    EXPECT_FALSE(WriteWave(dir.File("x.wav"), nullptr, 5, &why));
    EXPECT_FALSE(why.empty());
    why.clear();
    EXPECT_FALSE(WriteWave(dir.File("missing/x.wav"), two, 2, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(ListFolder(dir.Path()).empty());
    Bytes pcm = {9};
    for (const std::string& path : {dir.File("none.wav"), dir.Path()}) {
        why.clear();
        EXPECT_FALSE(ReadWave(path, pcm, &why));
        EXPECT_FALSE(why.empty());
    }
    EXPECT_EQ(pcm, Bytes{9});
}

// Only 8000 Hz mono 16-bit PCM is read, compared over the fmt chunk's first 14 bytes: bits per
// sample are not compared, and fmt chunks of 14 to 18 bytes and more are read.
TEST(WaveRead, OnlyTheSpeechFormatIsRead) {
    const struct {
        const char* what;
        Format format;
        bool read;
    } cases[] = {
        {"fmt of 14 bytes", {.size = 14}, true},
        {"fmt of 15 bytes", {.size = 15}, true},
        {"fmt of 16 bytes", {.size = 16}, true},
        {"fmt of 40 bytes", {.size = 40}, true},
        {"8 bits per sample named", {.bits = 8}, true},
        {"24 bits per sample named", {.bits = 24}, true},
        {"fmt of 12 bytes", {.size = 12}, false},
        {"fmt of 13 bytes", {.size = 13}, false},
        {"stereo", {.channels = 2, .byteRate = 32000, .align = 4}, false},
        {"8-bit", {.byteRate = 8000, .align = 1, .bits = 8}, false},
        {"16 kHz", {.rate = 16000, .byteRate = 32000}, false},
        {"11 kHz", {.rate = 11025, .byteRate = 22050}, false},
        {"A-law", {.tag = 6, .byteRate = 8000, .align = 1, .bits = 8}, false},
        {"ADPCM", {.tag = 0x11, .byteRate = 4055, .align = 256, .bits = 4}, false},
        {"extensible", {.tag = 0xFFFE}, false},
        {"only the rate wrong", {.rate = 8001}, false},
        {"only the byte rate wrong", {.byteRate = 16001}, false},
        {"only the align wrong", {.align = 1}, false},
    };
    for (const auto& c : cases) {
        Bytes pcm = {42};
        EXPECT_EQ(Reads(Wave(Concat({Fmt(c.format), Data()})), pcm), c.read) << c.what;
        EXPECT_EQ(pcm, c.read ? kPcm : Bytes{42}) << c.what;
    }
}

Bytes Patched(Bytes file, size_t at, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) file[at++] = b;
    return file;
}

TEST(WaveRead, TheLayoutDecidesWhatIsRead) {
    const Bytes good = Wave(Concat({Fmt({}), Data()}));
    const size_t dataSize = good.size() - kPcm.size() - 4;
    ASSERT_EQ(Bytes(good.begin() + long(dataSize), good.begin() + long(dataSize) + 4), U32(6));
    const struct {
        const char* what;
        Bytes file;
        std::optional<Bytes> pcm;  // none: refused
    } cases[] = {
        {"data before fmt", Wave(Concat({Data(), Fmt({})})), std::nullopt},
        {"a second data chunk after fmt", Wave(Concat({Data({9, 9}), Fmt({}), Data()})), kPcm},
        {"an empty data chunk", Wave(Concat({Fmt({}), Data({})})), Bytes{}},
        // Recorders that stop early leave the RIFF size as it was planned.
        {"a RIFF size beyond the file", Patched(good, 4, {0xF0, 0xFF}), kPcm},
        {"chunks outside the RIFF chunk",
         Concat({Chunk("RIFF", {'W', 'A', 'V', 'E'}), Fmt({}), Data()}), std::nullopt},
        {"another RIFF form", Patched(good, 8, {'A'}), std::nullopt},
        {"RIFX, the big-endian variant", Patched(good, 3, {'X'}), std::nullopt},
        {"data one byte longer than the file", Patched(good, dataSize, {7}), std::nullopt},
        // Refused without trying to allocate it.
        {"data of about 4 GiB", Patched(good, dataSize, {0xFF, 0, 0, 0xFF}), std::nullopt},
        {"fmt cut short",
         Concat({{'R', 'I', 'F', 'F'},
                 U32(4 + 8 + 10),
                 {'W', 'A', 'V', 'E'},
                 {'f', 'm', 't', ' '},
                 U32(18),
                 Bytes(SpeechWaveFormat, SpeechWaveFormat + 10)}),
         std::nullopt},
    };
    for (const auto& c : cases) {
        Bytes pcm = {1, 2, 3};
        EXPECT_EQ(Reads(c.file, pcm), c.pcm.has_value()) << c.what;
        EXPECT_EQ(pcm, c.pcm.value_or(Bytes{1, 2, 3})) << c.what;
    }
    for (size_t len = 0; len < good.size(); ++len) {
        EXPECT_FALSE(Reads(Bytes(good.begin(), good.begin() + long(len)))) << "cut to " << len;
    }
}

}  // namespace
}  // namespace vox::test
