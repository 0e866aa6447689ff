#include "framework/core/MessageBox.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace {
std::mutex presenterLock;
MessageBoxPresenter& currentPresenter() {
    static MessageBoxPresenter presenter;
    return presenter;
}
MessageBoxPoster& currentPoster() {
    static MessageBoxPoster poster;
    return poster;
}
} // namespace

void SetMessageBoxPresenter(MessageBoxPresenter presenter) {
    std::lock_guard<std::mutex> guard(presenterLock);
    currentPresenter() = std::move(presenter);
}

void SetMessageBoxPoster(MessageBoxPoster poster) {
    std::lock_guard<std::mutex> guard(presenterLock);
    currentPoster() = std::move(poster);
}

int AfxMessageBox(const CString& text, UINT type) {
    MessageBoxPresenter presenter;
    {
        std::lock_guard<std::mutex> guard(presenterLock);
        presenter = currentPresenter();
    }
    if (presenter)
        return presenter(text, type);
    std::fprintf(stderr, "%s\n", text.c_str());
    return IDOK;
}

void AfxPostMessageBox(const CString& text, UINT type) {
    MessageBoxPoster poster;
    {
        std::lock_guard<std::mutex> guard(presenterLock);
        poster = currentPoster();
    }
    if (poster)
        poster(text, type);
    else
        AfxMessageBox(text, type);
}
