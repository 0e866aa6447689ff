#pragma once

#include "framework/core/WindowMessage.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <tuple>

// Stands in for the user interface's message queue: records every posted message, from any thread, and
// lets a test wait until a count is reached. Installed for its lifetime.
class MessageRecorder {
public:
    MessageRecorder() {
        SetMessagePoster([this](HWND window, UINT message, WPARAM wParam, LPARAM) {
            {
                std::lock_guard<std::mutex> guard(m_lock);
                ++m_counts[std::make_tuple(window, message, wParam)];
            }
            m_signal.notify_all();
            return TRUE;
        });
    }
    ~MessageRecorder() { SetMessagePoster(nullptr); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    int Count(HWND window, UINT message, WPARAM wParam = 0) {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto found = m_counts.find(std::make_tuple(window, message, wParam));
        return found == m_counts.end() ? 0 : found->second;
    }

    // Waits until the count reaches at least `wanted`; FALSE after the time limit.
    bool WaitForCount(HWND window, UINT message, WPARAM wParam, int wanted, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_signal.wait_for(guard, limit, [&] {
            const auto found = m_counts.find(std::make_tuple(window, message, wParam));
            return found != m_counts.end() && found->second >= wanted;
        });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_signal;
    std::map<std::tuple<HWND, UINT, WPARAM>, int> m_counts;
};
