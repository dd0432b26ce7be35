#include "audio/player/soundqueue.h"

#include <gtest/gtest.h>

#include "tests/player/soundfixtures.h"

namespace vox {
namespace {

using test::CountedSound;

TEST(SoundQueue, HandsOutItemsFirstInFirstOut) {
    SoundQueue queue;
    EXPECT_EQ(queue.Pop(), nullptr);
    for (uint8_t tag = 1; tag <= 3; ++tag) queue.Push(test::MakeSound(1, tag));
    EXPECT_EQ(queue.GetCount(), 3u);
    for (uint8_t tag = 1; tag <= 3; ++tag) {
        auto item = queue.Pop();
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->Data()[0], tag);
    }
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(queue.Pop(), nullptr);
    queue.Push(test::MakeSound(1, 9));  // the tail is reset once the queue ran empty
    EXPECT_EQ(queue.Pop()->Data()[0], 9);
}

TEST(SoundQueue, DestroysWhatItStillHolds) {
    std::atomic<int> destroyed{0};
    {
        SoundQueue queue;
        for (int i = 0; i < 5; ++i) queue.Push(std::make_unique<CountedSound>(1, 0, destroyed));
        queue.Pop();
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 5);
}

// A chain destroyed recursively would overflow the stack here.
TEST(SoundQueue, ClearsAVeryLongQueueWithoutRecursion) {
    SoundQueue queue;
    for (int i = 0; i < 200000; ++i) {
        queue.Push(std::make_unique<SoundItem>(std::make_unique<uint8_t[]>(2), 2));
    }
    queue.Clear();
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(queue.GetCount(), 0u);
}

}  // namespace
}  // namespace vox
