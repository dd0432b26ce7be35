#include "audio/player/soundplayer.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "audio/player/autoresetevent.h"
#include "audio/player/nullsounddevice.h"
#include "tests/player/soundfixtures.h"

namespace vox {
namespace {

using namespace std::chrono_literals;
using test::Clock;
using test::MakeSound;
using test::Since;

// Collects the player's trace from the worker thread.
class TraceLog {
  public:
    SoundTrace Hook() {
        return [this](std::string_view operation, int result) {
            std::lock_guard<std::mutex> lock(mutex_);
            entries_.emplace_back(std::string(operation), result);
        };
    }
    std::vector<std::pair<std::string, int>> Entries() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return entries_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, int>> entries_;
};

std::vector<uint8_t> TagsOf(const std::vector<NullSoundRecord>& played) {
    std::vector<uint8_t> tags;
    for (const auto& record : played) tags.push_back(record.pcm.empty() ? 0 : record.pcm[0]);
    return tags;
}

class SoundPlayerTest : public ::testing::Test {
  protected:
    ~SoundPlayerTest() override { thread.Shutdown(player, 2000ms); }

    std::shared_ptr<NullSoundControl> control = std::make_shared<NullSoundControl>();
    TraceLog trace;
    PlayerThread thread;
    SoundPlayer player{MakeNullSoundFactory(control), trace.Hook()};
};

TEST_F(SoundPlayerTest, PlaysSoundsInCallOrderOneAfterAnother) {
    ASSERT_TRUE(thread.Start(player));
    for (uint8_t tag = 1; tag <= 4; ++tag) player.Enqueue(MakeSound(30, tag));
    ASSERT_TRUE(player.WaitUntilIdle(10s));
    auto played = control->GetPlayed();
    EXPECT_EQ(TagsOf(played), (std::vector<uint8_t>{1, 2, 3, 4}));
    for (size_t i = 1; i < played.size(); ++i) {
        EXPECT_GE(played[i].start, played[i - 1].end) << "sound " << i << " overlaps";
    }
    EXPECT_EQ(control->GetMostPlayingAtOnce(), 1);
    EXPECT_EQ(player.GetStats().played, 4u);
    EXPECT_EQ(control->GetCalls(NullSoundStep::Open), 1) << "the device is made once";
    EXPECT_TRUE(trace.Entries().empty());
}

TEST_F(SoundPlayerTest, PlaysEveryByteOfEachSound) {
    ASSERT_TRUE(thread.Start(player));
    auto pcm = std::make_unique<uint8_t[]>(1000);
    for (int i = 0; i < 1000; ++i) pcm[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> expected(pcm.get(), pcm.get() + 1000);
    player.Enqueue(std::make_unique<SoundItem>(std::move(pcm), 1000));
    ASSERT_TRUE(player.WaitUntilIdle(10s));
    ASSERT_EQ(control->GetPlayed().size(), 1u);
    EXPECT_EQ(control->GetPlayed()[0].pcm, expected);
}

TEST_F(SoundPlayerTest, EnqueueNeverWaitsForAudio) {
    control->Hang(NullSoundStep::Play);
    ASSERT_TRUE(thread.Start(player));
    player.Enqueue(MakeSound(5, 1));
    ASSERT_TRUE(control->WaitForCalls(NullSoundStep::Play, 1, 10s));
    // The worker is stuck in the device now; queueing must still return at once.
    for (uint8_t tag = 2; tag <= 20; ++tag) player.Enqueue(MakeSound(5, tag));
    EXPECT_FALSE(player.WaitUntilIdle(20ms));
    control->Release();
    ASSERT_TRUE(player.WaitUntilIdle(10s));
    auto tags = TagsOf(control->GetPlayed());
    ASSERT_EQ(tags.size(), 20u);
    for (size_t i = 0; i < tags.size(); ++i) EXPECT_EQ(tags[i], i + 1);
}

TEST_F(SoundPlayerTest, ARefusedSoundIsSkippedAndTheNextStillPlays) {
    ASSERT_TRUE(thread.Start(player));
    player.Enqueue(std::make_unique<SoundItem>(test::MakePcm(0, 1), 0));
    player.Enqueue(MakeSound(10, 2));
    ASSERT_TRUE(player.WaitUntilIdle(10s));
    EXPECT_EQ(TagsOf(control->GetPlayed()), (std::vector<uint8_t>{2}));
    EXPECT_EQ(player.GetStats().failed, 1u);
    EXPECT_EQ(player.GetStats().played, 1u);
    EXPECT_EQ(
        trace.Entries(),
        (std::vector<std::pair<std::string, int>>{{"Create Soundbuffer", kSoundInvalidSize}}));
}

TEST_F(SoundPlayerTest, EachDeviceFailureCostsOnlyItsOwnSound) {
    control->FailNext(NullSoundStep::CreateBuffer);
    control->FailNext(NullSoundStep::Write);
    control->FailNext(NullSoundStep::Play);
    ASSERT_TRUE(thread.Start(player));
    for (uint8_t tag = 1; tag <= 4; ++tag) player.Enqueue(MakeSound(5, tag));
    ASSERT_TRUE(player.WaitUntilIdle(10s));
    EXPECT_EQ(TagsOf(control->GetPlayed()), (std::vector<uint8_t>{4}));
    int failure = NullSoundControl::kInjectedFailure;
    EXPECT_EQ(trace.Entries(),
              (std::vector<std::pair<std::string, int>>{
                  {"Create Soundbuffer", failure}, {"Lock", failure}, {"Play", failure}}));
    EXPECT_EQ(player.GetStats().failed, 3u);
}

TEST_F(SoundPlayerTest, WithoutADeviceEachSoundRetriesItAndIsDropped) {
    control->FailNext(NullSoundStep::Open, 2);
    ASSERT_TRUE(thread.Start(player));
    for (uint8_t tag = 1; tag <= 3; ++tag) player.Enqueue(MakeSound(5, tag));
    ASSERT_TRUE(player.WaitUntilIdle(10s));
    EXPECT_EQ(control->GetCalls(NullSoundStep::Open), 3);
    EXPECT_EQ(TagsOf(control->GetPlayed()), (std::vector<uint8_t>{3}));
    EXPECT_EQ(player.GetStats().dropped, 2u);
    EXPECT_EQ(trace.Entries().size(), 2u);
    EXPECT_EQ(trace.Entries()[0].first, "Open Device");
    EXPECT_EQ(control->GetLiveDevices(), 1) << "devices that failed to open are not kept";
}

TEST(SoundPlayer, AFactoryWithoutDevicesDropsEverySound) {
    TraceLog trace;
    PlayerThread thread;
    SoundPlayer player([] { return std::unique_ptr<SoundDevice>(); }, trace.Hook());
    ASSERT_TRUE(thread.Start(player));
    for (int i = 0; i < 3; ++i) player.Enqueue(MakeSound(1000, 1));
    EXPECT_TRUE(player.WaitUntilIdle(10s));
    EXPECT_EQ(player.GetStats().dropped, 3u);
    EXPECT_EQ(trace.Entries().size(), 3u);
    EXPECT_EQ(trace.Entries()[0].first, "Create Device");
    EXPECT_TRUE(thread.Shutdown(player, 2000ms));
}

TEST(SoundPlayer, StopLetsTheSoundThatPlaysFinishAndDiscardsTheRest) {
    auto control = std::make_shared<NullSoundControl>();
    std::atomic<int> destroyed{0};
    {
        PlayerThread thread;
        SoundPlayer player(MakeNullSoundFactory(control));
        ASSERT_TRUE(thread.Start(player));
        for (uint8_t tag = 1; tag <= 3; ++tag) {
            player.Enqueue(std::make_unique<test::CountedSound>(200, tag, destroyed));
        }
        ASSERT_TRUE(control->WaitForCalls(NullSoundStep::Play, 1, 10s));
        player.Stop();
        EXPECT_TRUE(thread.Shutdown(player, 10s));
        EXPECT_EQ(destroyed, 1) << "the rest wait for the player's end";
    }
    auto played = control->GetPlayed();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].pcm[0], 1);
    EXPECT_FALSE(played[0].aborted);
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(control->GetLiveDevices(), 0);
}

TEST(SoundPlayer, APlayerWithoutShutdownStillStopsItsWorker) {
    auto control = std::make_shared<NullSoundControl>();
    {
        PlayerThread thread;
        SoundPlayer player(MakeNullSoundFactory(control));
        ASSERT_TRUE(thread.Start(player));
        player.Enqueue(MakeSound(5, 1));
        ASSERT_TRUE(player.WaitUntilIdle(10s));
        ASSERT_EQ(control->GetLiveDevices(), 1);
    }
    EXPECT_TRUE(control->WaitForNoDevices(10s));
}

std::string StepName(const ::testing::TestParamInfo<NullSoundStep>& info) {
    static const char* const kNames[] = {"Open", "CreateBuffer", "Write", "Play"};
    return kNames[static_cast<int>(info.param)];
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
        auto start = Clock::now();
        EXPECT_FALSE(thread.Shutdown(player, 300ms));
        EXPECT_LT(Since(start), 3000ms);
    }
    // The player is gone; the worker left behind owns what it still uses and ends once the
    // device answers again.
    control->Release();
    EXPECT_TRUE(control->WaitForNoDevices(10s));
    for (const auto& record : control->GetPlayed()) EXPECT_TRUE(record.aborted);
}

INSTANTIATE_TEST_SUITE_P(EachStep, FrozenDeviceTest,
                         ::testing::Values(NullSoundStep::Open, NullSoundStep::CreateBuffer,
                                           NullSoundStep::Write, NullSoundStep::Play),
                         StepName);

}  // namespace
}  // namespace vox
