#include "audio/wavefile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/tempdir.h"

namespace vox::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes U16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
Bytes U32(uint32_t v) { return Concat({U16(uint16_t(v)), U16(uint16_t(v >> 16))}); }

// A chunk with its size field and, after an odd size, the pad byte.
Bytes Chunk(const char (&id)[5], const Bytes& body) {
    Bytes chunk = Concat({Bytes(id, id + 4), U32(uint32_t(body.size())), body});
    if (body.size() % 2 != 0) chunk.push_back(0);
    return chunk;
}

Bytes Wave(std::initializer_list<Bytes> chunks) {
    return Chunk("RIFF", Concat({{'W', 'A', 'V', 'E'}, Concat(chunks)}));
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
    Bytes body = Concat({U16(f.tag), U16(f.channels), U32(f.rate), U32(f.byteRate), U16(f.align),
                         U16(f.bits), U16(0)});
    body.resize(f.size, 0);
    return Chunk("fmt ", body);
}

const Bytes kPcm = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};

// The fuzz target checks that a refusal says why and leaves the caller's bytes alone.
std::optional<Bytes> Read(const Bytes& file) {
    Bytes pcm;
    if (!ReadWaveBytes(file, pcm)) return std::nullopt;
    return pcm;
}

TEST(WaveWrite, ThreeBytesGiveAFiftyByteFileWithRiffSize42) {
    // clang-format off
    const Bytes expected = {
        'R', 'I', 'F', 'F', 42, 0, 0, 0, 'W', 'A', 'V', 'E',  // 38 + 3 + the pad byte
        'f', 'm', 't', ' ', 18, 0, 0, 0,
        1, 0, 1, 0,                                           // PCM, mono
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

// A write that fails leaves no file; a read that fails leaves the caller's bytes alone.
TEST(WaveFile, RoundTripAndFailures) {
    TempDir dir;
    Bytes pcm(16001);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = uint8_t(i * 7);
    ASSERT_TRUE(WriteWave(dir.File("round.wav"), pcm.data(), uint32_t(pcm.size())));
    EXPECT_EQ(ReadFileBytes(dir.File("round.wav")),
              MakeWaveBytes(pcm.data(), uint32_t(pcm.size())));
    Bytes back;
    ASSERT_TRUE(ReadWave(dir.File("round.wav"), back));
    EXPECT_EQ(back, pcm);
    std::string why;
    EXPECT_FALSE(WriteWave(dir.File("x.wav"), nullptr, 5, &why));
    EXPECT_FALSE(why.empty());
    why.clear();
    EXPECT_FALSE(WriteWave(dir.File("missing/x.wav"), pcm.data(), 2, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"round.wav"});
    for (const std::string& path : {dir.File("none.wav"), dir.Path()}) {
        why.clear();
        EXPECT_FALSE(ReadWave(path, back, &why));
        EXPECT_FALSE(why.empty());
    }
    EXPECT_EQ(back, pcm);
}

// Only 8000 Hz mono 16-bit PCM is read, compared over the fmt chunk's first 14 bytes: bits per
// sample are not compared, and fmt chunks of 14 bytes and more are read.
TEST(WaveRead, OnlyTheSpeechFormatIsRead) {
    const struct {
        const char* what;
        Format format;
        bool read;
    } cases[] = {
        {"fmt of 14 bytes", {.size = 14}, true},
        {"fmt of 40 bytes", {.size = 40}, true},
        {"8 bits per sample named", {.bits = 8}, true},
        {"fmt of 13 bytes", {.size = 13}, false},
        {"stereo", {.channels = 2, .byteRate = 32000, .align = 4}, false},
        {"16 kHz", {.rate = 16000, .byteRate = 32000}, false},
        {"A-law", {.tag = 6, .byteRate = 8000, .align = 1, .bits = 8}, false},
        {"extensible", {.tag = 0xFFFE}, false},
        {"only the rate wrong", {.rate = 8001}, false},
        {"only the byte rate wrong", {.byteRate = 16001}, false},
        {"only the align wrong", {.align = 1}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(Wave({Fmt(c.format), Chunk("data", kPcm)})),
                  c.read ? std::optional(kPcm) : std::nullopt)
            << c.what;
    }
}

TEST(WaveRead, TheLayoutDecidesWhatIsRead) {
    const Bytes good = Wave({Fmt({}), Chunk("data", kPcm)});
    const auto patched = [&good](size_t at, std::initializer_list<uint8_t> bytes) {
        Bytes file = good;
        for (uint8_t b : bytes) file[at++] = b;
        return file;
    };
    const size_t dataSize = good.size() - kPcm.size() - 4;
    const struct {
        const char* what;
        Bytes file;
        std::optional<Bytes> pcm;  // none: refused
    } cases[] = {
        {"data before fmt", Wave({Chunk("data", kPcm), Fmt({})}), std::nullopt},
        {"a second data chunk after fmt", Wave({Chunk("data", {9}), Fmt({}), Chunk("data", kPcm)}),
         kPcm},
        {"an empty data chunk", Wave({Fmt({}), Chunk("data", {})}), Bytes{}},
        // Recorders that stop early leave the RIFF size as it was planned.
        {"a RIFF size beyond the file", patched(4, {0xF0, 0xFF}), kPcm},
        {"chunks outside the RIFF chunk", Concat({Wave({}), Fmt({}), Chunk("data", kPcm)}),
         std::nullopt},
        {"RIFX, the big-endian variant", patched(3, {'X'}), std::nullopt},
        {"data one byte longer than the file", patched(dataSize, {7}), std::nullopt},
        // Refused without trying to allocate it.
        {"data of about 4 GiB", patched(dataSize, {0xFF, 0, 0, 0xFF}), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(c.file), c.pcm) << c.what;
    for (size_t len = 0; len < good.size(); ++len)
        EXPECT_EQ(Read(Bytes(good.begin(), good.begin() + long(len))), std::nullopt) << len;
}

}  // namespace
}  // namespace vox::test
