#include "reception/PollCadence.h"

#include <algorithm>

std::chrono::steady_clock::duration NextPollDelay(DWORD read, std::chrono::steady_clock::duration gathered) {
    using Duration = std::chrono::steady_clock::duration;
    if (read == 0 || gathered <= Duration::zero())
        return kOpenPortPoll;
    const double halfQueue = TCommPort::kInputQueueCapacity / 2.0;
    const double halfFullTicks =
        static_cast<double>(gathered.count()) * (halfQueue / static_cast<double>(read));
    // Compared as a floating value first: a long pause before a small read must not overflow the tick count.
    if (halfFullTicks >= static_cast<double>(Duration(kOpenPortPoll).count()))
        return kOpenPortPoll;
    return std::max<Duration>(Duration(static_cast<Duration::rep>(halfFullTicks)), kShortestPoll);
}
