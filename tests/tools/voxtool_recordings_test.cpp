// voxtool with takes from a studio: replace, add and import in any format with notes and
// warnings on stderr, the length rule, --normalize, and levels in text and JSON.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "audio/speechcodec.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/soundfiles.h"
#include "tests/support/tempdir.h"
#include "tests/support/wavebytes.h"
#include "tests/tools/toolrunner.h"

namespace vox::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes SinePcm(double peak, double seconds) {
    Bytes pcm;
    for (float v : SineFrames(440, peak, 8000, 1, seconds))
        PutU16(pcm, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))));
    return pcm;
}

Bytes Encode(const Bytes& pcm) {
    SpeechCodec codec;
    EXPECT_TRUE(codec.Init());
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    EXPECT_TRUE(codec.Encode(pcm.data(), static_cast<uint32_t>(pcm.size()), coded, codedLen));
    return Bytes(coded.get(), coded.get() + codedLen);
}

class VoxtoolRecordings : public ::testing::Test {
  protected:
    void SetUp() override {
        // Fragment 0: three voices at -10 dBFS peak. Fragment 1: none.
        const Bytes tone = SinePcm(0.316, 1);
        for (int16_t voice = 0; voice < 3; ++voice) db_.AddEntry(16000, Encode(tone));
        db_.AddFragment({{0, 0}, {1, 1}, {2, 2}});
        db_.AddFragment({});
        talk_ = db_.WriteTo(dir_.Path());
    }
    ToolResult Run(const std::vector<std::string>& args) {
        return RunVoxtool(args, config_.Path());
    }
    std::string Take(const std::string& name, const Bytes& bytes) {
        WriteFileBytes(dir_.File(name), bytes);
        return dir_.File(name);
    }
    Bytes StudioTake(double seconds) {
        return SoundFileBytes(SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 2,
                              SineFrames(440, 0.3, 44100, 2, seconds));
    }

    TempDir dir_;
    TempDir config_;
    DatabaseBuilder db_;
    std::string talk_;
};

TEST_F(VoxtoolRecordings, AStudioTakeIsConvertedAndSaidSoOnStderrOnly) {
    const std::string take = Take("take.flac", StudioTake(2));
    ToolResult r = Run({"replace", talk_, "0", "1", take});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "voxtool: " + take + ": converted from 44100 Hz stereo FLAC 24-bit\n");
    r = Run({"add", talk_, "1", "4", take});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3\n") << "the new entry's number alone, for scripts";
    EXPECT_EQ(r.err, "voxtool: " + take + ": converted from 44100 Hz stereo FLAC 24-bit\n");
}

TEST_F(VoxtoolRecordings, ATakeTooLongIsRefusedWithBothLengthsUnlessTrimmed) {
    const std::string take = Take("long.flac", StudioTake(6));
    const Bytes before = ReadFileBytes(talk_);
    ToolResult r = Run({"replace", talk_, "0", "1", take});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "voxtool: Bad wave file\n6.00 s long; a talk entry holds at most 5.06 s; --trim "
              "stores the first 5.06 s\n");
    EXPECT_EQ(ReadFileBytes(talk_), before);
    r = Run({"replace", talk_, "0", "1", take, "--trim"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "voxtool: " + take +
                         ": converted from 44100 Hz stereo FLAC 24-bit\nvoxtool: " + take +
                         ": cut to the first 5.06 s of 6.00 s\n");
}

// Stored all the same, with a warning; --normalize brings a quiet take to its fragment, which
// levels then finds in line with the other voices.
TEST_F(VoxtoolRecordings, AFlaggedTakeIsStoredWithAWarningAndNormalizingLevelsIt) {
    const std::string quiet = Take("quiet.wav", MonoWaveFile(SinePcm(0.02, 1)));
    ToolResult r = Run({"replace", talk_, "0", "2", quiet});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.rfind("voxtool: " + quiet + ": warning: 23.", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("LU quieter than the fragment's other voices"), std::string::npos);
    EXPECT_EQ(Run({"levels", talk_}).status, 1);
    r = Run({"replace", talk_, "0", "2", quiet, "--normalize"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.rfind("voxtool: " + quiet + ": normalized to -13.", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
    EXPECT_EQ(Run({"levels", talk_}).status, 0);
}

TEST_F(VoxtoolRecordings, LevelsListsEveryVoiceThenTheOutliersAndChangesNothing) {
    ASSERT_EQ(Run({"add", talk_, "0", "3", Take("s.wav", MonoWaveFile(Bytes(16000, 0)))}).status,
              0);
    const Bytes before = ReadFileBytes(talk_);
    const ToolResult text = Run({"levels", talk_});
    EXPECT_EQ(text.status, 1);
    EXPECT_EQ(text.err, "");
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.out.substr(at, end - at));
    ASSERT_EQ(lines.size(), 7u) << text.out;
    EXPECT_EQ(lines[0], " frag voice  entry    LUFS    dBFS clips  lead trail  flags");
    // The codec gives silence back with a stray step or two: the peak is no test here.
    EXPECT_EQ(lines[4].substr(0, 26), "    0     3      3  silent");
    EXPECT_EQ(lines[4].substr(34), "     0  1.00  0.00  silent");
    EXPECT_EQ(lines[5], "1 of 4 recordings flagged");
    EXPECT_EQ(lines[6], "silent: fragment 0 voice 3");

    const ToolResult json = Run({"levels", talk_, "--json"});
    EXPECT_EQ(json.status, 1);
    const nlohmann::json parsed = nlohmann::json::parse(json.out);
    ASSERT_EQ(parsed["recordings"].size(), 4u);
    const nlohmann::json& first = parsed["recordings"][0];
    EXPECT_NEAR(first["loudness"].get<double>(), -13.7, 1.0);
    EXPECT_NEAR(first["peak"].get<double>(), -10, 1.0);
    EXPECT_EQ(first["flags"], nlohmann::json::array());
    EXPECT_TRUE(parsed["recordings"][3]["loudness"].is_null());
    EXPECT_EQ(parsed["summary"]["silent"], nlohmann::json::parse(R"([{"fragment":0,"voice":3}])"));
    EXPECT_EQ(parsed["summary"]["flagged"], 1);
    EXPECT_EQ(ReadFileBytes(talk_), before);
}

TEST_F(VoxtoolRecordings, AnImportNamesTheLineOfEachWaveItConverted) {
    const std::string list = Take("list.csv", {';', '\r', '\n', '0', '-', '1', ';', '.', 'l', 'h'});
    Take("0-1.wav", SoundFileBytes(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 2,
                                   SineFrames(300, 0.3, 16000, 2, 1)));
    const ToolResult r = Run({"import", talk_, list});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 replaced, 0 unchanged, 0 refused\n");
    EXPECT_EQ(r.err, "voxtool: " + list +
                         " line 2 \"0-1;.lh\": 0-1.wav: converted from 16000 Hz stereo 16-bit\n");
}

}  // namespace
}  // namespace vox::test
