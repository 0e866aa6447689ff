#pragma once

#include "framework/core/CmdTarget.h"
#include "framework/core/WinTypes.h"
#include "framework/core/WindowMessage.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QWidget;
class QTimer;
class CFrameWnd;

using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;

// Window messages the classes send, post or handle, with the desktop platform's numbers.
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MDIACTIVATE = 0x0222;

// Show states.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOW = 5;
constexpr int SW_RESTORE = 9;
constexpr int SW_SHOWDEFAULT = 10;

// What a window is created with; PreCreateWindow may change it before the window exists.
struct CREATESTRUCT {
    DWORD style = 0;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    HWND hwndParent = 0;
    CString lpszName;
};
using LPCREATESTRUCT = CREATESTRUCT*;

// A timer procedure: window handle, WM_TIMER (or the value a direct caller passes), timer id, tick count.
using TIMERPROC = void (*)(HWND hWnd, UINT nMsg, UINT_PTR nIDEvent, DWORD dwTime);

// A window of the framework over a Qt widget. It owns an opaque handle, valid from creation until the
// object is destroyed: messages posted to the handle afterwards are dropped. Everything here runs on the
// user-interface thread, except PostMessage, which any thread may call.
class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The window that owns a handle, or null when it is gone (user-interface thread only).
    static CWnd* FromHandle(HWND hWnd);
    // The window whose widget this is, or null.
    static CWnd* FromWidget(const QWidget* widget);
    // The Qt widget of the window, null before creation.
    QWidget* GetWidget() const;

    // Delivers a message at once, through WindowProc.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queues a message for the user-interface thread.
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Handles one message: the handler the class registered for it, else DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Per-window timers. A timer with a procedure calls it with the handle, WM_TIMER, its id and the tick
    // count; one without calls WindowProc(WM_TIMER, id, 0). Setting an id that runs replaces it. Periods are
    // kept between 10 ms and 0x7FFFFFFF ms, as the platform keeps them. The result is the id, or 0 when the
    // timer cannot be set (the window does not exist yet, or a test made timers fail).
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);
    BOOL HasTimer(UINT_PTR nIDEvent) const;
    // The period of a running timer in milliseconds, 0 when it does not run.
    UINT GetTimerPeriod(UINT_PTR nIDEvent) const;

    virtual void SetWindowText(const CString& text);
    virtual void GetWindowText(CString& text) const;
    virtual int GetWindowTextLength() const;

    BOOL ShowWindow(int nCmdShow);
    void UpdateWindow();
    void SetFocus();

    // The frame that holds this window (the nearest frame among its parents), or null.
    CFrameWnd* GetParentFrame() const;
    CWnd* GetParent() const { return m_pParent; }

    // Destroys the window: handle released, timers stopped, widget disposed of. Frames and views also delete
    // their C++ object here, as the framework does, so the caller must not use the pointer afterwards.
    virtual BOOL DestroyWindow();

    HWND m_hWnd = 0;

protected:
    using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
    // Registers the handler of a message for this class; a derived class's entry replaces its base's.
    void AddMessageHandler(UINT message, MessageHandler handler);

    // Makes the window real: stores the widget and the parent, and gives the window its handle. The CWnd
    // owns the widget unless the widget has a Qt parent that deletes it.
    void AttachWidget(QWidget* widget, CWnd* parent);
    // Lets go of the widget and the handle without deleting the C++ object.
    void ReleaseWindow();
    // Called by DestroyWindow after the window is gone; frames and views delete themselves here.
    virtual void PostNcDestroy() {}

    CWnd* m_pParent = nullptr;

private:
    struct Widget;
    std::unique_ptr<Widget> m_widget;
    std::map<UINT, MessageHandler> m_messages;
    std::map<UINT_PTR, std::unique_ptr<QTimer>> m_timers;
};

// The same services for code that holds only a handle.
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
BOOL KillTimer(HWND hWnd, UINT_PTR nIDEvent);
LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Milliseconds since the system started, 32 bits wide, wrapping.
DWORD GetTickCount();

// The application's main window, or null.
CWnd* AfxGetMainWnd();

// Makes SetTimer fail (tests of the paths that cope with a timer that cannot be set).
void AfxSetTimersFail(bool fail);
