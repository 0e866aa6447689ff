#pragma once

#include "framework/core/WinTypes.h"
#include "framework/core/WindowMessage.h"

// Messages the reception thread posts to its view (both through PostMessage, never sent, so the thread
// never waits for the user interface):
//
// WM_COMM_DATA_READY (1025), both parameters 0: new text is in the buffer; take it with GetData.
//
// WM_COMM_PORT_STATE (WM_USER + 4), lParam 0: the port was lost during reception (wParam PORT_LOST, for
// instance the device was unplugged) or came back (wParam PORT_BACK). While the port is lost it counts as
// closed, everything received before stays in the buffer, and the thread tries to open the same port every
// 500 ms until the device is back; then it receives again by itself.
constexpr UINT WM_COMM_DATA_READY = WM_USER + 1;
constexpr UINT WM_COMM_PORT_STATE = WM_USER + 4;
constexpr WPARAM PORT_LOST = 0;
constexpr WPARAM PORT_BACK = 1;
// wParam PORT_DROPS: the count of bytes the full input queue dropped changed (or was cleared with the
// buffer); the view shows BytesDroppedSinceClear.
constexpr WPARAM PORT_DROPS = 2;

// WM_COMM_CAPTURE_FAILED, both parameters 0: the window's capture to a file could not go on (posted by
// the capture's writer); the view stops it and tells the user why.
constexpr UINT WM_COMM_CAPTURE_FAILED = WM_USER + 16;
