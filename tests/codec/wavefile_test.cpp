#include "audio/wavefile.h"

#include <gtest/gtest.h>

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
}

TEST(WaveWrite, NullSoundWithALengthIsRefused) {
    EXPECT_TRUE(MakeWaveBytes(nullptr, 5).empty());
    TempDir dir;
    std::string why;
    EXPECT_FALSE(WriteWave(dir.File("x.wav"), nullptr, 5, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(FileExists(dir.File("x.wav")));
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

TEST(WaveFile, AFailedWriteLeavesNothingBehind) {
    TempDir dir;
    std::string why;
    const uint8_t pcm[] = {1, 2};
    EXPECT_FALSE(WriteWave(dir.File("missing/x.wav"), pcm, 2, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(ListFolder(dir.Path()).empty());
}

TEST(WaveFile, MissingFilesAndFoldersAreNotRead) {
    TempDir dir;
    Bytes pcm = {9};
    std::string why;
    EXPECT_FALSE(ReadWave(dir.File("none.wav"), pcm, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(ReadWave(dir.Path(), pcm, &why));
    EXPECT_EQ(pcm, Bytes{9}) << "untouched on failure";
}

TEST(WaveRead, FmtChunksOf14To18BytesAreAcceptedAnd12IsNot) {
    for (size_t size : {14u, 15u, 16u, 18u, 40u}) {
        Bytes pcm;
        ASSERT_TRUE(Reads(Wave(Concat({Fmt({.size = size}), Data()})), pcm)) << size;
        EXPECT_EQ(pcm, kPcm);
    }
    EXPECT_FALSE(Reads(Wave(Concat({Fmt({.size = 12}), Data()}))));
    EXPECT_FALSE(Reads(Wave(Concat({Fmt({.size = 13}), Data()}))));
}

TEST(WaveRead, BitsPerSampleIsNotCompared) {
    EXPECT_TRUE(Reads(Wave(Concat({Fmt({.bits = 8}), Data()}))));
    EXPECT_TRUE(Reads(Wave(Concat({Fmt({.bits = 24}), Data()}))));
}

TEST(WaveRead, OtherFormatsAreRejected) {
    const Format stereo = {.channels = 2, .byteRate = 32000, .align = 4};
    const Format eightBit = {.byteRate = 8000, .align = 1, .bits = 8};
    const Format rate16k = {.rate = 16000, .byteRate = 32000};
    const Format rate11k = {.rate = 11025, .byteRate = 22050};
    const Format aLaw = {.tag = 6, .byteRate = 8000, .align = 1, .bits = 8};
    const Format adpcm = {.tag = 0x11, .byteRate = 4055, .align = 256, .bits = 4};
    const Format extensible = {.tag = 0xFFFE};
    const Format onlyTheRateWrong = {.rate = 8001};
    const Format onlyTheByteRateWrong = {.byteRate = 16001};
    const Format onlyTheAlignWrong = {.align = 1};
    for (const Format& f : {stereo, eightBit, rate16k, rate11k, aLaw, adpcm, extensible,
                            onlyTheRateWrong, onlyTheByteRateWrong, onlyTheAlignWrong}) {
        Bytes pcm = {42};
        EXPECT_FALSE(Reads(Wave(Concat({Fmt(f), Data()})), pcm)) << f.tag << " " << f.rate;
        EXPECT_EQ(pcm, Bytes{42});
    }
}

TEST(WaveRead, DataBeforeFmtIsNotFound) {
    EXPECT_FALSE(Reads(Wave(Concat({Data(), Fmt({})}))));
    // A second data chunk after fmt is the one read.
    Bytes pcm;
    ASSERT_TRUE(Reads(Wave(Concat({Data({9, 9}), Fmt({}), Data()})), pcm));
    EXPECT_EQ(pcm, kPcm);
}

TEST(WaveRead, DataLongerThanTheFileIsRejected) {
    Bytes file = Wave(Concat({Fmt({}), Data()}));
    // data size field: last 6 PCM bytes, preceded by the size
    const size_t sizeAt = file.size() - kPcm.size() - 4;
    ASSERT_EQ(Bytes(file.begin() + sizeAt, file.begin() + sizeAt + 4), U32(6));
    file[sizeAt] = 7;
    EXPECT_FALSE(Reads(file));
    file[sizeAt] = 0xFF;
    file[sizeAt + 3] = 0xFF;  // about 4 GiB: refused without trying to allocate it
    EXPECT_FALSE(Reads(file));
}

TEST(WaveRead, EveryTruncationOfAValidFileIsRejected) {
    const Bytes file = Wave(Concat({Fmt({}), Data()}));
    ASSERT_TRUE(Reads(file));
    for (size_t len = 0; len < file.size(); ++len) {
        EXPECT_FALSE(Reads(Bytes(file.begin(), file.begin() + len))) << len;
    }
}

TEST(WaveRead, AFmtChunkCutShortIsRejected) {
    // fmt claims 18 bytes, but the file ends after 10 of them.
    Bytes file = Concat({{'R', 'I', 'F', 'F'},
                         U32(4 + 8 + 10),
                         {'W', 'A', 'V', 'E'},
                         {'f', 'm', 't', ' '},
                         U32(18),
                         Bytes(SpeechWaveFormat, SpeechWaveFormat + 10)});
    EXPECT_FALSE(Reads(file));
}

TEST(WaveRead, AnEmptyDataChunkIsReadAsNoSound) {
    Bytes pcm = {1, 2, 3};
    ASSERT_TRUE(Reads(Wave(Concat({Fmt({}), Data({})})), pcm));
    EXPECT_TRUE(pcm.empty());
}

TEST(WaveRead, ARiffSizeBeyondTheFileIsTolerated) {
    // Recorders that stop early leave the RIFF size as it was planned.
    Bytes file = Wave(Concat({Fmt({}), Data()}));
    file[4] = 0xF0;
    file[5] = 0xFF;
    Bytes pcm;
    ASSERT_TRUE(Reads(file, pcm));
    EXPECT_EQ(pcm, kPcm);
}

TEST(WaveRead, ChunksOutsideTheRiffChunkAreNotItsOwn) {
    const Bytes outside = Concat({Chunk("RIFF", {'W', 'A', 'V', 'E'}), Fmt({}), Data()});
    EXPECT_FALSE(Reads(outside));
}

TEST(WaveRead, OtherRiffFormsAreRejected) {
    Bytes file = Wave(Concat({Fmt({}), Data()}));
    file[8] = 'A';  // "AAVE"
    EXPECT_FALSE(Reads(file));
    file = Wave(Concat({Fmt({}), Data()}));
    file[3] = 'X';  // "RIFX", the big-endian variant
    EXPECT_FALSE(Reads(file));
}

}  // namespace
}  // namespace vox::test
