#pragma once

#include "comm/comm.h"
#include "framework/core/WinTypes.h"
#include "reception/Capture.h"
#include "reception/CommMessages.h"
#include "reception/DataShaping.h"
#include "reception/DropAccount.h"
#include "reception/PausablePollLoop.h"
#include "reception/ReceivedText.h"
#include "reception/ThreadMutex.h"
#include "settings/SettingRec.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct DeviceAccessProblem;

// The body of a window's reception thread; given the CCommThread as its parameter.
UINT CommThreadProc(void* param);

// One terminal window's reception: a thread that polls the window's port every 100 ms (every 500 ms while
// it is closed; sooner when the device is fast enough to fill half the port's queue in that time, so the
// queue does not overflow), shapes what it reads into the window's text buffer and posts WM_COMM_DATA_READY.
// Every operation except SynchronizeData is called on the user-interface thread.
class CCommThread {
public:
    // Takes the terminal settings of the preferences (or the defaults), names the port "?" at the start
    // rate and starts the thread at once.
    explicit CCommThread(HWND window);
    // Tells the thread to end and waits until it has, before any member goes.
    ~CCommThread();
    CCommThread(const CCommThread&) = delete;
    CCommThread& operator=(const CCommThread&) = delete;

    BOOL BeginThread();
    void CloseThread();

    // Pausing is cooperative: Suspend returns once the thread is parked at the top of a poll pass or in its
    // sleep, never inside a port call or while it holds the buffer lock, so the caller may then close the
    // port. One Resume ends any pause. Both always return TRUE.
    BOOL Suspend();
    BOOL Resume();

    // Opens the port and resumes reception; an open failure is shown in a message box and goes no
    // further (the thread then idles with the port closed).
    void Connect();
    // Called by Connect once the port is open (a remote port: once its connection is under way), before
    // reception resumes: what must see the connection's first byte (an automatic capture) starts there. On
    // the user-interface thread.
    void SetConnectedHandler(std::function<void()> handler) { m_connected = std::move(handler); }
    // Pauses reception and closes the port; a close failure (ECommError) reaches the caller.
    void Disconnect();
    // Points the thread at a port. An open or lost port is always closed and reopened; a closed one only
    // when the name differs from the current one.
    void SetParameters(DWORD baudRate, const std::string& portName);

    void GetData(CString& data);
    void SetData(const CString& data);
    // Puts older text (a file loaded into the window) before what the thread has received so far, in one
    // step with reception, and keeps the buffer within its loop: nothing that arrived meanwhile is lost.
    void PrependData(const CString& older);
    void ClearData();

    // A reader's place in the buffer and what changed since (see CReceivedText).
    using DataMark = CReceivedText::DataMark;
    using DataChanges = CReceivedText::DataChanges;
    // Hands over only what changed since the mark, under the buffer lock, and moves the mark to the
    // buffer's present state; a reader that keeps its copy this way never copies the whole buffer.
    void GetChanges(DataMark& mark, DataChanges& changes);

    // Shapes m_ReceivedChars into the buffer and posts WM_COMM_DATA_READY; on the reception thread.
    void SynchronizeData();
    // Removes the filtered bytes of the current terminal settings from the bytes, in place.
    void FilterByteacters(std::vector<BYTE>& bytes);

    // The window's terminal settings are exchanged as a whole under a lock, so shaping never sees a
    // half-written record; a new record takes effect with the next read.
    TermSettingRec GetTermSetting() const;
    void SetTermSetting(const TermSettingRec& setting);

    // Replaces the millisecond clock of the timestamp rule (tests step it by hand).
    void SetTickSource(TickSource ticks);

    // TRUE while the port is open. Safe from any thread, unlike the port's own state, which the reception
    // thread changes when the port is lost and when it comes back; the status bar reads this one.
    BOOL IsPortOpen() const { return m_portOpen.load() ? TRUE : FALSE; }
    // TRUE while the port that was open is lost and the thread waits for it to come back.
    BOOL IsPortLost() const { return m_portLost.load() ? TRUE : FALSE; }
    // Bytes read from the port and handed to shaping so far, counted before filtering.
    std::uint64_t BytesReceived() const { return m_bytesReceived.load(); }
    // Bytes the port's full input queue dropped since the window opened, also while it is frozen; safe
    // from any thread.
    std::uint64_t BytesDropped() const { return m_drops.Total(); }
    // The same since the buffer was last cleared.
    std::uint64_t BytesDroppedSinceClear() const { return m_drops.SinceClear(); }
    // Poll passes the thread has finished, with the port open or closed; none pass while it is paused.
    // What did not happen in a number of passes will not (tests wait for them instead of for a time).
    std::uint64_t PollPasses() const { return m_pollPasses.load(); }

    HWND m_Hwnd = 0;
    std::unique_ptr<std::thread> m_Thread;
    CThreadMutex m_ThreadMutex;
    TCommPort m_CommPort;
    std::vector<BYTE> m_ReceivedChars;
    BOOL m_Suspended = FALSE;
    // The window's capture to a file, fed at every read: raw before shaping, text as the buffer takes it.
    CCapture m_Capture;

private:
    friend UINT CommThreadProc(void* param);
    // Every record of the reception thread is an internal step.
    static void LogStep(UINT textId, const char* procedure);

    void InsertTimestamp(CString& chunk, const TermSettingRec& setting, const TickSource& ticks);
    // One pass of the poll loop, on the reception thread: reads what waits and shapes it; returns the
    // number of bytes read.
    DWORD PollPort();

    // Port control (CommThreadPort.cpp).
    void ReportAccessProblem(const DeviceAccessProblem& denied);
    void ReportOpenFailure(const ECommError& error);
    // Logs the text and the system's reason at level one, in one record when both fit.
    static void LogWithReason(const std::string& text, const std::string& reason, const char* procedure);
    void ReportLostPort(const ECommError& error);
    void RetryLostPort();
    // Opens a port on another machine that Connect left to the reception thread, since its connection
    // (name lookup included) may take seconds; a failure is reported as Connect reports one.
    void OpenPendingPort();
    // Starts a session's counts once the user's open succeeded.
    void StartPortSession();
    // Mirrors the port's state after the calling thread has opened or closed it.
    void NotePortState() { m_portOpen.store(m_CommPort.IsOpen()); }
    // Enters or leaves the lost state; false when it was in that state already.
    bool SetPortLost(bool lost);
    // Closes the port, keeping the count of the bytes its queue dropped; an ECommError passes on.
    void ClosePortCounting();
    // Looks for new drops after a poll pass; logs an episode that ended and tells the view of new ones.
    void CheckDrops();
    // Logs a running drop episode, at a close.
    void EndDropEpisode();
    // Logs what the port received and lost since it was opened, when the window lets go of it.
    void EndPortSession();

    CReceivedText m_text{m_ThreadMutex};
    CPausablePollLoop m_pollLoop{m_ThreadMutex};
    CDropAccount m_drops{m_CommPort};

    std::function<void()> m_connected;

    mutable std::mutex m_settingLock;
    TermSettingRec m_TermSetting;
    TickSource m_ticks;

    LastDataClock m_lastData;
    LinePosition m_linePosition;
    std::atomic<bool> m_portOpen{false};
    std::atomic<bool> m_portLost{false};
    std::atomic<bool> m_openPending{false};
    // Whether the port of the latest Connect is on another machine.
    std::atomic<bool> m_portRemote{false};
    // When the reception thread last tried to reach a lost remote port; retries are a second apart.
    std::chrono::steady_clock::time_point m_lastRemoteRetry{};
    std::mutex m_lostLock;
    std::string m_awaitedPort;
    std::atomic<std::uint64_t> m_bytesReceived{0};
    std::atomic<std::uint64_t> m_pollPasses{0};

    // From the open that the user's Connect made to the Disconnect or the window's end.
    bool m_sessionOpen = false;
    std::uint64_t m_sessionReceivedStart = 0;
    std::uint64_t m_sessionDroppedStart = 0;
};
