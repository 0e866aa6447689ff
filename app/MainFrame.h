#pragma once

#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/docview/StatusBar.h"
#include "framework/gui/docview/ToolBar.h"

#include <memory>

class CCmdUI;
class CCommView;
class CFrameMenuBar;

// Opens a new terminal window when posted to the main frame, by any sender.
constexpr UINT WM_MSG_OPEN_DEFAULT_DOC = WM_USER + 3;
// The clock timer of the main frame.
constexpr UINT_PTR CLOCK_TIMER_ID = 2;

// The main window: terminal windows inside, the tool bar on top, the status bar below with the active
// window's connection state and serial parameters and a clock. Every pane and button follows the active
// window through the idle command-UI updates.
class CMainFrame : public CMDIFrameWnd {
public:
    CMainFrame();
    ~CMainFrame() override;

    int OnCreate(LPCREATESTRUCT lpCreateStruct) override;
    // Stops the clock, then closes as every main frame does (asking about unsaved documents).
    void OnClose() override;
    void SetMessageText(const char* lpszText) override;

    LRESULT OnOpenDefaultDoc(WPARAM wParam, LPARAM lParam);
    void OnViewStatusBar();
    void OnUpdateFreezeScreen(CCmdUI* pCmdUI);
    void OnUpdateClearScreen(CCmdUI* pCmdUI);
    // Checked while the active window captures to a file.
    void OnUpdateCapture(CCmdUI* pCmdUI);
    void OnUpdateViewStatusBar(CCmdUI* pCmdUI);
    void OnUpdateCommPort(CCmdUI* pCmdUI);
    void OnUpdateBaudRate(CCmdUI* pCmdUI);
    void OnUpdateByteSize(CCmdUI* pCmdUI);
    void OnUpdateParity(CCmdUI* pCmdUI);
    void OnUpdateStopBits(CCmdUI* pCmdUI);
    void OnUpdateClock(CCmdUI* pCmdUI);

    BOOL CreateToolBar();
    BOOL CreateStatusBar();
    void SetDefaultToolsBar();
    // Sets a pane's text and makes the pane exactly as wide as the text.
    void UpdateStatusBar(UINT nIndicator, const CString& text);
    static void UpdateTime(HWND hWnd, UINT nMsg, UINT_PTR nIDEvent, DWORD dwTime);

    CToolBar m_toolBar;
    CStatusBar m_statusBar;

private:
    // The active terminal view with its reception thread, or null.
    CCommView* GetActiveCommView() const;

    std::unique_ptr<CFrameMenuBar> m_menuBar;
};
