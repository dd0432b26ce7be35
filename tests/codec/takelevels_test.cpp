// The levels of a take, its flags against the fragment's other voices, and bringing it to the
// fragment's loudness.
#include "audio/takelevels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "audio/takenormalization.h"
#include "tests/codec/testsignals.h"

namespace vox::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pcm(const std::vector<int16_t>& samples) {
    Bytes pcm(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) WriteU16(pcm.data() + 2 * i, uint16_t(samples[i]));
    return pcm;
}

std::vector<int16_t> Concat(std::initializer_list<std::vector<int16_t>> parts) {
    std::vector<int16_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<int16_t> Constant(double seconds, int16_t value) {
    return std::vector<int16_t>(size_t(seconds * kSampleRate), value);
}

std::vector<int16_t> Offset(std::vector<int16_t> samples, int16_t by) {
    for (int16_t& s : samples) s = int16_t(s + by);
    return samples;
}

std::vector<int16_t> Sine(double seconds, double amplitude, double frequency = 1000) {
    return ToSamples(SinePcm(frequency, size_t(seconds * kSampleRate), amplitude));
}

TakeLevels Measure(const std::vector<int16_t>& samples) {
    TakeLevels levels;
    EXPECT_TRUE(MeasureTakeLevels(Pcm(samples), levels));
    return levels;
}

// The gain of BS.1770's K-weighting at frequency f, evaluated from its filters' design as
// libebur128 makes them for 8000 Hz: the high shelf bilinear-transformed and prewarped at its
// corner, and the RLB high-pass keeping the standard's numerator 1, -2, 1. (At 48 kHz the same
// formula gives the standard's +0.69 dB at 1 kHz, hence -3.01 LUFS for a full-scale sine.)
double KWeightingDb(double f) {
    const double rate = kSampleRate;
    const std::complex<double> z = std::polar(1.0, -2 * std::numbers::pi * f / rate);
    const auto biquad = [&](double b0, double b1, double b2, double a1, double a2) {
        return (b0 + b1 * z + b2 * z * z) / (1.0 + a1 * z + a2 * z * z);
    };
    double k = std::tan(std::numbers::pi * 1681.974450955533 / rate);
    double q = 0.7071752369554196;
    const double vh = std::pow(10.0, 3.999843853973347 / 20);
    const double vb = std::pow(vh, 0.4996667741545416);
    double a0 = 1 + k / q + k * k;
    const auto shelf =
        biquad((vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0,
               (vh - vb * k / q + k * k) / a0, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0);
    k = std::tan(std::numbers::pi * 38.13547087602444 / rate);
    q = 0.5003270373238773;
    a0 = 1 + k / q + k * k;
    const auto highPass = biquad(1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0);
    return 20 * std::log10(std::abs(shelf * highPass));
}

TEST(TakeLevels, TheLoudnessOfASineIsItsKWeightedPower) {
    const struct {
        double frequency;
        double amplitude;
        double seconds;
    } cases[] = {
        {1000, 32767, 2}, {1000, 3277, 2},    {100, 32767, 2}, {440, 16384, 3},
        {3000, 8192, 2},  {1000, 32767, 0.25}};  // shorter than one gating block: measured whole
    for (const auto& c : cases) {
        const double meanSquare = 0.5 * std::pow(c.amplitude / 32768, 2);
        const double expected = -0.691 + 10 * std::log10(meanSquare) + KWeightingDb(c.frequency);
        EXPECT_NEAR(Measure(Sine(c.seconds, c.amplitude, c.frequency)).loudness, expected, 0.02)
            << c.frequency << " Hz at " << c.amplitude << " for " << c.seconds << " s";
    }
}

TEST(TakeLevels, PeakDcOffsetAndClippedRuns) {
    const int16_t hi = 32767;
    const int16_t lo = -32768;
    const struct {
        const char* what;
        std::vector<int16_t> samples;
        double peakDbfs;
        double dcOffset;
        int clippedRuns;
    } cases[] = {
        {"half scale", Sine(1, 16384), 20 * std::log10(0.5), 0, 0},
        {"a tenth of full scale above zero", Offset(Sine(1, 1000), 3277),
         20 * std::log10(4277 / 32768.0), 3277 / 32768.0, 0},
        {"two at full scale: a peak, not a clip",
         {0, hi, hi, 0, lo, lo},
         0,
         (2.0 * hi + 2.0 * lo) / 6 / 32768,
         0},
        {"three and five at full scale",
         {hi, hi, hi, 0, lo, lo, lo, lo, lo},
         0,
         (3.0 * hi + 5.0 * lo) / 9 / 32768,
         2},
        {"full scale alternating", {hi, lo, hi, lo}, 0, (2.0 * hi + 2.0 * lo) / 4 / 32768, 0},
        {"one long run", Constant(0.01, hi), 20 * std::log10(hi / 32768.0), hi / 32768.0, 1},
    };
    for (const auto& c : cases) {
        const TakeLevels levels = Measure(c.samples);
        EXPECT_NEAR(levels.peakDbfs, c.peakDbfs, 1e-3) << c.what;
        EXPECT_NEAR(levels.dcOffset, c.dcOffset, 1e-4) << c.what;
        EXPECT_EQ(levels.clippedRuns, c.clippedRuns) << c.what;
    }
}

// -50 dBFS is 103.6 steps: 103 is silence, 104 is not. A silent take has no loudness.
TEST(TakeLevels, SilenceAtTheEdgesCountsFromHalfASecond) {
    const struct {
        const char* what;
        std::vector<int16_t> samples;
        double leading;
        double trailing;
        bool silent;
    } cases[] = {
        {"0.6 s before, 0.7 s after", Concat({Constant(0.6, 0), Sine(1, 8000), Constant(0.7, 0)}),
         0.6, 0.7, false},
        {"0.4 s before, 0.5 s after",
         Concat({Constant(0.4, 0), Sine(1, 8000), Constant(0.5, -103)}), 0, 0.5, false},
        {"a tone just below the threshold", Concat({Sine(1, 103), Constant(0.1, 104)}), 1, 0,
         false},
        {"silent throughout", Constant(2, 103), 2, 0, true},
        {"noise at dither level", Sine(1, 8), 1, 0, true},  // below EBU R128's -70 LUFS gate
        {"no samples", {}, 0, 0, true},
    };
    for (const auto& c : cases) {
        const TakeLevels levels = Measure(c.samples);
        EXPECT_NEAR(levels.leadingSilence, c.leading, 1e-3) << c.what;
        EXPECT_NEAR(levels.trailingSilence, c.trailing, 1e-3) << c.what;
        EXPECT_EQ(levels.silent, c.silent) << c.what;
        EXPECT_EQ(levels.loudness == kSilent, c.silent) << c.what;
    }
    EXPECT_EQ(Measure(Constant(1, 0)).peakDbfs, kSilent);
}

// "-inf" or "nan" would mean nothing to a voice team.
TEST(TakeLevels, NoLoudnessOrPeakPrintsAsSilent) {
    EXPECT_EQ(FormatLoudness(kSilent), "silent");
    EXPECT_EQ(FormatDbfs(kSilent), "silent");
    EXPECT_EQ(FormatLoudness(-23.04), "-23.0 LUFS");
    EXPECT_EQ(FormatDbfs(-0.5), "-0.5 dBFS");
}

TEST(TakeFlags, TheMedianOfTheOtherVoicesLeavesSilentOnesOutAndIsTheTarget) {
    const double nan = std::nan("");
    const struct {
        std::vector<double> loudness;
        std::optional<double> median;
    } cases[] = {{{-20}, -20},
                 {{-24, -20, -22}, -22},
                 {{-30, -20, -22, -24}, -23},
                 {{-20, kSilent, -24, nan}, -22},
                 {{kSilent}, std::nullopt},
                 {{}, std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(MedianLoudness(c.loudness), c.median);
        EXPECT_EQ(NormalizationTarget(c.loudness), c.median.value_or(-23));  // EBU R128's target
    }
}

TEST(TakeFlags, ATakeIsFlaggedForClippingSilenceAndStrayingMoreThan6Lu) {
    const std::vector<double> others = {-22, -23, -24};  // median -23
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
        {"3 LU louder", take(-20), others, {false, false, false, 3}},
        {"exactly 6 LU quieter", take(-29), others, {false, false, false, -6}},
        {"6.5 LU louder", take(-16.5), others, {false, false, true, 6.5}},
        {"7 LU quieter", take(-30), others, {false, false, true, -7}},
        {"no other voice", take(-40), {}, {false, false, false, 0}},
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

TEST(TakeNormalization, ATakeReachesTheTargetOrStopsAtFullScale) {
    const struct {
        const char* what;
        std::vector<int16_t> samples;
        double target;
        bool reached;
    } cases[] = {
        {"quieter, up to the target", Sine(2, 2000, 440), -23, true},
        {"louder, down to the target", Sine(2, 30000, 440), -23, true},
        {"a speech-like crest: stops at the peak",
         Concat({Sine(1.9, 1000, 440), Sine(0.1, 16000, 440)}), -10, false},
    };
    for (const auto& c : cases) {
        const Bytes pcm = Pcm(c.samples);
        const NormalizedTake r = NormalizeTakeLoudness(pcm, c.target);
        ASSERT_TRUE(r.ok) << c.what << ": " << r.why;
        EXPECT_EQ(r.reachedTarget, c.reached) << c.what;
        const TakeLevels after = Measure(ToSamples(r.pcm));
        EXPECT_EQ(after.loudness, r.loudness) << c.what;
        EXPECT_EQ(after.clippedRuns, 0) << c.what;
        if (c.reached) {
            EXPECT_NEAR(r.loudness, c.target, 0.05) << c.what;
            EXPECT_EQ(r.why, "") << c.what;
        } else {
            EXPECT_LT(r.loudness, c.target - 1) << c.what;
            EXPECT_GE(after.peakDbfs, 20 * std::log10(32766 / 32768.0))
                << c.what;  // right at full scale
            EXPECT_NE(r.why.find("more gain would clip the peak"), std::string::npos) << c.what;
        }
    }
}

TEST(TakeNormalization, ASilentTakeIsRefused) {
    const NormalizedTake r = NormalizeTakeLoudness(Pcm(Constant(1, 0)), -23);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.pcm.empty());
    EXPECT_EQ(r.why, "the take is silent: no gain gives it a loudness");
}

}  // namespace
}  // namespace vox::test
