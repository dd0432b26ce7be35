#include "audio/player/portaudiodevice.h"

#include <gtest/gtest.h>

namespace vox {
namespace {

// These run without touching PortAudio itself: a device that was never opened must refuse
// buffers instead of handing out one bound to no stream. Real output is checked end to end by
// the sound test with a sound server.
TEST(PortAudioDevice, AnUnopenedDeviceRefusesBuffers) {
    PortAudioDevice device;
    std::unique_ptr<SoundBuffer> buffer;
    EXPECT_EQ(device.CreateBuffer(1000, buffer), kSoundNotOpen);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(device.GetOutputLatency(), 0.0);
}

TEST(SoundDevice, PlayableSizesHoldAWholeSampleAndFitABuffer) {
    EXPECT_FALSE(IsPlayableSize(0));
    EXPECT_FALSE(IsPlayableSize(1));
    EXPECT_TRUE(IsPlayableSize(2));
    EXPECT_TRUE(IsPlayableSize(3));
    EXPECT_TRUE(IsPlayableSize(kMaxSoundBufferSize));
    EXPECT_FALSE(IsPlayableSize(kMaxSoundBufferSize + 1));
}

}  // namespace
}  // namespace vox
