#include "reception/CommThread.h"

#include "app/main.h"
#include "comm/enumser.h"
#include "framework/serial/DeviceAccess.h"
#include "framework/core/MessageBox.h"
#include "framework/serial/PortTable.h"
#include "framework/core/Resource.h"
#include "log/LogLevel.h"
#include "reception/PollCadence.h"
#include "reception/ThreadPriority.h"
#include "settings/Preference.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <system_error>
#include <utility>

namespace {

constexpr auto kClosedPortPoll = std::chrono::milliseconds(500);

// Every record of the reception thread is an internal step.
void LogStep(UINT textId, const char* procedure) {
    const char* text = AfxLoadString(textId);
    gMainApp.WriteToLog(CString(text ? text : ""), CString(procedure), LEVELTHREE);
}

// Holds the buffer lock for a scope, so that a copy that throws (out of memory) never leaves it locked.
class BufferLock {
public:
    explicit BufferLock(CThreadMutex& mutex) : m_mutex(mutex) { m_mutex.Lock(); }
    ~BufferLock() { m_mutex.Unlock(); }
    BufferLock(const BufferLock&) = delete;
    BufferLock& operator=(const BufferLock&) = delete;

private:
    CThreadMutex& m_mutex;
};

std::mutex& SharedCommThreadMutex() {
    static std::mutex commThread;
    return commThread;
}

TermSettingRec DefaultTermSetting() {
    TermSettingRec setting;
    setting.nbMaxiByte = ClampBufferLoop(1024);
    setting.bLF = FALSE;
    setting.bCR = FALSE;
    setting.bTimestamp = FALSE;
    setting.timestampFormat.clear();
    setting.timestampInterval = 100;
    setting.bFilteredByte = FALSE;
    setting.FilteredBytesList.clear();
    setting.autoSaveDelay = 0;
    return setting;
}

} // namespace

CThreadMutex::CThreadMutex() : m_shared(SharedCommThreadMutex()) {}

CThreadMutex::~CThreadMutex() = default;

BOOL CThreadMutex::Lock() {
    m_shared.lock();
    return TRUE;
}

BOOL CThreadMutex::Unlock() {
    m_shared.unlock();
    return TRUE;
}

void CThreadMutex::Start() {
    Lock();
    m_threadTerminated.store(FALSE);
    Unlock();
}

void CThreadMutex::Exit() {
    Lock();
    m_threadTerminated.store(TRUE);
    Unlock();
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
    m_CommPort.SetBaudRate(9600);
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
    {
        std::lock_guard<std::mutex> guard(m_controlLock);
        m_running = true;
    }
    try {
        m_Thread = std::make_unique<std::thread>(CommThreadProc, this);
    } catch (const std::system_error&) {
        {
            std::lock_guard<std::mutex> guard(m_controlLock);
            m_running = false;
        }
        LogStep(2514, "BeginThread");
        return FALSE;
    }
    LogStep(2513, "BeginThread");
    return TRUE;
}

void CCommThread::CloseThread() {
    LogStep(2515, "CloseThread");
    Resume();
    m_ThreadMutex.Exit();
    // Taking the control lock once orders the flag before the wake-up, so a thread about to sleep cannot
    // miss it.
    { std::lock_guard<std::mutex> guard(m_controlLock); }
    m_controlSignal.notify_all();
}

BOOL CCommThread::Suspend() {
    LogStep(2517, "Suspend");
    {
        std::unique_lock<std::mutex> guard(m_controlLock);
        m_pauseRequested = true;
        m_controlSignal.notify_all();
        m_controlSignal.wait(guard, [this] { return m_parked || !m_running; });
    }
    m_Suspended = TRUE;
    return TRUE;
}

BOOL CCommThread::Resume() {
    LogStep(2516, "Resume");
    {
        std::lock_guard<std::mutex> guard(m_controlLock);
        m_pauseRequested = false;
    }
    m_controlSignal.notify_all();
    m_Suspended = FALSE;
    return TRUE;
}

// A port the user may not open is no port in use: the user learns which device refused, its group, and
// the command that lets them in. The log keeps the same in two records of its fixed width.
void CCommThread::ReportAccessProblem(const DeviceAccessProblem& denied) {
    gMainApp.WriteToLog("Permission denied: " + denied.node + ", group " + denied.group, "Connect", LEVELONE);
    if (!denied.fix.empty())
        gMainApp.WriteToLog("Fix: " + denied.fix + ", then log in again", "Connect", LEVELONE);
    AfxPostMessageBox(denied.message, MB_OK | MB_ICONSTOP);
}

void CCommThread::Connect() {
    LogStep(2522, "Connect");
    // The thread is paused here (by the Disconnect before) or idles on a closed port, so neither the
    // received bytes nor the lost-port state are in its hands.
    m_ReceivedChars.clear();
    SetPortLost(false);
    try {
        m_CommPort.OpenCommPort();
    } catch (const ECommError& error) {
        DeviceAccessProblem denied;
        if (error.m_ErrorType == ECommError::ErrOpenPort &&
            FindPortAccessProblem(m_CommPort.GetCommPort(), denied))
            ReportAccessProblem(denied);
        else if (error.m_ErrorType == ECommError::ErrOpenPort)
            AfxPostMessageBox("Error opening comm port. Port already in use?", MB_OK);
        else
            AfxPostMessageBox("Error opening comm port.", MB_OK);
    }
    NotePortState();
    if (m_CommPort.IsOpen()) {
        m_sessionOpen = true;
        m_sessionReceivedStart = m_bytesReceived.load();
        m_sessionDroppedStart = BytesDropped();
    }
    Resume();
}

void CCommThread::Disconnect() {
    LogStep(2523, "Disconnet");
    Suspend();
    try {
        ClosePortCounting();
    } catch (const ECommError&) {
        NotePortState();
        throw;
    }
    NotePortState();
    EndPortSession();
}

void CCommThread::SetParameters(DWORD baudRate, const std::string& portName) {
    // A lost port was open until the device went away; choosing it again reopens it at once. The port's
    // state is read from the mirror, since the reception thread may be reopening a lost port right now.
    const bool reconnect = m_portOpen.load() || m_portLost.load() || portName != m_CommPort.GetCommPort();
    Disconnect();
    SetPortLost(false);
    m_CommPort.SetCommPort(portName);
    m_CommPort.SetBaudRate(baudRate);
    if (reconnect)
        Connect();
}

void CCommThread::GetData(CString& data) {
    LogStep(2519, "GetData");
    BufferLock guard(m_ThreadMutex);
    data = m_strData.Copy();
}

void CCommThread::SetData(const CString& data) {
    LogStep(2520, "SetData");
    BufferLock guard(m_ThreadMutex);
    m_strData.Assign(data);
    m_dataStart = 0;
    ++m_dataGeneration;
}

void CCommThread::PrependData(const CString& older) {
    LogStep(2520, "SetData");
    const DWORD loop = GetTermSetting().nbMaxiByte;
    BufferLock guard(m_ThreadMutex);
    CString merged = older;
    AppendWithinLoop(merged, m_strData.Copy(), loop);
    m_strData.Assign(merged);
}

void CCommThread::ClearData() {
    LogStep(2518, "ClearData");
    {
        BufferLock guard(m_ThreadMutex);
        m_strData.Clear();
        m_dataStart = 0;
        ++m_dataGeneration;
    }
    // The window shows the drops since the last clear.
    m_droppedAtClear.store(BytesDropped());
    PostMessage(m_Hwnd, WM_COMM_PORT_STATE, PORT_DROPS, 0);
}

void CCommThread::GetChanges(DataMark& mark, DataChanges& changes) {
    LogStep(2519, "GetData");
    BufferLock guard(m_ThreadMutex);
    const std::uint64_t end = m_dataStart + m_strData.Size();
    changes.replaced = mark.generation != m_dataGeneration;
    if (changes.replaced) {
        changes.cut = 0;
        changes.added = m_strData.Copy();
    } else {
        changes.cut = static_cast<std::size_t>(m_dataStart - mark.start);
        const std::uint64_t from = std::max(mark.end, m_dataStart);
        changes.added.assign(m_strData.View().substr(static_cast<std::size_t>(from - m_dataStart)));
    }
    mark = DataMark{m_dataGeneration, m_dataStart, end};
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
    LogStep(2521, "SynchronizeData");

    // One consistent copy of the settings serves the whole pass.
    TermSettingRec setting;
    TickSource ticks;
    {
        std::lock_guard<std::mutex> guard(m_settingLock);
        setting = m_TermSetting;
        ticks = m_ticks;
    }

    RemoveFilteredBytes(m_ReceivedChars, setting);
    CString chunk = TranslateLineEnds(m_ReceivedChars, setting);
    InsertTimestamp(chunk, setting, ticks);

    {
        BufferLock guard(m_ThreadMutex);
        m_dataStart += m_strData.AppendWithinLoop(chunk, setting.nbMaxiByte);
    }

    // The view takes the text in its handler of this message; the thread never touches the window, so it
    // never waits for the user-interface thread while it holds the buffer lock.
    PostMessage(m_Hwnd, WM_COMM_DATA_READY, 0, 0);
}

bool CCommThread::WaitWhilePaused() {
    std::unique_lock<std::mutex> guard(m_controlLock);
    if (m_pauseRequested && !m_ThreadMutex.IsTerminated()) {
        m_parked = true;
        m_controlSignal.notify_all();
        m_controlSignal.wait(guard, [this] { return !m_pauseRequested || m_ThreadMutex.IsTerminated(); });
        m_parked = false;
    }
    return !m_ThreadMutex.IsTerminated();
}

void CCommThread::SleepUntil(std::chrono::steady_clock::time_point wakeUp) {
    std::unique_lock<std::mutex> guard(m_controlLock);
    // A pause or the end cuts the sleep short; the pause itself is then taken at the top of the next pass.
    m_controlSignal.wait_until(guard, wakeUp,
                               [this] { return m_pauseRequested || m_ThreadMutex.IsTerminated(); });
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
    } catch (const ECommError&) {
        m_ReceivedChars.clear();
        ReportLostPort();
        return 0;
    }
    const auto read = static_cast<DWORD>(m_ReceivedChars.size());
    if (read == 0)
        return 0;
    m_bytesReceived.fetch_add(read);
    SynchronizeData();
    return read;
}

void CCommThread::ReportLostPort() {
    // The port stays closed until the device answers again; what was received so far stays in the buffer.
    try {
        ClosePortCounting();
    } catch (const ECommError&) {
        // A handle that will not close counts as open; the next pass fails again and retries the close.
        return;
    }
    NotePortState();
    if (!SetPortLost(true))
        return;
    gMainApp.WriteToLog("Comm port " + m_CommPort.GetCommPort() + " lost, waiting for it to come back.",
                        "CommThreadProc", LEVELONE);
    PostMessage(m_Hwnd, WM_COMM_PORT_STATE, PORT_LOST, 0);
}

void CCommThread::RetryLostPort() {
    if (!m_portLost.load())
        return;
    try {
        m_CommPort.OpenCommPort();
    } catch (const ECommError&) {
        return;
    }
    NotePortState();
    SetPortLost(false);
    gMainApp.WriteToLog("Comm port " + m_CommPort.GetCommPort() + " is back, reception goes on.",
                        "CommThreadProc", LEVELONE);
    PostMessage(m_Hwnd, WM_COMM_PORT_STATE, PORT_BACK, 0);
}

std::uint64_t CCommThread::BytesDropped() const {
    std::lock_guard<std::mutex> guard(m_dropLock);
    return m_droppedClosed + m_CommPort.GetDroppedBytes();
}

void CCommThread::ClosePortCounting() {
    {
        std::lock_guard<std::mutex> guard(m_dropLock);
        const DWORD dropped = m_CommPort.GetDroppedBytes();
        m_CommPort.CloseCommPort();
        m_droppedClosed += dropped;
    }
    EndDropEpisode();
}

void CCommThread::CheckDrops() {
    const std::uint64_t total = BytesDropped();
    const bool fresh = total != m_dropEpisode.LastTotal();
    if (const std::uint64_t ended = m_dropEpisode.Observe(total))
        gMainApp.WriteToLog(DropEpisodeText(m_CommPort.GetCommPort(), ended), "CommThreadProc", LEVELONE);
    if (fresh)
        PostMessage(m_Hwnd, WM_COMM_PORT_STATE, PORT_DROPS, 0);
}

void CCommThread::EndDropEpisode() {
    m_dropEpisode.Observe(BytesDropped());
    if (const std::uint64_t ended = m_dropEpisode.End())
        gMainApp.WriteToLog(DropEpisodeText(m_CommPort.GetCommPort(), ended), "CommThreadProc", LEVELONE);
}

void CCommThread::EndPortSession() {
    if (!m_sessionOpen)
        return;
    if (m_CommPort.IsOpen()) {
        try {
            ClosePortCounting();
        } catch (const ECommError&) {
            // The port's own destructor tries once more; the counts are those of now.
        }
        NotePortState();
    }
    m_sessionOpen = false;
    gMainApp.WriteToLog(PortClosedText(m_CommPort.GetCommPort(),
                                       m_bytesReceived.load() - m_sessionReceivedStart,
                                       BytesDropped() - m_sessionDroppedStart),
                        "CloseCommPort", LEVELONE);
}

bool CCommThread::SetPortLost(bool lost) {
    // While the port is lost its name stays in the port lists, even when its device link is gone, so the
    // window's serial settings still show the port the window waits for.
    std::lock_guard<std::mutex> guard(m_lostLock);
    if (m_portLost.load() == lost)
        return false;
    if (lost) {
        m_awaitedPort = m_CommPort.GetCommPort();
        AwaitPortName(m_awaitedPort);
    } else {
        ForgetAwaitedPortName(m_awaitedPort);
    }
    m_portLost.store(lost);
    return true;
}

void CCommThread::ThreadFinished() {
    {
        std::lock_guard<std::mutex> guard(m_controlLock);
        m_running = false;
    }
    m_controlSignal.notify_all();
}

UINT CommThreadProc(void* param) {
    auto* self = static_cast<CCommThread*>(param);
    RaiseCurrentThreadPriority();
    auto previousPass = std::chrono::steady_clock::now();
    while (self->WaitWhilePaused()) {
        // The period runs from the start of a pass, so shaping a large read does not slow the polling.
        const auto passStart = std::chrono::steady_clock::now();
        if (!self->m_CommPort.IsOpen()) {
            self->RetryLostPort();
            if (!self->m_CommPort.IsOpen()) {
                ++self->m_pollPasses;
                self->SleepUntil(passStart + kClosedPortPoll);
                continue;
            }
        }
        const DWORD read = self->PollPort();
        ++self->m_pollPasses;
        const auto gathered = passStart - previousPass;
        previousPass = passStart;
        self->SleepUntil(passStart + NextPollDelay(read, gathered));
    }
    self->ThreadFinished();
    return 0;
}
