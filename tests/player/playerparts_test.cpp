// The player's parts on their own: its wake-up event, its queue, and the limits every device
// applies; the PortAudio device without touching PortAudio.
#include <gtest/gtest.h>

#include "audio/player/autoresetevent.h"
#include "audio/player/portaudiodevice.h"
#include "audio/player/soundqueue.h"

namespace vox {
namespace {

using namespace std::chrono_literals;

TEST(AutoResetEvent, ASignalReleasesExactlyOneWait) {
    AutoResetEvent event;
    EXPECT_FALSE(event.WaitFor(10ms));
    EXPECT_TRUE(event.Signal());
    EXPECT_TRUE(event.WaitFor(0ms));
    EXPECT_FALSE(event.WaitFor(0ms)) << "the event must reset itself";
}

// The player checks the order; a chain destroyed recursively would overflow the stack here.
TEST(SoundQueue, AVeryLongQueueClearsWithoutRecursion) {
    SoundQueue queue;
    for (int i = 0; i < 200000; ++i) queue.Push(std::make_unique<SoundItem>(nullptr, 0));
    queue.Clear();
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(queue.GetCount(), 0u);
}

// A device that was never opened must refuse buffers instead of handing out one bound to no
// stream. Real output is checked end to end by the sound test with a sound server.
TEST(SoundDevice, PlayableSizesAndAnUnopenedPortAudioDevice) {
    for (uint32_t size : {0u, 1u, kMaxSoundBufferSize + 1}) EXPECT_FALSE(IsPlayableSize(size));
    for (uint32_t size : {2u, 3u, kMaxSoundBufferSize}) EXPECT_TRUE(IsPlayableSize(size));
    PortAudioDevice device;
    std::unique_ptr<SoundBuffer> buffer;
    EXPECT_EQ(device.CreateBuffer(1000, buffer), kSoundNotOpen);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(device.GetOutputLatency(), 0.0);
}

}  // namespace
}  // namespace vox
