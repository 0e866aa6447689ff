#include "reception/PollCadence.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

TEST(PollCadence, SlowAndQuietDevicesKeepTheNormalPeriod) {
    EXPECT_EQ(NextPollDelay(0, 100ms), kOpenPortPoll);
    EXPECT_EQ(NextPollDelay(100, 0ms), kOpenPortPoll);
    // 115200 and 921600 baud, and devices up to a few megabytes per second, fill far less than half the
    // queue in 100 ms: each pass hands over more, not more often.
    EXPECT_EQ(NextPollDelay(1152, 100ms), kOpenPortPoll);
    EXPECT_EQ(NextPollDelay(9216, 100ms), kOpenPortPoll);
    EXPECT_EQ(NextPollDelay(30000, 100ms), kOpenPortPoll);
    EXPECT_EQ(NextPollDelay(300000, 100ms), kOpenPortPoll);
    // A long pause followed by a trickle must neither overflow nor shorten the period.
    EXPECT_EQ(NextPollDelay(1, 24h), kOpenPortPoll);
}

TEST(PollCadence, AFastDeviceIsPolledWhenHalfTheQueueHasGathered) {
    // 8 MB per second: 800000 bytes in 100 ms; half the queue gathers in about 65.5 ms.
    const auto delay = NextPollDelay(800000, 100ms);
    EXPECT_GT(delay, 65ms);
    EXPECT_LT(delay, 66ms);
    // The rate stays the same at the shorter period, and so does the delay.
    using Milliseconds = std::chrono::duration<double, std::milli>;
    const double again =
        Milliseconds(NextPollDelay(static_cast<DWORD>(800000 * Milliseconds(delay).count() / 100), delay))
            .count();
    EXPECT_NEAR(again, Milliseconds(delay).count(), 0.01);
    // A full queue read after a late pass: never sooner than the shortest period.
    EXPECT_EQ(NextPollDelay(TCommPort::kInputQueueCapacity, 5ms), kShortestPoll);
}
