#include "view/CommView.h"

#include "app/main.h"
#include "app/resource.h"
#include "comm/comm.h"
#include "framework/core/CmdUI.h"
#include "framework/core/LogFont.h"
#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/core/StockFont.h"
#include "framework/gui/dialogs/FontDialog.h"
#include "framework/gui/docview/Archive.h"
#include "framework/gui/docview/FrameWnd.h"
#include "framework/gui/drawing/Font.h"
#include "framework/gui/textview/HexView.h"
#include "settings/Preference.h"
#include "settings/tools.h"
#include "view/MainDoc.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace {

// Posted by the view to itself: save now, whatever the document's state (see CreateAutoSaveTimer).
constexpr UINT WM_MSG_SAVE_NOW = WM_USER + 5;
// The message value that makes AutoSaveTimerProc save an unchanged document too.
constexpr UINT kSaveAlways = 1;
// The platform keeps timer periods at most this long.
constexpr std::uint64_t kLongestTimerPeriod = 0x7FFFFFFF;

void Log(UINT id, const char* procedure, LogLevel level) {
    gMainApp.WriteToLog(AfxLoadText(id), procedure, level);
}

// Applies one preference value to the port at window creation. A port that refuses it keeps its previous
// value; the user is told as the serial settings command tells, and the window opens all the same.
template <class Apply>
void ApplyPreferenceValue(Apply apply, ECommError::ErrorType expected, UINT messageId) {
    try {
        apply();
    } catch (const ECommError& error) {
        AfxPostMessageBox(AfxLoadText(error.m_ErrorType == expected ? messageId : IDS_ERROR_SETTING), MB_OK);
    }
}

} // namespace

CCommView::CCommView() {
    AddCommandHandler(ID_SETUP_FREEZE_SCREEN, [this]() { OnStopReception(); });
    AddCommandHandler(ID_SETUP_TERMINAL, [this]() { OnSetTermSetting(); });
    AddCommandHandler(ID_SETUP_SERIAL_PORT, [this]() { OnSetCommSetting(); });
    AddCommandHandler(ID_FORMAT_FONT, [this]() { OnSetViewFont(); });
    AddCommandHandler(ID_EDIT_CLEAR_SCREEN, [this]() { OnClearScreen(); });
    AddCommandHandler(ID_FILE_PAGE_SETUP, [this]() { OnFilePageSetup(); });
    AddCommandHandler(ID_VIEW_HEX, [this]() { OnViewHex(); });
    AddUpdateHandler(ID_VIEW_HEX, [this](CCmdUI* ui) { ui->SetCheck(IsHexView() ? 1 : 0); });
    AddCommandHandler(ID_FILE_CAPTURE, [this]() { OnCaptureToFile(); });
    AddCommandHandler(ID_FILE_PRINT, [this]() { OnFilePrint(); });
    AddCommandHandler(ID_FILE_PRINT_DIRECT, [this]() { OnFilePrintDirect(); });
    AddCommandHandler(ID_FILE_PRINT_PREVIEW, [this]() { OnFilePrintPreview(); });
    AddReadingCommands();
    AddMessageHandler(WM_COMM_DATA_READY, [this](WPARAM w, LPARAM l) { return OnMsgUpdateData(w, l); });
    AddMessageHandler(WM_MSG_CHANGE_DOC_TITLE,
                      [this](WPARAM w, LPARAM l) { return OnMsgChangeDocTitle(w, l); });
    AddMessageHandler(WM_COMM_PORT_STATE, [this](WPARAM w, LPARAM l) { return OnMsgPortState(w, l); });
    AddMessageHandler(WM_COMM_CAPTURE_FAILED,
                      [this](WPARAM w, LPARAM l) { return OnMsgCaptureFailed(w, l); });
    AddMessageHandler(WM_MSG_SAVE_NOW, [this](WPARAM, LPARAM) {
        AutoSaveTimerProc(m_hWnd, kSaveAlways, AUTOSAVE_TIMER_ID, GetTickCount());
        return LRESULT{0};
    });
}

CCommView::~CCommView() {
    if (m_commThread != nullptr) {
        // The capture finishes without the window; its record in the log says what the file holds.
        m_commThread->m_Capture.Stop(FinishedCaptureReport(false));
        if (gMainApp.m_PrefApp != nullptr)
            gMainApp.m_PrefApp->ReleaseTCommPort(&m_commThread->m_CommPort);
        delete m_commThread;
        m_commThread = nullptr;
    }
}

BOOL CCommView::PreCreateWindow(CREATESTRUCT& cs) {
    return CEditView::PreCreateWindow(cs);
}

int CCommView::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    m_commThread = new CCommThread(m_hWnd);
    // The automatic capture starts as the port opens, so that it holds the first byte read.
    m_commThread->SetConnectedHandler([this] { StartAutoCapture(); });

    CPreference* preferences = gMainApp.m_PrefApp;
    if (preferences != nullptr && (preferences->m_available & PREF_COMM_SETTING) != 0 &&
        preferences->m_used == 0) {
        preferences->m_used = 1;
        const CommSettingRec& setting = preferences->m_commSetting;
        m_commThread->SetParameters(kStartBaudRate, setting.port);
        TCommPort& port = m_commThread->m_CommPort;
        ApplyPreferenceValue([&]() { port.SetBaudRate(setting.baud); }, ECommError::ErrBaudRate,
                             IDS_ERROR_SET_BAUD_RATE);
        ApplyPreferenceValue([&]() { port.SetByteSize(setting.byteSize); }, ECommError::ErrByteSize,
                             IDS_ERROR_SET_BYTE_SIZE);
        ApplyPreferenceValue([&]() { port.SetParity(setting.parity); }, ECommError::ErrParity,
                             IDS_ERROR_SET_PARITY);
        ApplyPreferenceValue([&]() { port.SetStopBits(setting.stopBit); }, ECommError::ErrStopBits,
                             IDS_ERROR_SET_STOP_BITS);
    } else if (!OnSetCommSetting()) {
        return -1;
    }

    if (CEditView::OnCreate(lpCreateStruct) == -1)
        return -1;
    CreateAutoSaveTimer();
    SetReadOnly(TRUE);
    ApplyPreferredReading();
    SetInitialFont();
    if (preferences != nullptr && preferences->m_bHexView)
        SetHexView(TRUE);
    return 0;
}

void CCommView::SetInitialFont() {
    LOGFONTA logFont{};
    CPreference* preferences = gMainApp.m_PrefApp;
    if (preferences != nullptr && (preferences->m_available & PREF_FONT) != 0) {
        // The preferences give the size in tenths of a point; the screen font built from it says it in
        // pixels.
        preferences->GetPrefFont(logFont);
        CFont pointFont;
        pointFont.CreatePointFontIndirect(&logFont);
        pointFont.GetLogFont(&logFont);
        pointFont.DeleteObject();
    } else {
        GetSystemLogFont(SYSTEM_FIXED_FONT, &logFont);
    }
    auto font = std::make_unique<CFont>();
    font->CreateFontIndirect(&logFont);
    PostMessage(WM_SETFONT, font->GetSafeHandle(), FALSE);
    // The view keeps the font for as long as the control may use it.
    m_font = std::move(font);
}

void CCommView::OnClose() {
    KillTimer(AUTOSAVE_TIMER_ID);
    CEditView::OnClose();
}

LRESULT CCommView::OnMsgUpdateData(WPARAM, LPARAM) {
    // A screen held while capturing takes everything since its mark when it is released.
    if (m_bScreenHeld)
        return 0;
    // A nested update would take the changes past a mark whose own changes are not applied yet, and the
    // outer one would then apply those on top: it waits for the running update instead.
    if (m_bUpdating) {
        m_bUpdateDeferred = true;
        return 0;
    }
    m_bUpdating = true;
    try {
        ApplyThreadChanges();
    } catch (...) {
        m_bUpdating = false;
        throw;
    }
    m_bUpdating = false;
    if (std::exchange(m_bUpdateDeferred, false))
        PostMessage(WM_COMM_DATA_READY, 0, 0);
    return 0;
}

void CCommView::ApplyThreadChanges() {
    auto* document = dynamic_cast<CMainDoc*>(GetDocument());
    if (m_commThread != nullptr) {
        // Only what changed comes over (bytes cut at the front, bytes added at the end), and the view and
        // the document apply the same change to their copies.
        CCommThread::DataChanges changes;
        m_commThread->GetChanges(m_dataMark, changes);
        if (changes.replaced) {
            CEditView::SetWindowText(changes.added);
            // The dump counts the bytes the buffer loop cut before the view took the text.
            GetHexCtrl()->SetFirstOffset(static_cast<std::size_t>(m_dataMark.start));
            if (document != nullptr)
                document->m_strData.Assign(changes.added);
        } else {
            UpdateText(changes.cut, changes.added);
            if (document != nullptr)
                document->m_strData.DropFrontAndAppend(changes.cut, changes.added);
        }
    } else {
        CEditView::SetWindowText(document != nullptr ? document->m_strData.Copy() : CString());
    }
    if (document != nullptr)
        document->SetModifiedFlag(TRUE);
    // The caret goes to the end and the view follows it, unless the user scrolled up to read: then the
    // view holds still until the user scrolls back to the end.
    if (IsFollowingEnd()) {
        const int length = GetWindowTextLength();
        SetSel(length, length, TRUE);
        ScrollCaret();
    }
}

void CCommView::SetWindowText(const CString& text) {
    m_dataMark = CCommThread::DataMark{};
    CEditView::SetWindowText(text);
}

LRESULT CCommView::OnMsgChangeDocTitle(WPARAM wParam, LPARAM) {
    // The sender hands the title over with the message.
    std::unique_ptr<CString> title(reinterpret_cast<CString*>(wParam));
    if (CDocument* document = GetDocument(); document != nullptr && title)
        document->SetTitle(title->c_str());
    return 0;
}

LRESULT CCommView::OnMsgPortState(WPARAM wParam, LPARAM) {
    // A lost port is said in the caption, without a box that would wait for the user; the text stays. So
    // are the bytes the full input queue dropped, until the screen is cleared.
    if (wParam == PORT_LOST || wParam == PORT_BACK)
        m_bPortLost = wParam == PORT_LOST;
    m_strPortState = m_bPortLost ? AfxLoadText(IDS_PORT_LOST) : CString();
    if (const std::uint64_t dropped = m_commThread != nullptr ? m_commThread->BytesDroppedSinceClear() : 0) {
        char lost[64];
        std::snprintf(lost, sizeof lost, AfxLoadText(IDS_BYTES_LOST).c_str(),
                      static_cast<unsigned long long>(dropped));
        m_strPortState += (m_strPortState.empty() ? "" : " - ") + CString(lost);
    }
    if (CFrameWnd* frame = GetParentFrame())
        frame->OnUpdateFrameTitle(TRUE);
    return 0;
}

CString CCommView::GetPortStateText() const {
    if (m_strPortState.empty() || m_strCaptureState.empty())
        return m_strPortState + m_strCaptureState;
    return m_strPortState + " - " + m_strCaptureState;
}

void CCommView::OnStopReception() {
    if (m_commThread != nullptr) {
        if (!IsScreenFrozen()) {
            // A capture must not lose what the device sends while the user reads: only the screen stops.
            if (IsCapturing())
                m_bScreenHeld = true;
            else
                m_commThread->Suspend();
            Log(IDS_LOG_SCREEN_FROZEN, "OnStopReception", LEVELTWO);
        } else {
            if (std::exchange(m_bScreenHeld, false))
                PostMessage(WM_COMM_DATA_READY, 0, 0);
            if (m_commThread->m_Suspended)
                m_commThread->Resume();
            Log(IDS_LOG_SCREEN_UNFROZEN, "OnStopReception", LEVELTWO);
        }
    }
    RefreshOptionMenu();
}

void CCommView::OnClearScreen() {
    if (AfxMessageBox(AfxLoadText(IDS_ASK_CLEAR_SCREEN), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    Log(IDS_LOG_SCREEN_CLEARED, "OnClearScreen", LEVELTWO);
    if (m_commThread != nullptr)
        m_commThread->ClearData();
    PostMessage(WM_COMM_DATA_READY, 0, 0);
}

void CCommView::OnSetViewFont() {
    LOGFONTA logFont{};
    CFont* current = CFont::FromHandle(static_cast<HFONT>(SendMessage(WM_GETFONT)));
    if (current != nullptr)
        current->GetLogFont(&logFont);
    else
        GetSystemLogFont(SYSTEM_FIXED_FONT, &logFont);
    CFontDialog dialog(&logFont, CF_EFFECTS | CF_SCREENFONTS | CF_LIMITSIZE, nullptr, nullptr);
    dialog.m_nSizeMax = kLargestFontSize / 10;
    if (dialog.DoModal() != IDOK)
        return;
    SetViewFont(dialog.m_lf);
    Log(IDS_LOG_FONT_CHANGED, "OnSetViewFont", LEVELONE);
}

void CCommView::OnViewHex() {
    SetHexView(!IsHexView());
}

void CCommView::SetViewFont(const LOGFONTA& logFont) {
    auto font = std::make_unique<CFont>();
    font->CreateFontIndirect(&logFont);
    SendMessage(WM_SETFONT, font->GetSafeHandle(), FALSE);
    // The previous font goes only now that the control no longer uses it.
    m_font = std::move(font);
}

BOOL CCommView::CreateAutoSaveTimer() {
    if (m_commThread == nullptr)
        return FALSE;
    const DWORD delay = m_commThread->GetTermSetting().autoSaveDelay;
    if (delay == 0)
        return TRUE;
    // Seconds to milliseconds in 64 bits: a long delay must not wrap into a short period.
    const std::uint64_t period =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(delay) * 1000, kLongestTimerPeriod);
    if (SetTimer(AUTOSAVE_TIMER_ID, static_cast<UINT>(period), &CCommView::AutoSaveTimerProc) == 0)
        return FALSE;
    Log(IDS_LOG_AUTOSAVE_STARTED, "CreateAutoSaveTimer", LEVELONE);
    CPreference* preferences = gMainApp.m_PrefApp;
    if (preferences == nullptr || (preferences->m_available & PREF_AUTOSAVE) == 0) {
        // The immediate save runs once the window is complete: during creation the document has neither
        // its title nor (when a file is being opened) its path yet, so the question would propose a wrong
        // name and the file would then be replaced by the one being opened.
        PostMessage(WM_MSG_SAVE_NOW, 0, 0);
    }
    return TRUE;
}

void CCommView::AutoSaveTimerProc(HWND hWnd, UINT nMsg, UINT_PTR, DWORD) {
    auto* view = dynamic_cast<CCommView*>(CWnd::FromHandle(hWnd));
    if (view == nullptr)
        return;
    CDocument* document = view->GetDocument();
    if (document == nullptr)
        return;
    // A tick that comes while an earlier save still asks for a file name waits for the next period rather
    // than stacking a second question on the first.
    if (view->m_bSaving)
        return;
    if (document->IsModified() || nMsg == kSaveAlways) {
        view->m_bSaving = true;
        const CString path = document->GetPathName();
        document->DoSave(path.c_str(), TRUE);
        // The save may have closed nothing, but the view must still exist to be told.
        if (auto* still = dynamic_cast<CCommView*>(CWnd::FromHandle(hWnd)))
            still->m_bSaving = false;
    }
    Log(IDS_LOG_AUTOSAVE_DONE, "AutoSaveTimerProc", LEVELTHREE);
}

void CCommView::RefreshOptionMenu() {
    CWnd* mainWindow = AfxGetMainWnd();
    auto* window = mainWindow != nullptr ? qobject_cast<QMainWindow*>(mainWindow->GetWidget()) : nullptr;
    auto* menuBar = window != nullptr ? qobject_cast<QMenuBar*>(window->menuWidget()) : nullptr;
    if (menuBar == nullptr)
        return;
    // Menu items carry their command id as the action's data. The freeze item is the first item of its
    // pop-up, searched from the last pop-up to the first.
    const QList<QAction*> popups = menuBar->actions();
    for (auto it = popups.crbegin(); it != popups.crend(); ++it) {
        QMenu* popup = (*it)->menu();
        if (popup == nullptr || popup->actions().isEmpty())
            continue;
        QAction* first = popup->actions().front();
        if (first->data().toUInt() != ID_SETUP_FREEZE_SCREEN)
            continue;
        first->setCheckable(true);
        first->setChecked(IsScreenFrozen());
        return;
    }
}

bool CCommView::LoadGoesToThread() const {
    if (m_commThread == nullptr)
        return false;
    const CPreference* preferences = gMainApp.m_PrefApp;
    return preferences != nullptr && (preferences->m_available & PREF_TERM_SETTING) != 0;
}

UINT CCommView::LargestLoadableText() const {
    const UINT control = CEditView::LargestLoadableText();
    if (!LoadGoesToThread())
        return control;
    // A loop of 0 keeps everything.
    const std::uint64_t loop = static_cast<std::uint64_t>(m_commThread->GetTermSetting().nbMaxiByte) * 1024u;
    return loop == 0 ? control : static_cast<UINT>(std::min<std::uint64_t>(loop, control));
}

void CCommView::SerializeRaw(CArchive& ar) {
    CEditView::SerializeRaw(ar);
    if (!ar.IsLoading() || !LoadGoesToThread())
        return;
    // The loaded text goes before what the thread received while the file was read (the port is already
    // open), so the window shows one text in arrival order and what arrives next is added after it.
    CString text;
    GetWindowText(text);
    m_commThread->PrependData(text);
    PostMessage(WM_COMM_DATA_READY, 0, 0);
}
