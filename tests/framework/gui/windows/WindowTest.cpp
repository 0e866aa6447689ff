// Window handles, posted messages, timers and message boxes across threads.
#include "framework/core/MessageBox.h"
#include "framework/gui/app/GuiServices.h"
#include "framework/gui/windows/TestHook.h"
#include "framework/gui/windows/Wnd.h"
#include "support/DialogTestSupport.h"

#include <gtest/gtest.h>

#include <QThread>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

class RecordingWindow : public CWnd {
public:
    RecordingWindow() {
        AttachWidget(new QWidget, nullptr);
        AddMessageHandler(WM_USER + 7, [this](WPARAM wParam, LPARAM) {
            received.push_back(wParam);
            onUiThread = onUiThread && AfxIsUiThread();
            return LRESULT{0};
        });
    }
    std::vector<WPARAM> received;
    bool onUiThread = true;
};

int ticks = 0;
HWND tickedWindow = 0;
void CountTick(HWND hWnd, UINT nMsg, UINT_PTR nIDEvent, DWORD) {
    if (nMsg == WM_TIMER && nIDEvent == 4)
        ++ticks;
    tickedWindow = hWnd;
}

bool PumpUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
        AfxPumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

} // namespace

TEST(Window, MessagesPostedFromAnotherThreadArriveInOrderOnTheUserInterfaceThread) {
    EnsureDialogTestApplication();
    RecordingWindow window;
    const HWND handle = window.m_hWnd;
    std::thread sender([handle] {
        for (WPARAM i = 0; i < 100; ++i)
            ASSERT_TRUE(PostMessage(handle, WM_USER + 7, i, 0));
    });
    sender.join();
    ASSERT_TRUE(PumpUntil([&] { return window.received.size() == 100; }));
    for (WPARAM i = 0; i < 100; ++i)
        EXPECT_EQ(window.received[i], i);
    EXPECT_TRUE(window.onUiThread);
}

TEST(Window, AMessageForAWindowThatIsGoneIsDropped) {
    EnsureDialogTestApplication();
    auto* window = new RecordingWindow;
    const HWND handle = window->m_hWnd;
    ASSERT_TRUE(PostMessage(handle, WM_USER + 7, 1, 0));
    delete window; // before the queue runs
    AfxPumpMessages();
    EXPECT_EQ(CWnd::FromHandle(handle), nullptr);
    EXPECT_FALSE(PostMessage(handle, WM_USER + 7, 2, 0));
}

TEST(Window, TimerCallsItsProcedureUntilKilled) {
    EnsureDialogTestApplication();
    RecordingWindow window;
    ticks = 0;
    ASSERT_EQ(window.SetTimer(4, 10, &CountTick), 4u);
    ASSERT_TRUE(PumpUntil([] { return ticks >= 2; }));
    EXPECT_EQ(tickedWindow, window.m_hWnd);
    EXPECT_TRUE(KillTimer(window.m_hWnd, 4));
    const int stopped = ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    AfxPumpMessages();
    EXPECT_EQ(ticks, stopped);
    EXPECT_FALSE(window.KillTimer(4));
}

TEST(Window, TimerPeriodsStayWithinThePlatformLimits) {
    EnsureDialogTestApplication();
    RecordingWindow window;
    window.SetTimer(1, 0, &CountTick);
    EXPECT_EQ(window.GetTimerPeriod(1), 10u);
    window.SetTimer(1, 0xFFFFFFFFu, &CountTick);
    EXPECT_EQ(window.GetTimerPeriod(1), 0x7FFFFFFFu);
    CWnd unborn;
    EXPECT_EQ(unborn.SetTimer(1, 100, &CountTick), 0u);
}

TEST(Window, MessageBoxFromAnotherThreadIsShownLaterWithoutWaiting) {
    EnsureDialogTestApplication();
    std::atomic<bool> shownOnUiThread{false};
    std::atomic<int> shown{0};
    GuiTestHook hook;
    hook.messageBox = [&](const CString& text, UINT) {
        EXPECT_EQ(text, "from the reception thread");
        shownOnUiThread = AfxIsUiThread();
        ++shown;
        return IDCANCEL;
    };
    CScopedGuiTestHook installed(hook);
    int answer = 0;
    std::thread worker([&] { answer = AfxMessageBox("from the reception thread", MB_OKCANCEL); });
    worker.join();
    EXPECT_EQ(answer, IDOK); // not waited for
    EXPECT_EQ(shown.load(), 0);
    ASSERT_TRUE(PumpUntil([&] { return shown.load() == 1; }));
    EXPECT_TRUE(shownOnUiThread.load());
}
