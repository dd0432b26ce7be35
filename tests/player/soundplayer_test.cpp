// The sound player with the null device, the limits every device applies, and the PortAudio
// device without touching PortAudio.
#include "audio/player/soundplayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "audio/player/nullsounddevice.h"
#include "audio/player/playerthread.h"
#include "audio/player/portaudiodevice.h"

namespace vox {
namespace {

using namespace std::chrono_literals;
using Trace = std::vector<std::pair<std::string, int>>;
using Bytes = std::vector<uint8_t>;

// A device that was never opened must refuse buffers instead of handing out one bound to no
// stream. Real output is checked end to end by the sound test with a sound server.
TEST(SoundDevice, PlayableSizesAndAnUnopenedPortAudioDevice) {
    for (uint32_t size : {0u, 1u, kMaxSoundBufferSize + 1}) EXPECT_FALSE(IsPlayableSize(size));
    for (uint32_t size : {2u, 3u, kMaxSoundBufferSize}) EXPECT_TRUE(IsPlayableSize(size));
    PortAudioDevice device;
    std::unique_ptr<SoundBuffer> buffer;
    EXPECT_EQ(device.CreateBuffer(1000, buffer), kSoundNotOpen);
    EXPECT_EQ(device.GetOutputLatency(), 0.0);
}

// PCM that lasts ms milliseconds at 16000 bytes per second: tag, then a pattern, so that sounds
// can be told apart and checked byte for byte.
Bytes Pcm(int ms, uint8_t tag) {
    Bytes pcm(size_t(ms) * 16);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = uint8_t(tag + i * 7);
    return pcm;
}

std::unique_ptr<SoundItem> MakeSound(int ms, uint8_t tag) {
    const Bytes pcm = Pcm(ms, tag);
    auto data = std::make_unique<uint8_t[]>(pcm.size());
    std::copy(pcm.begin(), pcm.end(), data.get());
    return std::make_unique<SoundItem>(std::move(data), uint32_t(pcm.size()));
}

Bytes TagsOf(const std::vector<NullSoundRecord>& played) {
    Bytes tags;
    for (const auto& record : played) tags.push_back(record.pcm.empty() ? 0 : record.pcm[0]);
    return tags;
}

class SoundPlayerTest : public ::testing::Test {
  protected:
    ~SoundPlayerTest() override { thread.Shutdown(player, 2000ms); }

    // The player's trace, written on the worker thread.
    Trace Traced() {
        std::lock_guard<std::mutex> lock(mutex);
        return traced;
    }

    std::shared_ptr<NullSoundControl> control = std::make_shared<NullSoundControl>();
    std::mutex mutex;
    Trace traced;
    SoundTrace trace = [this](std::string_view step, int result) {
        std::lock_guard<std::mutex> lock(mutex);
        traced.emplace_back(std::string(step), result);
    };
    PlayerThread thread;
    SoundPlayer player{MakeNullSoundFactory(control), trace};
};

// Queueing returns at once even while the worker is stuck in the device; the sounds then play
// whole, in call order, one after another, on the one device made for them.
TEST_F(SoundPlayerTest, SoundsPlayWholeInCallOrderAndEnqueueNeverWaits) {
    control->Hang(NullSoundStep::Play);
    ASSERT_TRUE(thread.Start(player));
    player.Enqueue(MakeSound(5, 1));
    ASSERT_TRUE(control->WaitForCalls(NullSoundStep::Play, 1, 10s));
    for (uint8_t tag = 2; tag <= 20; ++tag) player.Enqueue(MakeSound(5, tag));
    EXPECT_FALSE(player.WaitUntilIdle(20ms));
    control->Release();
    ASSERT_TRUE(player.WaitUntilIdle(10s));
    const auto played = control->GetPlayed();
    ASSERT_EQ(played.size(), 20u);
    for (size_t i = 0; i < played.size(); ++i) EXPECT_EQ(played[i].pcm, Pcm(5, uint8_t(i + 1)));
    for (size_t i = 1; i < played.size(); ++i) EXPECT_GE(played[i].start, played[i - 1].end) << i;
    EXPECT_EQ(control->GetMostPlayingAtOnce(), 1);
    EXPECT_EQ(control->GetCalls(NullSoundStep::Open), 1);
    EXPECT_EQ(Traced(), Trace{});
}

// Each failure is traced under its step and costs only its own sound. A device that failed to
// open is not kept: the next sound tries again.
TEST_F(SoundPlayerTest, EachDeviceFailureCostsOnlyItsOwnSoundAndAFailedOpenIsRetried) {
    control->FailNext(NullSoundStep::Open, 2, -5);
    control->FailNext(NullSoundStep::CreateBuffer, 1, -7);
    control->FailNext(NullSoundStep::Write, 1, -8);
    control->FailNext(NullSoundStep::Play, 1, -9);
    ASSERT_TRUE(thread.Start(player));
    for (uint8_t tag = 1; tag <= 6; ++tag) player.Enqueue(MakeSound(5, tag));
    player.Enqueue(std::make_unique<SoundItem>(std::make_unique<uint8_t[]>(1), 1));
    ASSERT_TRUE(player.WaitUntilIdle(10s));
    EXPECT_EQ(TagsOf(control->GetPlayed()), Bytes{6});
    EXPECT_EQ(Traced(), (Trace{{"Open Device", -5},
                               {"Open Device", -5},
                               {"Create Soundbuffer", -7},
                               {"Lock", -8},
                               {"Play", -9},
                               {"Create Soundbuffer", kSoundInvalidSize}}));
    EXPECT_EQ(control->GetCalls(NullSoundStep::Open), 3);
    EXPECT_EQ(control->GetLiveDevices(), 1);
    EXPECT_EQ(player.GetStats().dropped, 2u);
    EXPECT_EQ(player.GetStats().failed, 4u);
    EXPECT_EQ(player.GetStats().played, 1u);

    PlayerThread otherThread;
    SoundPlayer noDevices([] { return std::unique_ptr<SoundDevice>(); }, trace);
    ASSERT_TRUE(otherThread.Start(noDevices));
    for (int i = 0; i < 3; ++i) noDevices.Enqueue(MakeSound(1000, 1));
    EXPECT_TRUE(noDevices.WaitUntilIdle(10s));
    EXPECT_EQ(noDevices.GetStats().dropped, 3u);
    EXPECT_EQ(Traced().back(), Trace::value_type("Create Device", kSoundNoDevice));
    EXPECT_TRUE(otherThread.Shutdown(noDevices, 2000ms));
}

// The sounds discarded are freed with the player, as the leak checker sees.
TEST_F(SoundPlayerTest, StopLetsTheSoundThatPlaysFinishAndDiscardsTheRest) {
    ASSERT_TRUE(thread.Start(player));
    for (uint8_t tag = 1; tag <= 3; ++tag) player.Enqueue(MakeSound(200, tag));
    ASSERT_TRUE(control->WaitForCalls(NullSoundStep::Play, 1, 10s));
    player.Stop();
    EXPECT_TRUE(thread.Shutdown(player, 10s));
    const auto played = control->GetPlayed();
    ASSERT_EQ(TagsOf(played), Bytes{1});
    EXPECT_FALSE(played[0].aborted);
}

TEST(SoundPlayer, APlayerWithoutShutdownStillStopsItsWorker) {
    auto control = std::make_shared<NullSoundControl>();
    {
        PlayerThread thread;
        SoundPlayer player(MakeNullSoundFactory(control));
        ASSERT_TRUE(thread.Start(player));
        player.Enqueue(MakeSound(5, 1));
        ASSERT_TRUE(control->WaitForCalls(NullSoundStep::Open, 1, 10s));
    }
    EXPECT_TRUE(control->WaitForNoDevices(10s));
}

// A device call that never returns, as into a frozen sound server, at each step in turn.
class FrozenDeviceTest : public ::testing::TestWithParam<NullSoundStep> {};

TEST_P(FrozenDeviceTest, ShutdownGivesUpOnTheWorkerInsteadOfHanging) {
    auto control = std::make_shared<NullSoundControl>();
    control->Hang(GetParam());
    {
        PlayerThread thread;
        SoundPlayer player(MakeNullSoundFactory(control));
        ASSERT_TRUE(thread.Start(player));
        for (int i = 0; i < 5; ++i) player.Enqueue(MakeSound(200, 1));
        ASSERT_TRUE(control->WaitForCalls(GetParam(), 1, 10s));
        EXPECT_FALSE(thread.Shutdown(player, 300ms));
    }
    // The player is gone; the worker left behind owns what it still uses and ends once the
    // device answers again.
    control->Release();
    EXPECT_TRUE(control->WaitForNoDevices(10s));
    for (const auto& record : control->GetPlayed()) EXPECT_TRUE(record.aborted);
}

INSTANTIATE_TEST_SUITE_P(EachStep, FrozenDeviceTest,
                         ::testing::Values(NullSoundStep::Open, NullSoundStep::CreateBuffer,
                                           NullSoundStep::Write, NullSoundStep::Play));

}  // namespace
}  // namespace vox
