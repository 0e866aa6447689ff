#pragma once

#include "comm/comm.h"
#include "framework/core/WinTypes.h"

#include <chrono>

// How long the reception thread waits from the start of one poll pass to the next on an open port.
//
// The normal period is 100 ms. The port's input queue drops what comes beyond its size, so a device fast
// enough to fill more than half of it between two such passes would leave little room for a pass that
// comes late. The next pass then comes when the queue is expected to be half full at the rate just seen,
// but never sooner than 10 ms. The queue holds TCommPort::kInputQueueCapacity bytes (a megabyte, more than
// the port asks), so only a device faster than about 5 MB/s shortens the period: each pass costs a
// hand-over to the window and likely a redraw, whose number should not grow with the rate.
constexpr std::chrono::milliseconds kOpenPortPoll{100};
constexpr std::chrono::milliseconds kShortestPoll{10};

// `read` bytes were read after gathering for `gathered` (the time since the previous pass began).
std::chrono::steady_clock::duration NextPollDelay(DWORD read, std::chrono::steady_clock::duration gathered);
