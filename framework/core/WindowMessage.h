#pragma once

#include "framework/core/WinTypes.h"

#include <cstdint>
#include <functional>

// Window handles are opaque ids: a message posted to a handle whose window is gone is dropped, never
// delivered to freed memory.
using HWND = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

constexpr UINT WM_USER = 0x0400;

// Delivers posted messages. The GUI half of the framework installs the poster that queues a message for
// the user-interface thread; display-free programs and tests may install their own.
using MessagePoster = std::function<BOOL(HWND, UINT, WPARAM, LPARAM)>;
void SetMessagePoster(MessagePoster poster);

// Posts a message to a window from any thread and returns at once. FALSE when no poster is installed or
// the window is unknown.
BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
