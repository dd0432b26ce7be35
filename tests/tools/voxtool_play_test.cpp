// voxtool play, play-comm and play-file: they end by themselves whether or not a sound device
// exists, and say so when there is nothing to play.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "audio/speechcodec.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/soundfiles.h"
#include "tests/support/tempdir.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

std::vector<uint8_t> CodedTone(uint32_t& decodedSize) {
    std::vector<uint8_t> pcm(3200);  // 0.1 s
    for (size_t i = 0; i < pcm.size() / 2; ++i) {
        const auto sample = static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / 8000));
        pcm[2 * i] = static_cast<uint8_t>(sample);
        pcm[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8);
    }
    SpeechCodec codec;
    EXPECT_TRUE(codec.Init());
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    EXPECT_TRUE(codec.Encode(pcm.data(), static_cast<uint32_t>(pcm.size()), coded, codedLen));
    decodedSize = static_cast<uint32_t>(pcm.size());
    return std::vector<uint8_t>(coded.get(), coded.get() + codedLen);
}

class VoxtoolPlay : public ::testing::Test {
  protected:
    void SetUp() override {
        // voxtool plays through the real sound library here; under the leak checker its
        // memory kept for the process's life is excused (the tool's own is still checked).
        setenv("LSAN_OPTIONS", "print_suppressions=0:suppressions=" LSAN_THIRDPARTY_SUPPRESSIONS,
               1);
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string options = std::string(asan != nullptr ? asan : "") +
                                    (asan != nullptr && asan[0] != '\0' ? ":" : "") +
                                    "fast_unwind_on_malloc=0";
        setenv("ASAN_OPTIONS", options.c_str(), 1);
        uint32_t decodedSize = 0;
        std::vector<uint8_t> coded = CodedTone(decodedSize);
        DatabaseBuilder db;
        db.AddEntry(decodedSize, coded);
        db.AddEntry(4, {1, 2, 3});  // does not decode
        db.AddFragment({{0, 0}, {1, 1}});
        db.AddEval({{0, 0}});
        db.AddComm({.entries = {0, -0, 0}});
        db.AddComm({.entries = {-5}});
        talk_ = db.WriteTo(dir_.Path());
    }
    ToolResult Run(const std::vector<std::string>& args) {
        return RunVoxtool(args, config_.Path());
    }

    TempDir dir_;
    TempDir config_;
    std::string talk_;
};

// Without a device nothing is heard, which the tool says once and counts as a failure (a
// script must not take silence for a played sound); with one, it plays and succeeds.
TEST_F(VoxtoolPlay, PlaysAndEndsByItselfOrSaysThatNoDeviceCouldPlay) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"play", talk_, "0", "0"},
          std::vector<std::string>{"play-comm", talk_, "0", "0"}}) {
        const ToolResult r = Run(args);
        if (r.err.empty()) {
            EXPECT_EQ(r.status, 0);
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, "voxtool: no usable sound device; nothing was heard\n");
        }
    }
}

TEST_F(VoxtoolPlay, PlayFileHearsATakeAsItComesInOrOnceCodedAndRefusesAnythingElse) {
    const std::string take = dir_.File("take.flac");
    WriteFileBytes(take, SoundFileBytes(SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 2,
                                        SineFrames(440, 0.3, 44100, 2, 0.5)));
    const std::string note = "voxtool: " + take + ": converted from 44100 Hz stereo FLAC 24-bit\n";
    for (const bool coded : {false, true}) {
        std::vector<std::string> args = {"play-file", take};
        if (coded) args.push_back("--coded");
        const ToolResult r = Run(args);
        if (r.err == note) {
            EXPECT_EQ(r.status, 0);
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, note + "voxtool: no usable sound device; nothing was heard\n");
        }
    }
    WriteFileBytes(dir_.File("bad.wav"), {1, 2, 3});
    const ToolResult bad = Run({"play-file", dir_.File("bad.wav")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err,
              "voxtool: " + dir_.File("bad.wav") + ": not a sound file libsndfile can read\n");
}

TEST_F(VoxtoolPlay, NothingToPlayIsAFailureThatSaysWhy) {
    ToolResult r = Run({"play", talk_, "0", "5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "voxtool: fragment 0 has no playable recording in voice 5\n");
    r = Run({"play", talk_, "0", "1"});
    EXPECT_EQ(r.status, 1) << "an entry that does not decode is never played";
    r = Run({"play-comm", talk_, "1", "0"});
    EXPECT_EQ(r.status, 1) << "an eval the table does not hold ends the sequence before it starts";
    r = Run({"play-comm", talk_, "9", "0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "voxtool: comm 9 does not exist\n");
    r = Run({"play", talk_, "zero", "0"});
    EXPECT_EQ(r.status, 2);
}

}  // namespace
}  // namespace vox::test
