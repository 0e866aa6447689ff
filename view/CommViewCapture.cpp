// The terminal view's capture to a file: the File menu's command with its dialog, the automatic capture
// the preferences ask for, and what the window and the log say about a running or failed capture.

#include "view/CommView.h"

#include "app/main.h"
#include "app/resource.h"
#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/gui/docview/FrameWnd.h"
#include "log/LogFile.h"
#include "log/LogLevel.h"
#include "reception/CaptureNames.h"
#include "settings/Preference.h"
#include "view/CaptureDlg.h"

#include <cstdio>
#include <ctime>
#include <utility>

namespace {

constexpr UINT kCaptureCaptionPeriodMs = 1000;

template <typename... Args> CString Format(UINT formatId, Args... args) {
    char text[1024];
    std::snprintf(text, sizeof text, AfxLoadText(formatId).c_str(), args...);
    return text;
}

unsigned long long Count(std::uint64_t value) {
    return static_cast<unsigned long long>(value);
}

// Writes a text to the log at level one in as many records as it needs: a path is never cut.
void LogWhole(const CString& text, const char* procedure) {
    constexpr std::size_t kWidth = sizeof(LogRecord::cDescription);
    for (std::size_t from = 0; from < text.size(); from += kWidth)
        gMainApp.WriteToLog(text.substr(from, kWidth), procedure, LEVELONE);
}

CString FileName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The roll size of the preferences, for every capture of the program.
std::uint64_t RollBytes() {
    const CPreference* preferences = gMainApp.m_PrefApp;
    if (preferences == nullptr || (preferences->m_available & PREF_INI_READ) == 0)
        return 0;
    return static_cast<std::uint64_t>(preferences->m_captureSetting.rollSizeMB) * 1024 * 1024;
}

} // namespace

bool CCommView::IsCapturing() const {
    return m_commThread != nullptr && m_commThread->m_Capture.IsRunning();
}

bool CCommView::IsScreenFrozen() const {
    return m_bScreenHeld || (m_commThread != nullptr && m_commThread->m_Suspended);
}

void CCommView::OnCaptureToFile() {
    if (m_commThread == nullptr)
        return;
    if (IsCapturing()) {
        StopCapture(false);
        return;
    }
    const std::string port = m_commThread->m_CommPort.GetCommPort();
    CCaptureDlg dialog(nullptr, ProposedCaptureName(port, std::time(nullptr)));
    if (dialog.DoModal() != IDOK)
        return;
    CCaptureWriter::Options options;
    options.path = dialog.GetPath();
    options.append = dialog.IsAppend();
    options.rollBytes = RollBytes();
    if (StartCapture(std::move(options), dialog.IsRaw() ? CaptureContent::Raw : CaptureContent::Text) &&
        m_commThread->m_Suspended) {
        // A window frozen before the capture keeps its screen still, but receives again.
        m_bScreenHeld = true;
        m_commThread->Resume();
    }
}

void CCommView::StartAutoCapture() {
    const CPreference* preferences = gMainApp.m_PrefApp;
    if (preferences == nullptr || (preferences->m_available & PREF_INI_READ) == 0 ||
        !preferences->m_captureSetting.bAutoCapture || m_commThread == nullptr || IsCapturing())
        return;
    const CaptureSettingRec& setting = preferences->m_captureSetting;
    const std::string pattern = JoinCapturePath(
        setting.folder, SubstitutePortName(setting.namePattern, m_commThread->m_CommPort.GetCommPort()));
    CCaptureWriter::Options options;
    options.path = ExpandTimePattern(pattern, std::time(nullptr));
    options.append = setting.bAppend != 0;
    // Windows whose pattern gives one name share no file: the later one numbers its own.
    options.numberWhenHeld = true;
    options.rollBytes = RollBytes();
    options.nextPath = [pattern] { return ExpandTimePattern(pattern, std::time(nullptr)); };
    StartCapture(std::move(options), setting.bRaw ? CaptureContent::Raw : CaptureContent::Text);
}

bool CCommView::StartCapture(CCaptureWriter::Options options, CaptureContent content) {
    std::string reason;
    bool started = false;
    if (options.path.empty()) {
        reason = AfxLoadText(IDS_CAPTURE_NO_NAME);
    } else {
        // The writer tells the window from its own thread; the handle, never the view, travels with it.
        const HWND window = m_hWnd;
        options.onFailure = [window] { ::PostMessage(window, WM_COMM_CAPTURE_FAILED, 0, 0); };
        started = m_commThread->m_Capture.Start(options, content, reason);
    }
    if (!started) {
        // Told without a box that waits: the capture may start inside the window's creation or a command.
        m_strCaptureState = AfxLoadText(IDS_CAPTURE_CAPTION_FAILED) + reason;
        LogWhole(AfxLoadText(IDS_CAPTURE_NOT_STARTED) + reason, "StartCapture");
        AfxPostMessageBox(AfxLoadText(IDS_CAPTURE_NOT_STARTED) + reason, MB_OK | MB_ICONSTOP);
        if (CFrameWnd* frame = GetParentFrame())
            frame->OnUpdateFrameTitle(TRUE);
        return false;
    }
    CCaptureWriter::Status status;
    CaptureContent running = content;
    m_commThread->m_Capture.GetStatus(status, running);
    LogWhole(Format(IDS_LOG_CAPTURE_STARTED, content == CaptureContent::Raw ? "raw" : "text",
                    Count(status.fileBytes)) +
                 " " + status.path,
             "StartCapture");
    SetTimer(CAPTURE_TIMER_ID, kCaptureCaptionPeriodMs, &CCommView::CaptureTimerProc);
    ShowCaptureState();
    return true;
}

void CCommView::StopCapture(bool failed) {
    CCaptureWriter::Status status;
    CaptureContent content = CaptureContent::Text;
    if (m_commThread == nullptr || !m_commThread->m_Capture.GetStatus(status, content))
        return;
    // The window is done with the capture at once; the writer finishes on a thread of its own and its
    // record, made there, names nothing of the window.
    m_commThread->m_Capture.Stop(FinishedCaptureReport(failed));
    KillTimer(CAPTURE_TIMER_ID);
    if (failed) {
        LogWhole("Capture failed: " + status.reason, "StopCapture");
        m_strCaptureState = AfxLoadText(IDS_CAPTURE_CAPTION_FAILED) + status.reason;
        AfxPostMessageBox(
            Format(IDS_CAPTURE_FAILED, status.reason.c_str(), Count(status.written), Count(status.unwritten)),
            MB_OK | MB_ICONSTOP);
    } else {
        m_strCaptureState.clear();
    }
    if (CFrameWnd* frame = GetParentFrame())
        frame->OnUpdateFrameTitle(TRUE);
}

CCapture::Report CCommView::FinishedCaptureReport(bool failureTold) {
    return [failureTold](const CCaptureWriter::Status& report) {
        LogWhole(Format(IDS_LOG_CAPTURE_STOPPED, Count(report.fileBytes), Count(report.unwritten)) + " " +
                     report.path,
                 "StopCapture");
        // A disk that failed while the backlog was written out.
        if (report.failed && !failureTold)
            LogWhole("Capture failed: " + report.reason, "StopCapture");
    };
}

void CCommView::AwaitFinishingCaptures(std::chrono::milliseconds limit) {
    for (const CCaptureWriter::Status& left : CCaptureFinisher::Program().AwaitAll(limit)) {
        LogWhole(Format(IDS_LOG_CAPTURE_UNFINISHED, Count(left.unwritten + left.waiting),
                        static_cast<unsigned long long>(limit.count())) +
                     " " + left.path,
                 "ExitInstance");
    }
}

LRESULT CCommView::OnMsgCaptureFailed(WPARAM, LPARAM) {
    CCaptureWriter::Status status;
    CaptureContent content = CaptureContent::Text;
    if (m_commThread != nullptr && m_commThread->m_Capture.GetStatus(status, content) && status.failed)
        StopCapture(true);
    return 0;
}

void CCommView::ShowCaptureState() {
    CCaptureWriter::Status status;
    CaptureContent content = CaptureContent::Text;
    if (m_commThread == nullptr || !m_commThread->m_Capture.GetStatus(status, content))
        return;
    CString state = Format(IDS_CAPTURE_CAPTION, FileName(status.path).c_str(), Count(status.written));
    if (status.unwritten != 0)
        state += Format(IDS_CAPTURE_CAPTION_LOST, Count(status.unwritten));
    if (state == m_strCaptureState)
        return;
    m_strCaptureState = std::move(state);
    if (CFrameWnd* frame = GetParentFrame())
        frame->OnUpdateFrameTitle(TRUE);
}

void CCommView::CaptureTimerProc(HWND hWnd, UINT, UINT_PTR, DWORD) {
    if (auto* view = dynamic_cast<CCommView*>(CWnd::FromHandle(hWnd)))
        view->ShowCaptureState();
}
