// A take on its way into a fragment: converted and coded, measured against the fragment's other
// voices, normalized on request; and the levels of a whole database. The refusals, the length
// rule and the speech wave's own path are seen through the front ends' tests.
#include "workbench/recording.h"

#include <cmath>
#include <regex>

#include "tests/import/importfixture.h"
#include "tests/support/soundfiles.h"
#include "tests/support/wavebytes.h"
#include "workbench/voicelevels.h"

namespace vox::test {
namespace {

using Lines = std::vector<std::string>;

// 16-bit PCM of a 440 Hz sine with the given peak (full scale 1.0).
std::vector<uint8_t> PeakSine(double peak, double seconds) {
    std::vector<uint8_t> pcm;
    for (float v : SineFrames(440, peak, 8000, 1, seconds))
        PutU16(pcm, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))));
    return pcm;
}

// A message with each number replaced by "#", and the numbers, in order: levels measured after
// the codec (which gives a sine back a few tenths of a dB louder) are checked with a tolerance.
std::string Shape(const std::string& text, std::vector<double>* numbers = nullptr) {
    static const std::regex number("[-+]?[0-9]+(\\.[0-9]+)?");
    for (std::sregex_iterator it(text.begin(), text.end(), number), end; it != end; ++it)
        if (numbers != nullptr) numbers->push_back(std::stod(it->str()));
    return std::regex_replace(text, number, "#");
}

class Recording : public ImportFixture {
  protected:
    void SetUp() override {
        // Fragment 0 has two voices at -10 dBFS peak, fragment 1 none.
        db_.AddEntry(16000, CodedPcm(PeakSine(0.316, 1)));
        db_.AddEntry(16000, CodedPcm(PeakSine(0.316, 1)));
        db_.AddFragment({{0, 0}, {1, 1}});
        db_.AddFragment({});
        Open(db_);
    }
    RecordingResult Read(const std::vector<uint8_t>& file, RecordingRequest request = {}) {
        const std::string path = dir_.File("take");
        WriteFileBytes(path, file);
        return ReadRecording(*doc_, path, request);
    }
    double Loudness(const CodedRecording& recording) {
        std::unique_ptr<uint8_t[]> pcm;
        uint32_t pcmLen = 0;
        TakeLevels levels;
        EXPECT_TRUE(DecodeRecording(*doc_, recording, pcm, pcmLen));
        EXPECT_TRUE(MeasureTakeLevels(ByteSpan(pcm.get(), pcmLen), levels));
        return levels.loudness;
    }
    DatabaseBuilder db_;
};

// How each format converts is the sound file reader's test; here, that its note and the coded
// take reach the caller.
TEST_F(Recording, AStudioTakeIsConvertedSaidSoAndCoded) {
    const RecordingResult r = Read(SoundFileBytes(SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 2,
                                                  SineFrames(440, 0.3, 44100, 2, 2)));
    ASSERT_TRUE(r.Ok()) << r.error;
    EXPECT_EQ(r.recording.notes, Lines{"converted from 44100 Hz stereo FLAC 24-bit"});
    EXPECT_EQ(r.recording.decodedLen, 32000u);
    EXPECT_NEAR(Loudness(r.recording), -13.7, 1.0);
}

// The other voices stand at -10 dBFS peak (about -14 LUFS). The take replacing voice 0 is judged
// against voice 1 alone, and is stored whatever it is flagged for.
TEST_F(Recording, WhatAListenerWouldNoticeIsWarnedOf) {
    std::vector<uint8_t> clipped = PeakSine(1.0, 1);  // 440 flat tops a second
    for (size_t i = 0; i + 1 < clipped.size(); i += 2) {
        const int16_t s = ReadI16(clipped.data() + i);
        WriteU16(clipped.data() + i, static_cast<uint16_t>(s > 20000 ? 32767 : s));
    }
    const std::string louder =
        "# LU louder than the fragment's other voices (their median: # LUFS)";
    const struct {
        std::vector<uint8_t> pcm;
        Lines shapes;
        double deviation;  // LU, from the peaks: 20 log10(peak / 0.316)
    } cases[] = {
        {PeakSine(0.25, 1), {}, 0},
        {PeakSine(0.02, 1),
         {"# LU quieter than the fragment's other voices (their median: # LUFS)"},
         24.0},
        {std::vector<uint8_t>(16000, 0), {"silent throughout: no sample reaches # dBFS"}, 0},
        {clipped, {"clips in # places (# or more samples in a row at full scale)", louder}, 10.0},
    };
    for (const auto& c : cases) {
        const RecordingResult r = Read(MonoWaveFile(c.pcm), {0, 0, false, false});
        ASSERT_TRUE(r.Ok()) << r.error;
        Lines shapes;
        std::vector<double> numbers;
        for (const std::string& warning : r.recording.warnings)
            shapes.push_back(Shape(warning, &numbers));
        EXPECT_EQ(shapes, c.shapes);
        if (c.deviation != 0) {
            EXPECT_NEAR(numbers.end()[-2], c.deviation, 1.0);
        }
    }
}

TEST_F(Recording, NormalizingBringsATakeToItsFragmentOrToMinus23Lufs) {
    TakeLevels other;
    ASSERT_TRUE(MeasureEntryLevels(*doc_, 1, other));
    const struct {
        int fragment;
        double peak;
        double target;
        double gain;  // dB, from the peaks
    } cases[] = {
        {0, 0.02, other.loudness, 24.0}, {0, 0.5, other.loudness, -4.0}, {1, 0.02, -23, 14.7}};
    for (const auto& c : cases) {
        const RecordingResult r =
            Read(MonoWaveFile(PeakSine(c.peak, 1)), {c.fragment, {}, false, true});
        ASSERT_TRUE(r.Ok()) << r.error;
        EXPECT_EQ(r.recording.warnings, Lines{});
        ASSERT_EQ(r.recording.notes.size(), 1u);
        std::vector<double> numbers;
        EXPECT_EQ(Shape(r.recording.notes[0], &numbers), "normalized to # LUFS (# dB)");
        EXPECT_NEAR(numbers[0], c.target, 0.05);
        EXPECT_NEAR(numbers[1], c.gain, 1.0);
        EXPECT_NEAR(Loudness(r.recording), c.target, 1.0) << "as it decodes";
    }
    const RecordingResult silent =
        Read(MonoWaveFile(std::vector<uint8_t>(16000, 0)), {0, {}, false, true});
    ASSERT_TRUE(silent.Ok()) << "a silent take is stored, not normalized";
    EXPECT_EQ(silent.recording.warnings,
              (Lines{"not normalized: the take is silent: no gain gives it a loudness",
                     "silent throughout: no sample reaches -50 dBFS"}));
}

TEST_F(Recording, ADatabaseIsMeasuredVoiceByVoiceWithEachEntryDecodedOnce) {
    DatabaseBuilder db;
    db.AddEntry(16000, CodedPcm(PeakSine(0.3, 1)));                // 0
    db.AddEntry(16000, CodedPcm(PeakSine(0.3, 1)));                // 1
    db.AddEntry(16000, CodedPcm(PeakSine(0.01, 1)));               // 2: far quieter
    db.AddEntry(16000, CodedPcm(std::vector<uint8_t>(16000, 0)));  // 3: silent
    db.AddEntry(320, UndecodableFrame());                          // 4
    db.AddFragment({{0, 0}, {1, 1}, {2, 0}, {3, 1}, {5, 2}});
    db.AddFragment({{0, 3}, {1, 4}, {2, 0}});
    Open(db);
    const LevelsReport report = MeasureDatabaseLevels(*doc_);
    ASSERT_EQ(report.voices.size(), 8u);
    EXPECT_EQ(report.entriesDecoded, 5);
    const auto flags = [&](size_t i) {
        const VoiceLevels& v = report.voices[i];
        return std::string(v.measured ? "" : "undecodable ") + (v.flags.silent ? "silent " : "") +
               (v.flags.loudnessOutlier ? "outlier" : "");
    };
    EXPECT_EQ(flags(0), "");
    EXPECT_EQ(flags(4), "outlier");
    EXPECT_EQ(flags(5), "silent ");
    EXPECT_EQ(flags(6), "undecodable ");
    EXPECT_EQ(flags(7), "") << "its other voices are silent or undecodable: nothing to compare";
    EXPECT_EQ(report.flagged, 3);
    EXPECT_EQ(report.voices[7].voxIndex, 0);
}

}  // namespace
}  // namespace vox::test
