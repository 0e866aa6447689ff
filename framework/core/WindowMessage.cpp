#include "framework/core/WindowMessage.h"

#include <mutex>
#include <utility>

namespace {
std::mutex posterLock;
MessagePoster& currentPoster() {
    static MessagePoster poster;
    return poster;
}
} // namespace

void SetMessagePoster(MessagePoster poster) {
    std::lock_guard<std::mutex> guard(posterLock);
    currentPoster() = std::move(poster);
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MessagePoster poster;
    {
        std::lock_guard<std::mutex> guard(posterLock);
        poster = currentPoster();
    }
    return poster ? poster(window, message, wParam, lParam) : FALSE;
}
