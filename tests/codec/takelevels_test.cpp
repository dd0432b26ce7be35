// The levels of a take, its flags against the fragment's other voices, and bringing it to the
// fragment's loudness.
#include "audio/takelevels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

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

Samples Concat(std::initializer_list<Samples> parts) {
    Samples all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
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
// LUFS). A take shorter than one gating block is measured whole.
TEST(TakeLevels, AFullScaleSineHasTheLoudnessBs1770Gives) {
    for (double seconds : {2.0, 0.25})
        EXPECT_NEAR(Measure(Sine(seconds, 32767)).loudness, -2.991, 0.02) << seconds;
}

// Runs of three or more equal samples at full scale are clips; -50 dBFS is 103.6 steps: 103 is
// silence, 104 is not; silence at the edges counts from half a second. A silent take has no
// loudness and no peak.
TEST(TakeLevels, PeakDcOffsetClippedRunsAndSilence) {
    const int16_t hi = 32767;
    const int16_t lo = -32768;
    const struct {
        const char* what;
        Samples samples;
        double peakDbfs;
        double dcOffset;
        int clippedRuns;
        double leading;
        double trailing;
    } cases[] = {
        {"two at full scale: a peak", {0, hi, hi, 0, lo, lo}, 0, -1 / 3.0 / 32768, 0, 0, 0},
        {"three and five",
         {hi, hi, hi, 0, lo, lo, lo, lo, lo},
         0,
         (3.0 * hi + 5.0 * lo) / 9 / 32768,
         2,
         0,
         0},
        {"full scale alternating", {hi, lo, hi, lo}, 0, -0.5 / 32768, 0, 0, 0},
        {"one long run", Constant(0.01, hi), 20 * std::log10(hi / 32768.0), hi / 32768.0, 1, 0, 0},
        {"a tenth of full scale", Constant(1, 3277), 20 * std::log10(0.1), 0.1, 0, 0, 0},
        {"0.6 s before, 0.7 s after", Concat({Constant(0.6, 0), Sine(1, 8000), Constant(0.7, 0)}),
         20 * std::log10(8000 / 32768.0), 0, 0, 0.6, 0.7},
        {"0.4 s before, 0.5 s after",
         Concat({Constant(0.4, 0), Sine(1, 8000), Constant(0.5, -103)}),
         20 * std::log10(8000 / 32768.0), -103 * 0.5 / 1.9 / 32768, 0, 0, 0.5},
        {"a tone just below the threshold", Concat({Sine(1, 103), Constant(0.1, 104)}),
         20 * std::log10(104 / 32768.0), 104 * 0.1 / 1.1 / 32768, 0, 1, 0},
    };
    for (const auto& c : cases) {
        const TakeLevels levels = Measure(c.samples);
        EXPECT_NEAR(levels.peakDbfs, c.peakDbfs, 1e-3) << c.what;
        EXPECT_NEAR(levels.dcOffset, c.dcOffset, 1e-4) << c.what;
        EXPECT_EQ(levels.clippedRuns, c.clippedRuns) << c.what;
        EXPECT_NEAR(levels.leadingSilence, c.leading, 1e-3) << c.what;
        EXPECT_NEAR(levels.trailingSilence, c.trailing, 1e-3) << c.what;
        EXPECT_FALSE(levels.silent) << c.what;
    }
    // Below -50 dBFS throughout, or under EBU R128's -70 LUFS gate, or empty: counted once, as
    // leading silence.
    const std::pair<Samples, double> silences[] = {{Constant(2, 103), 2}, {Sine(1, 8), 1}, {{}, 0}};
    for (const auto& [samples, leading] : silences) {
        const TakeLevels levels = Measure(samples);
        EXPECT_TRUE(levels.silent);
        EXPECT_EQ(levels.loudness, kSilent);
        EXPECT_NEAR(levels.leadingSilence, leading, 1e-3);
        EXPECT_EQ(levels.trailingSilence, 0);
    }
    EXPECT_EQ(Measure(Constant(1, 0)).peakDbfs, kSilent);
}

// The others' median leaves silent and undecodable voices out; a take more than 6 LU from it is
// flagged, a silent one only as silent.
TEST(TakeFlags, ATakeIsFlaggedForClippingSilenceAndStrayingMoreThan6Lu) {
    const std::vector<double> others = {-22, -23, -24};
    const auto take = [](double loudness, int clippedRuns = 0) {
        TakeLevels levels;
        levels.loudness = loudness;
        levels.clippedRuns = clippedRuns;
        levels.silent = loudness == kSilent;
        return levels;
    };
    const struct {
        const char* what;
        TakeLevels levels;
        std::vector<double> others;
        TakeFlags flags;
    } cases[] = {
        {"exactly 6 LU quieter", take(-29), others, {false, false, false, -6}},
        {"7 LU quieter", take(-30), others, {false, false, true, -7}},
        {"6.5 LU louder than the middle two",
         take(-15.5),
         {-20, kSilent, -24, std::nan("")},
         {false, false, true, 6.5}},
        {"no other voice heard", take(-40), {kSilent}, {false, false, false, 0}},
        {"clipped", take(-23, 1), others, {true, false, false, 0}},
        {"silent", take(kSilent), others, {false, true, false, 0}},
    };
    for (const auto& c : cases) {
        const TakeFlags flags = FlagTake(c.levels, c.others);
        EXPECT_EQ(flags.clipping, c.flags.clipping) << c.what;
        EXPECT_EQ(flags.silent, c.flags.silent) << c.what;
        EXPECT_EQ(flags.loudnessOutlier, c.flags.loudnessOutlier) << c.what;
        EXPECT_DOUBLE_EQ(flags.deviationLu, c.flags.deviationLu) << c.what;
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
    EXPECT_EQ(after.loudness, r.loudness);
    EXPECT_LT(r.loudness, -11);
    EXPECT_EQ(after.clippedRuns, 0);
    EXPECT_GE(after.peakDbfs, 20 * std::log10(32766 / 32768.0));
    EXPECT_NE(r.why.find("more gain would clip the peak"), std::string::npos);
}

}  // namespace
}  // namespace vox::test
