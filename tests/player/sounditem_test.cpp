#include "audio/player/sounditem.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "audio/player/nullsounddevice.h"
#include "tests/player/soundfixtures.h"

namespace vox {
namespace {

using Trace = std::vector<std::pair<std::string, int>>;

class SoundItemTest : public ::testing::Test {
  protected:
    SoundItemTest() : control(std::make_shared<NullSoundControl>()), device(control) {
        trace = [this](std::string_view operation, int result) {
            traced.emplace_back(std::string(operation), result);
        };
    }

    std::shared_ptr<NullSoundControl> control;
    NullSoundDevice device;
    Trace traced;
    SoundTrace trace;
};

TEST_F(SoundItemTest, PrepareCopiesIntoTheBufferAndFreesThePcm) {
    ASSERT_EQ(device.Open(), kSoundOk);
    SoundItem item(test::MakePcm(6, 0x5A), 6);
    ASSERT_TRUE(item.Prepare(device, trace));
    EXPECT_TRUE(item.IsPrepared());
    EXPECT_EQ(item.Size(), 0u);
    EXPECT_EQ(item.Data(), nullptr);
    ASSERT_TRUE(item.PlayAndWait({}, trace));
    auto played = control->GetPlayed();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].pcm, std::vector<uint8_t>(6, 0x5A));
    EXPECT_FALSE(played[0].aborted);
    EXPECT_TRUE(traced.empty());
}

TEST_F(SoundItemTest, SoundsWithoutAWholeSampleAreRefused) {
    ASSERT_EQ(device.Open(), kSoundOk);
    for (uint32_t size : {0u, 1u}) {
        SoundItem item(test::MakePcm(size, 1), size);
        EXPECT_FALSE(item.Prepare(device, trace)) << size;
        EXPECT_FALSE(item.IsPrepared());
        EXPECT_EQ(item.Size(), size) << "a refused sound keeps its bytes";
    }
    EXPECT_EQ(traced, (Trace{{"Create Soundbuffer", kSoundInvalidSize},
                             {"Create Soundbuffer", kSoundInvalidSize}}));
}

TEST_F(SoundItemTest, EachDeviceFailureIsTracedUnderItsOperation) {
    ASSERT_EQ(device.Open(), kSoundOk);
    control->FailNext(NullSoundStep::CreateBuffer, 1, -7);
    control->FailNext(NullSoundStep::Write, 1, -8);
    control->FailNext(NullSoundStep::Play, 1, -9);
    SoundItem item(test::MakePcm(4, 1), 4);
    EXPECT_FALSE(item.Prepare(device, trace));
    EXPECT_FALSE(item.Prepare(device, trace));
    EXPECT_EQ(item.Size(), 4u) << "a failed copy keeps the bytes";
    ASSERT_TRUE(item.Prepare(device, trace));
    EXPECT_FALSE(item.PlayAndWait({}, trace));
    EXPECT_EQ(traced, (Trace{{"Create Soundbuffer", -7}, {"Lock", -8}, {"Play", -9}}));
    EXPECT_TRUE(control->GetPlayed().empty());
}

TEST_F(SoundItemTest, AnAbortedSoundEndsLongBeforeItsDuration) {
    ASSERT_EQ(device.Open(), kSoundOk);
    auto item = test::MakeSound(60000, 1);  // a minute
    ASSERT_TRUE(item->Prepare(device, trace));
    std::stop_source abort;
    abort.request_stop();
    auto start = test::Clock::now();
    EXPECT_TRUE(item->PlayAndWait(abort.get_token(), trace));
    EXPECT_LT(test::Since(start), std::chrono::seconds(10));
    ASSERT_EQ(control->GetPlayed().size(), 1u);
    EXPECT_TRUE(control->GetPlayed()[0].aborted);
}

}  // namespace
}  // namespace vox
