#include "reception/PollCadence.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

TEST(PollCadence, SlowAndQuietDevicesKeepTheNormalPeriod) {
    EXPECT_EQ(NextPollDelay(0, 100ms), kOpenPortPoll);
    EXPECT_EQ(NextPollDelay(100, 0ms), kOpenPortPoll);
    // 115200 and 921600 baud fill far less than half the queue in 100 ms.
    EXPECT_EQ(NextPollDelay(1152, 100ms), kOpenPortPoll);
    EXPECT_EQ(NextPollDelay(9216, 100ms), kOpenPortPoll);
    EXPECT_EQ(NextPollDelay(16384, 100ms), kOpenPortPoll);
    // A long pause followed by a trickle must neither overflow nor shorten the period.
    EXPECT_EQ(NextPollDelay(1, 24h), kOpenPortPoll);
}

TEST(PollCadence, AFastDeviceIsPolledWhenHalfTheQueueHasGathered) {
    // 300000 bytes per second: 30000 bytes in 100 ms; half the queue gathers in about 54.6 ms.
    const auto delay = NextPollDelay(30000, 100ms);
    EXPECT_GT(delay, 54ms);
    EXPECT_LT(delay, 55ms);
    // The rate stays the same at the shorter period, and so does the delay.
    using Milliseconds = std::chrono::duration<double, std::milli>;
    const double again = Milliseconds(NextPollDelay(16384, delay)).count();
    EXPECT_NEAR(again, Milliseconds(delay).count(), 0.01);
    // A full queue read after a late pass: never sooner than the shortest period.
    EXPECT_EQ(NextPollDelay(32768, 5ms), kShortestPoll);
}
