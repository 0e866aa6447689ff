#include "reception/CommThread.h"

#include "app/main.h"
#include "app/resource.h"
#include "framework/core/Resource.h"
#include "framework/core/ThreadName.h"
#include "framework/net/TcpConnect.h"
#include "log/LogLevel.h"
#include "reception/PollCadence.h"
#include "reception/ThreadPriority.h"
#include "settings/Preference.h"

#include <chrono>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

constexpr auto kClosedPortPoll = std::chrono::milliseconds(500);

TermSettingRec DefaultTermSetting() {
    TermSettingRec setting;
    setting.nbMaxiByte = ClampBufferLoop(1024);
    setting.bLF = FALSE;
    setting.bCR = FALSE;
    setting.bTimestamp = FALSE;
    setting.timestampFormat.clear();
    setting.timestampInterval = 100;
    setting.bTimestampEachLine = FALSE;
    setting.bFilteredByte = FALSE;
    setting.FilteredBytesList.clear();
    setting.autoSaveDelay = 0;
    return setting;
}

} // namespace

void CCommThread::LogStep(UINT textId, const char* procedure) {
    const char* text = AfxLoadString(textId);
    gMainApp.WriteToLog(CString(text ? text : ""), CString(procedure), LEVELTHREE);
}

CCommThread::CCommThread(HWND window) : m_ticks(MonotonicTickCount) {
    const CPreference* preferences = gMainApp.m_PrefApp;
    if (preferences != nullptr && (preferences->m_available & PREF_TERM_SETTING) != 0)
        m_TermSetting = preferences->m_termSetting;
    else
        m_TermSetting = DefaultTermSetting();
    m_Hwnd = window;
    // No port bears the name "?", so the first SetParameters with an actual name always connects.
    m_CommPort.SetCommPort("?");
    m_CommPort.SetBaudRate(kStartBaudRate);
    BeginThread();
}

CCommThread::~CCommThread() {
    CloseThread();
    if (m_Thread && m_Thread->joinable())
        m_Thread->join();
    EndPortSession();
    SetPortLost(false);
}

BOOL CCommThread::BeginThread() {
    if (m_Thread)
        return TRUE;
    // The flag is cleared here, before the thread exists, rather than by the thread itself: a CloseThread
    // that follows can then never be undone by a late start.
    m_ThreadMutex.Start();
    m_pollLoop.Starting();
    try {
        m_Thread = std::make_unique<std::thread>(CommThreadProc, this);
    } catch (const std::system_error&) {
        m_pollLoop.Stopped();
        LogStep(IDS_LOG_BEGIN_THREAD_FAILED, "BeginThread");
        return FALSE;
    }
    LogStep(IDS_LOG_BEGIN_THREAD_OK, "BeginThread");
    return TRUE;
}

void CCommThread::CloseThread() {
    LogStep(IDS_LOG_CLOSE_THREAD, "CloseThread");
    Resume();
    m_ThreadMutex.Exit();
    m_pollLoop.WakeToEnd();
}

BOOL CCommThread::Suspend() {
    LogStep(IDS_LOG_SUSPEND_THREAD, "Suspend");
    m_pollLoop.Pause();
    m_Suspended = TRUE;
    return TRUE;
}

BOOL CCommThread::Resume() {
    LogStep(IDS_LOG_RESUME_THREAD, "Resume");
    m_pollLoop.Resume();
    m_Suspended = FALSE;
    return TRUE;
}

void CCommThread::GetData(CString& data) {
    LogStep(IDS_LOG_GET_DATA, "GetData");
    data = m_text.Copy();
}

void CCommThread::SetData(const CString& data) {
    LogStep(IDS_LOG_SET_DATA, "SetData");
    m_text.Assign(data);
}

void CCommThread::PrependData(const CString& older) {
    LogStep(IDS_LOG_SET_DATA, "SetData");
    m_text.Prepend(older, GetTermSetting().nbMaxiByte);
}

void CCommThread::ClearData() {
    LogStep(IDS_LOG_CLEAR_DATA, "ClearData");
    m_text.Clear();
    // The window shows the drops since the last clear.
    m_drops.MarkClear();
    PostMessage(m_Hwnd, WM_COMM_PORT_STATE, PORT_DROPS, 0);
}

void CCommThread::GetChanges(DataMark& mark, DataChanges& changes) {
    LogStep(IDS_LOG_GET_DATA, "GetData");
    m_text.Changes(mark, changes);
}

TermSettingRec CCommThread::GetTermSetting() const {
    std::lock_guard<std::mutex> guard(m_settingLock);
    return m_TermSetting;
}

void CCommThread::SetTermSetting(const TermSettingRec& setting) {
    std::lock_guard<std::mutex> guard(m_settingLock);
    m_TermSetting = setting;
}

void CCommThread::SetTickSource(TickSource ticks) {
    std::lock_guard<std::mutex> guard(m_settingLock);
    m_ticks = ticks ? std::move(ticks) : TickSource(MonotonicTickCount);
}

void CCommThread::FilterByteacters(std::vector<BYTE>& bytes) {
    RemoveFilteredBytes(bytes, GetTermSetting());
}

void CCommThread::InsertTimestamp(CString& chunk, const TermSettingRec& setting, const TickSource& ticks) {
    StampChunk(chunk, setting, m_lastData, ticks);
}

void CCommThread::SynchronizeData() {
    LogStep(IDS_LOG_SYNCHRONIZE_DATA, "SynchronizeData");

    // One consistent copy of the settings serves the whole pass.
    TermSettingRec setting;
    TickSource ticks;
    {
        std::lock_guard<std::mutex> guard(m_settingLock);
        setting = m_TermSetting;
        ticks = m_ticks;
    }

    m_Capture.Feed(
        CaptureContent::Raw,
        std::string_view(reinterpret_cast<const char*>(m_ReceivedChars.data()), m_ReceivedChars.size()));
    RemoveFilteredBytes(m_ReceivedChars, setting);
    CString chunk;
    if (StampsEveryLine(setting)) {
        chunk = TranslateAndStampLines(m_ReceivedChars, setting, m_linePosition,
                                       std::chrono::system_clock::now());
    } else {
        chunk = TranslateLineEnds(m_ReceivedChars, setting);
        InsertTimestamp(chunk, setting, ticks);
        // Followed in either mode, so that stamps switched on mid-line wait for the next line.
        m_linePosition.Follow(m_ReceivedChars);
    }
    m_Capture.Feed(CaptureContent::Text, chunk);

    m_text.Append(chunk, setting.nbMaxiByte);

    // The view takes the text in its handler of this message; the thread never touches the window, so it
    // never waits for the user-interface thread while it holds the buffer lock.
    PostMessage(m_Hwnd, WM_COMM_DATA_READY, 0, 0);
}

DWORD CCommThread::PollPort() {
    CheckDrops();
    try {
        const DWORD waiting = m_CommPort.BytesAvailable();
        if (waiting == 0)
            return 0;
        m_ReceivedChars.resize(waiting);
        const LONG read = m_CommPort.ReadBytes(m_ReceivedChars.data(), waiting);
        m_ReceivedChars.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
    } catch (const ECommError& error) {
        m_ReceivedChars.clear();
        ReportLostPort(error);
        return 0;
    }
    const auto read = static_cast<DWORD>(m_ReceivedChars.size());
    if (read == 0)
        return 0;
    m_bytesReceived.fetch_add(read);
    SynchronizeData();
    return read;
}

UINT CommThreadProc(void* param) {
    auto* self = static_cast<CCommThread*>(param);
    NameCurrentThread("reception");
    RaiseCurrentThreadPriority();
    // A connection to a remote port under way is given up when the window pauses or ends reception, so
    // neither waits for its time limit.
    SetConnectAbandonCheck([self] { return self->m_pollLoop.PauseOrEndAsked(); });
    auto previousPass = std::chrono::steady_clock::now();
    while (self->m_pollLoop.WaitWhilePaused()) {
        // The period runs from the start of a pass, so shaping a large read does not slow the polling.
        const auto passStart = std::chrono::steady_clock::now();
        if (!self->m_CommPort.IsOpen()) {
            self->OpenPendingPort();
            self->RetryLostPort();
            if (!self->m_CommPort.IsOpen()) {
                ++self->m_pollPasses;
                self->m_pollLoop.SleepUntil(passStart + kClosedPortPoll);
                continue;
            }
        }
        const DWORD read = self->PollPort();
        ++self->m_pollPasses;
        const auto gathered = passStart - previousPass;
        previousPass = passStart;
        self->m_pollLoop.SleepUntil(passStart + NextPollDelay(read, gathered));
    }
    self->m_pollLoop.Stopped();
    return 0;
}
