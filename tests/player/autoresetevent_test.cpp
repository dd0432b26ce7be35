#include "audio/player/autoresetevent.h"

#include <gtest/gtest.h>

#include <thread>

namespace vox {
namespace {

using namespace std::chrono_literals;

TEST(AutoResetEvent, SignalBeforeWaitReleasesExactlyOneWait) {
    AutoResetEvent event;
    EXPECT_TRUE(event.Signal());
    EXPECT_TRUE(event.WaitFor(0ms));
    EXPECT_FALSE(event.WaitFor(0ms)) << "the event must reset itself";
}

TEST(AutoResetEvent, WaitForTimesOutWithoutSignal) {
    AutoResetEvent event;
    EXPECT_FALSE(event.WaitFor(20ms));
}

TEST(AutoResetEvent, WakesAWaiterOnAnotherThread) {
    AutoResetEvent event;
    AutoResetEvent answer;
    std::thread waiter([&] {
        event.Wait();
        answer.Signal();
    });
    event.Signal();
    EXPECT_TRUE(answer.WaitFor(10s));
    waiter.join();
}

}  // namespace
}  // namespace vox
