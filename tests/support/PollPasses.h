#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

// Waits until a reception thread has finished `passes` more poll passes than when called: the way to show
// that something did not happen, as a fixed sleep proves nothing on a loaded machine. False after the time
// limit (a paused thread makes no passes).
template <class Thread>
bool WaitForPollPasses(const Thread& thread, std::uint64_t passes,
                       std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const std::uint64_t wanted = thread.PollPasses() + passes;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (thread.PollPasses() < wanted) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
