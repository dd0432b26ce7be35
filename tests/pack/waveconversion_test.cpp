// Conversion of sound files that are not in the speech format: rate, channels, sample format.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "talkdata/bytes.h"
#include "tests/pack/packfixtures.h"
#include "tools/pack/waveconversion.h"

namespace vox::test {
namespace {

std::vector<int16_t> Samples(const std::vector<uint8_t>& pcm) {
    std::vector<int16_t> out;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) out.push_back(ReadI16(pcm.data() + i));
    return out;
}

int ZeroCrossings(const std::vector<int16_t>& s) {
    int n = 0;
    for (size_t i = 1; i < s.size(); ++i)
        if ((s[i - 1] < 0) != (s[i] < 0)) ++n;
    return n;
}

int Peak(const std::vector<int16_t>& s, size_t from) {
    int peak = 0;
    for (size_t i = from; i < s.size(); ++i) peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    return peak;
}

TEST(WaveConversion, A44kStereoFileBecomes8000HzMonoWithTheSameTone) {
    std::vector<int16_t> frames;
    for (int i = 0; i < 44100; ++i) {  // 440 Hz left, silence right: the mix is half as loud
        frames.push_back(static_cast<int16_t>(16000 * std::sin(2 * std::numbers::pi * 440 * i / 44100.0)));
        frames.push_back(0);
    }
    std::vector<uint8_t> pcm;
    std::string note, why;
    ASSERT_TRUE(pack::ConvertToSpeechPcm(Pcm16WaveBytes(44100, 2, frames), 80960, pcm, note, why)) << why;
    EXPECT_EQ(note, "converted from 44100 Hz 2 channels 16-bit to 8000 Hz mono 16-bit");
    const std::vector<int16_t> s = Samples(pcm);
    EXPECT_EQ(s.size(), 8000u);
    EXPECT_NEAR(ZeroCrossings(s), 880, 4);
    EXPECT_NEAR(Peak(s, 400), 8000, 250);
}

TEST(WaveConversion, ChannelsAreAveragedWithoutResamplingAt8000Hz) {
    std::vector<int16_t> frames;
    for (int i = 0; i < 800; ++i) {
        frames.push_back(1000);
        frames.push_back(3000);
        frames.push_back(-1000);
    }
    std::vector<uint8_t> pcm;
    std::string note, why;
    ASSERT_TRUE(pack::ConvertToSpeechPcm(Pcm16WaveBytes(8000, 3, frames), 80960, pcm, note, why)) << why;
    const std::vector<int16_t> s = Samples(pcm);
    ASSERT_EQ(s.size(), 800u);
    for (int16_t v : s) ASSERT_NEAR(v, 1000, 1);
    EXPECT_EQ(note, "converted from 8000 Hz 3 channels 16-bit to 8000 Hz mono 16-bit");
}

TEST(WaveConversion, A22kMonoFileIsResampled) {
    std::vector<int16_t> frames;
    for (int i = 0; i < 22050 / 2; ++i)
        frames.push_back(static_cast<int16_t>(10000 * std::sin(2 * std::numbers::pi * 1000 * i / 22050.0)));
    std::vector<uint8_t> pcm;
    std::string note, why;
    ASSERT_TRUE(pack::ConvertToSpeechPcm(Pcm16WaveBytes(22050, 1, frames), 80960, pcm, note, why)) << why;
    const std::vector<int16_t> s = Samples(pcm);
    EXPECT_EQ(s.size(), 4000u);
    EXPECT_NEAR(ZeroCrossings(s), 1000, 4);
}

TEST(WaveConversion, ATooLongFileIsRefusedBeforeItsSamplesAreRead) {
    std::vector<int16_t> frames(8000 * 6, 0);  // six seconds at 8000 Hz, in stereo
    frames.resize(frames.size() * 2);
    std::vector<uint8_t> pcm = {7};
    std::string note, why;
    EXPECT_FALSE(pack::ConvertToSpeechPcm(Pcm16WaveBytes(8000, 2, frames), 80960, pcm, note, why));
    EXPECT_EQ(why, "6.00 s long; a talk entry holds at most 5.06 s");
    EXPECT_EQ(pcm, std::vector<uint8_t>{7});
}

TEST(WaveConversion, BytesThatAreNoSoundFileAreRefused) {
    std::vector<uint8_t> pcm;
    std::string note, why;
    const std::vector<uint8_t> junk = {'R', 'I', 'F', 'F', 1, 2, 3};
    EXPECT_FALSE(pack::ConvertToSpeechPcm(junk, 80960, pcm, note, why));
    EXPECT_NE(why.find("not a sound file"), std::string::npos);
    EXPECT_FALSE(pack::ConvertToSpeechPcm({}, 80960, pcm, note, why));
}

}  // namespace
}  // namespace vox::test
