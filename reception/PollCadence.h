#pragma once

#include "framework/WinTypes.h"

#include <chrono>

// How long the reception thread waits from the start of one poll pass to the next on an open port.
//
// The normal period is 100 ms. The port's input queue holds 32768 bytes and drops what comes beyond, so a
// device faster than about 160 KB/s would fill more than half of it between two such passes and leave
// little room for a pass that comes late. The next pass then comes when the queue is expected to be half
// full at the rate just seen, but never sooner than 10 ms.
constexpr std::chrono::milliseconds kOpenPortPoll{100};
constexpr std::chrono::milliseconds kShortestPoll{10};
constexpr DWORD kPortQueueBytes = 32768;

// `read` bytes were read after gathering for `gathered` (the time since the previous pass began).
std::chrono::steady_clock::duration NextPollDelay(DWORD read, std::chrono::steady_clock::duration gathered);
