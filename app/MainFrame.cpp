#include "app/MainFrame.h"

#include "app/resource.h"
#include "comm/comm.h"
#include "comm/enumser.h"
#include "framework/core/CmdUI.h"
#include "framework/core/Resource.h"
#include "framework/core/WinApp.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/MDIChildWnd.h"
#include "framework/gui/docview/Menu.h"
#include "framework/gui/textview/EditView.h"
#include "reception/CommThread.h"
#include "view/CommView.h"

#include <QLabel>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace {

constexpr UINT kClockPeriodMs = 1000;
constexpr int kSeparatorWidth = 8;

// The panes in their order on the bar: the message pane, port, baud rate, data bits, parity, stop bits,
// clock.
constexpr UINT kIndicators[] = {ID_SEPARATOR,        ID_INDICATOR_PORT, ID_INDICATOR_BAUD, ID_INDICATOR_DATA,
                                ID_INDICATOR_PARITY, ID_INDICATOR_STOP, ID_INDICATOR_CLOCK};

struct ToolSlot {
    UINT id;
    UINT style;
    int imageOrWidth;
};
constexpr int kFreezeSlot = 3;
constexpr int kFreezeImage = 7;
constexpr int kFrozenImage = 8;
constexpr ToolSlot kToolSlots[] = {
    {ID_FILE_NEW_CONNECTION, TBBS_BUTTON, 0}, {ID_FILE_SAVE_AS, TBBS_BUTTON, 1},
    {ID_SETUP_SERIAL_PORT, TBBS_BUTTON, 2},   {ID_SETUP_FREEZE_SCREEN, TBBS_BUTTON, kFreezeImage},
    {0, TBBS_SEPARATOR, kSeparatorWidth},     {ID_EDIT_COPY, TBBS_BUTTON, 3},
    {ID_EDIT_CLEAR_SCREEN, TBBS_BUTTON, 4},   {0, TBBS_SEPARATOR, kSeparatorWidth},
    {ID_FILE_PRINT, TBBS_BUTTON, 5},          {0, TBBS_SEPARATOR, kSeparatorWidth},
    {ID_APP_ABOUT, TBBS_BUTTON, 6},
};

template <typename... Args> CString Format(const char* format, Args... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

} // namespace

CMainFrame::CMainFrame() {
    AddMessageHandler(WM_MSG_OPEN_DEFAULT_DOC,
                      [this](WPARAM wParam, LPARAM lParam) { return OnOpenDefaultDoc(wParam, lParam); });
    AddCommandHandler(ID_VIEW_STATUS_BAR, [this]() { OnViewStatusBar(); });
    AddUpdateHandler(ID_SETUP_FREEZE_SCREEN, [this](CCmdUI* ui) { OnUpdateFreezeScreen(ui); });
    AddUpdateHandler(ID_EDIT_CLEAR_SCREEN, [this](CCmdUI* ui) { OnUpdateClearScreen(ui); });
    AddUpdateHandler(ID_FILE_CAPTURE, [this](CCmdUI* ui) { OnUpdateCapture(ui); });
    AddUpdateHandler(ID_VIEW_STATUS_BAR, [this](CCmdUI* ui) { OnUpdateViewStatusBar(ui); });
    AddUpdateHandler(ID_INDICATOR_PORT, [this](CCmdUI* ui) { OnUpdateCommPort(ui); });
    AddUpdateHandler(ID_INDICATOR_BAUD, [this](CCmdUI* ui) { OnUpdateBaudRate(ui); });
    AddUpdateHandler(ID_INDICATOR_DATA, [this](CCmdUI* ui) { OnUpdateByteSize(ui); });
    AddUpdateHandler(ID_INDICATOR_PARITY, [this](CCmdUI* ui) { OnUpdateParity(ui); });
    AddUpdateHandler(ID_INDICATOR_STOP, [this](CCmdUI* ui) { OnUpdateStopBits(ui); });
    AddUpdateHandler(ID_INDICATOR_CLOCK, [this](CCmdUI* ui) { OnUpdateClock(ui); });
    // The tool bar toggle is the frame's standard one, checked while the bar shows.
    AddCommandHandler(ID_VIEW_TOOLBAR, [this]() { AfxToggleControlBar(this, ID_VIEW_TOOLBAR); });
    AddUpdateHandler(ID_VIEW_TOOLBAR, [this](CCmdUI* ui) {
        ui->SetCheck(m_toolBar.GetWidget() != nullptr && !m_toolBar.GetWidget()->isHidden() ? 1 : 0);
    });
}

CMainFrame::~CMainFrame() = default;

int CMainFrame::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CMDIFrameWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    // Room for two terminal windows side by side at the start.
    if (QWidget* widget = GetWidget())
        widget->resize(960, 640);
    if (!CreateToolBar())
        return -1;
    if (!CreateStatusBar())
        return -1;
    m_menuBar = std::make_unique<CFrameMenuBar>(this, IDR_MAINFRAME, IDR_MAINFRAME);
    if (SetTimer(CLOCK_TIMER_ID, kClockPeriodMs, &CMainFrame::UpdateTime) == 0)
        return -1;
    UpdateTime(GetSafeHwnd(), 0, CLOCK_TIMER_ID, 0);
    return 0;
}

BOOL CMainFrame::CreateToolBar() {
    if (!m_toolBar.Create(this, WS_VISIBLE | CBRS_TOP | CBRS_TOOLTIPS | CBRS_FLYBY, ID_VIEW_TOOLBAR))
        return FALSE;
    if (!m_toolBar.LoadBitmap(IDR_MAINFRAME))
        return FALSE;
    SetDefaultToolsBar();
    return TRUE;
}

void CMainFrame::SetDefaultToolsBar() {
    const int count = static_cast<int>(sizeof kToolSlots / sizeof kToolSlots[0]);
    m_toolBar.SetButtons(nullptr, count);
    for (int i = 0; i < count; ++i)
        m_toolBar.SetButtonInfo(i, kToolSlots[i].id, kToolSlots[i].style, kToolSlots[i].imageOrWidth);
    if (QWidget* widget = m_toolBar.GetWidget())
        widget->update();
    if (CWinApp* app = AfxGetApp())
        app->OnIdle(-1);
}

BOOL CMainFrame::CreateStatusBar() {
    if (!m_statusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, ID_VIEW_STATUS_BAR))
        return FALSE;
    return m_statusBar.SetIndicators(kIndicators,
                                     static_cast<int>(sizeof kIndicators / sizeof kIndicators[0]));
}

void CMainFrame::UpdateStatusBar(UINT nIndicator, const CString& text) {
    auto* bar = dynamic_cast<CStatusBar*>(CControlBar::FindBar(this, ID_VIEW_STATUS_BAR));
    if (bar == nullptr)
        return;
    const int index = bar->CommandToIndex(nIndicator);
    if (index < 0)
        return;
    // The idle pass asks every pane again ten times a second; a pane showing its text already keeps it.
    if (!text.empty() && bar->GetPaneText(index) == text)
        return;
    UINT id = 0;
    UINT style = 0;
    int width = 0;
    bar->GetPaneInfo(index, id, style, width);
    bar->SetPaneInfo(index, id, style, bar->GetTextWidth(text));
    bar->SetPaneText(index, text);
}

void CMainFrame::UpdateTime(HWND hWnd, UINT, UINT_PTR, DWORD) {
    auto* frame = dynamic_cast<CMainFrame*>(CWnd::FromHandle(hWnd));
    if (frame == nullptr || CControlBar::FindBar(frame, ID_VIEW_STATUS_BAR) == nullptr)
        return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    frame->UpdateStatusBar(ID_INDICATOR_CLOCK,
                           Format(" %d:%02.2d:%02.2d", local.tm_hour, local.tm_min, local.tm_sec));
}

void CMainFrame::OnClose() {
    KillTimer(CLOCK_TIMER_ID);
    const HWND handle = GetSafeHwnd();
    CMDIFrameWnd::OnClose();
    // When the user cancels the question about an unsaved window the frame stays, and so does its clock. A
    // frame that closed has deleted itself: only its handle, which is never reused, may be asked about.
    if (CWnd::FromHandle(handle) == nullptr)
        return;
    SetTimer(CLOCK_TIMER_ID, kClockPeriodMs, &CMainFrame::UpdateTime);
    UpdateTime(handle, 0, CLOCK_TIMER_ID, 0);
}

void CMainFrame::SetMessageText(const char* lpszText) {
    m_statusBar.SetMessageText(lpszText != nullptr ? lpszText : "");
}

LRESULT CMainFrame::OnOpenDefaultDoc(WPARAM, LPARAM) {
    if (CWinApp* app = AfxGetApp())
        app->OnFileNew();
    return 0;
}

void CMainFrame::OnViewStatusBar() {
    AfxToggleControlBar(this, ID_VIEW_STATUS_BAR);
}

CCommView* CMainFrame::GetActiveCommView() const {
    CMDIChildWnd* child = MDIGetActive();
    if (child == nullptr)
        return nullptr;
    auto* view = dynamic_cast<CCommView*>(child->GetActiveView());
    // A view whose reception thread could not be made has no port to show.
    return view != nullptr && view->m_commThread != nullptr ? view : nullptr;
}

void CMainFrame::OnUpdateFreezeScreen(CCmdUI*) {
    CMDIChildWnd* child = MDIGetActive();
    auto* view = child != nullptr ? dynamic_cast<CCommView*>(child->GetActiveView()) : nullptr;
    if (view == nullptr)
        return;
    const bool frozen = view->IsScreenFrozen();
    m_toolBar.SetButtonInfo(kFreezeSlot, ID_SETUP_FREEZE_SCREEN, TBBS_BUTTON,
                            frozen ? kFrozenImage : kFreezeImage);
}

void CMainFrame::OnUpdateClearScreen(CCmdUI* pCmdUI) {
    CMDIChildWnd* child = MDIGetActive();
    auto* view = child != nullptr ? dynamic_cast<CCommView*>(child->GetActiveView()) : nullptr;
    if (view != nullptr)
        pCmdUI->Enable(view->GetWindowTextLength() > 0);
}

void CMainFrame::OnUpdateCapture(CCmdUI* pCmdUI) {
    CCommView* view = GetActiveCommView();
    pCmdUI->Enable(view != nullptr);
    pCmdUI->SetCheck(view != nullptr && view->IsCapturing() ? 1 : 0);
}

void CMainFrame::OnUpdateViewStatusBar(CCmdUI* pCmdUI) {
    pCmdUI->SetCheck(m_statusBar.GetWidget() != nullptr && !m_statusBar.GetWidget()->isHidden() ? 1 : 0);
}

void CMainFrame::OnUpdateCommPort(CCmdUI* pCmdUI) {
    pCmdUI->Enable();
    CString text;
    CString tip;
    if (CCommView* view = GetActiveCommView()) {
        TCommPort& port = view->m_commThread->m_CommPort;
        text = Format("Port: %s", port.GetCommPort().c_str());
        tip = port.GetCommPort() + ": " + RecentPortDescription(port.GetCommPort());
        CString state = AfxLoadText(port.IsOpen() ? IDS_CONNECTED : IDS_DECONNECTED);
        // The bytes the window lost to a full input queue since it opened stay where the user looks.
        if (const std::uint64_t dropped = view->m_commThread->BytesDropped())
            state += Format(" (%llu bytes lost)", static_cast<unsigned long long>(dropped));
        SetMessageText(state.c_str());
    } else {
        SetMessageText(AfxLoadText(AFX_IDS_IDLEMESSAGE).c_str());
    }
    UpdateStatusBar(ID_INDICATOR_PORT, text);
    // The pane's tool tip tells what the port is: its device node and, for an adapter, vendor and product.
    if (QLabel* pane = m_statusBar.GetPaneLabel(m_statusBar.CommandToIndex(ID_INDICATOR_PORT))) {
        const QString shown = QString::fromLocal8Bit(tip.c_str());
        if (pane->toolTip() != shown)
            pane->setToolTip(shown);
    }
}

void CMainFrame::OnUpdateBaudRate(CCmdUI* pCmdUI) {
    pCmdUI->Enable();
    CCommView* view = GetActiveCommView();
    UpdateStatusBar(ID_INDICATOR_BAUD,
                    view != nullptr
                        ? Format("%d baud", static_cast<int>(view->m_commThread->m_CommPort.GetBaudRate()))
                        : CString());
}

void CMainFrame::OnUpdateByteSize(CCmdUI* pCmdUI) {
    pCmdUI->Enable();
    CCommView* view = GetActiveCommView();
    UpdateStatusBar(ID_INDICATOR_DATA,
                    view != nullptr
                        ? Format("%d bit", static_cast<int>(view->m_commThread->m_CommPort.GetByteSize()))
                        : CString());
}

void CMainFrame::OnUpdateParity(CCmdUI* pCmdUI) {
    pCmdUI->Enable();
    CString text;
    if (CCommView* view = GetActiveCommView()) {
        const BYTE parity = view->m_commThread->m_CommPort.GetParity();
        if (parity <= 2)
            text = AfxLoadText(IDS_PARITY_NONE + parity);
    }
    UpdateStatusBar(ID_INDICATOR_PARITY, text);
}

void CMainFrame::OnUpdateStopBits(CCmdUI* pCmdUI) {
    pCmdUI->Enable();
    CString text;
    if (CCommView* view = GetActiveCommView()) {
        const BYTE stopBits = view->m_commThread->m_CommPort.GetStopBits();
        text = "Stop: " + (stopBits <= 2 ? AfxLoadText(IDS_STOPBITS_ONE + stopBits) : CString());
    }
    UpdateStatusBar(ID_INDICATOR_STOP, text);
}

void CMainFrame::OnUpdateClock(CCmdUI* pCmdUI) {
    pCmdUI->Enable();
}
