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

// A write that fails says why; a read that fails says which file. (Waves
// written and read back through files are the pack's and the form's tests.)
TEST(WaveFile, FailuresSayWhy) {
    TempDir dir;
    std::string why;
    EXPECT_FALSE(WriteWave(dir.File("x.wav"), nullptr, 5, &why));
    EXPECT_EQ(why, "no sound to write, or too much for a wave file");
    std::vector<uint8_t> pcm;
    EXPECT_FALSE(ReadWave(dir.File("none.wav"), pcm, &why));
    EXPECT_EQ(why, dir.File("none.wav") + ": No such file or directory");
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
        {"8001 samples per second", Wave({Fmt(18, 4, {0x41}), data}), no},
        {"16001 bytes per second", Wave({Fmt(18, 8, {0x81}), data}), no},
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

}  // namespace
}  // namespace vox::test
