// The levels of a take, its flags against the fragment's other voices, and bringing it to the
// fragment's loudness.
#include "audio/takelevels.h"

#include <gtest/gtest.h>

#include <cmath>

#include "audio/takenormalization.h"
#include "tests/codec/testsignals.h"

namespace vox::test {
namespace {

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
