// CCommThread's port control: opening and closing the window's port for the user, losing it and finding it
// again on the reception thread, and the drop and session records that go with a close.
#include "reception/CommThread.h"

#include "app/main.h"
#include "app/resource.h"
#include "comm/enumser.h"
#include "framework/core/MessageBox.h"
#include "framework/net/TcpConnect.h"
#include "framework/serial/DeviceAccess.h"
#include "framework/serial/PortTable.h"
#include "log/LogFile.h"
#include "log/LogLevel.h"

// A port the user may not open is no port in use: the user learns which device refused, its group, and
// the command that lets them in. The log keeps the same in two records of its fixed width.
void CCommThread::ReportAccessProblem(const DeviceAccessProblem& denied) {
    gMainApp.WriteToLog("Permission denied: " + denied.node + ", group " + denied.group, "Connect", LEVELONE);
    if (!denied.fix.empty())
        gMainApp.WriteToLog("Fix: " + denied.fix + ", then log in again", "Connect", LEVELONE);
    AfxPostMessageBox(denied.message, MB_OK | MB_ICONSTOP);
}

// The design's text, then the port and the system's reason, in the box and in the log. A port on another
// machine is never in use by this one; its reason (refused, timed out, name not found) says it all.
void CCommThread::ReportOpenFailure(const ECommError& error) {
    const char* text = error.m_ErrorType == ECommError::ErrOpenPort && !m_portRemote.load()
                           ? "Error opening comm port. Port already in use?"
                           : "Error opening comm port.";
    const std::string why = m_CommPort.GetCommPort() + ": " + error.Reason();
    LogWithReason("Error opening comm port", why, "Connect");
    AfxPostMessageBox(std::string(text) + "\n" + why, MB_OK);
}

void CCommThread::LogWithReason(const std::string& text, const std::string& reason, const char* procedure) {
    // A record's description holds 80 characters: a reason that does not fit beside the text gets a
    // record of its own rather than being cut.
    const std::string joined = text + ": " + reason;
    if (joined.size() <= sizeof(LogRecord::cDescription)) {
        gMainApp.WriteToLog(joined, procedure, LEVELONE);
        return;
    }
    gMainApp.WriteToLog(text, procedure, LEVELONE);
    gMainApp.WriteToLog("Reason: " + reason, procedure, LEVELONE);
}

void CCommThread::Connect() {
    LogStep(IDS_LOG_CONNECT, "Connect");
    // The thread is paused here (by the Disconnect before) or idles on a closed port, so neither the
    // received bytes nor the lost-port state are in its hands.
    m_ReceivedChars.clear();
    SetPortLost(false);
    m_portRemote.store(IsRemotePort(m_CommPort.GetCommPort()));
    if (m_portRemote.load()) {
        m_openPending.store(true);
        // The reception thread makes the connection; what it reads from the first byte on is captured.
        if (m_connected)
            m_connected();
        Resume();
        return;
    }
    try {
        m_CommPort.OpenCommPort();
    } catch (const ECommError& error) {
        DeviceAccessProblem denied;
        if (error.m_ErrorType == ECommError::ErrOpenPort &&
            FindPortAccessProblem(m_CommPort.GetCommPort(), denied))
            ReportAccessProblem(denied);
        else
            ReportOpenFailure(error);
    }
    NotePortState();
    StartPortSession();
    if (m_CommPort.IsOpen() && m_connected)
        m_connected();
    Resume();
}

void CCommThread::StartPortSession() {
    if (!m_CommPort.IsOpen())
        return;
    m_sessionOpen = true;
    m_sessionReceivedStart = m_bytesReceived.load();
    m_sessionDroppedStart = BytesDropped();
}

void CCommThread::OpenPendingPort() {
    if (!m_openPending.exchange(false))
        return;
    try {
        m_CommPort.OpenCommPort();
    } catch (const ECommError& error) {
        // Given up because the user moved the window on, or closed it: nothing to tell.
        if (!ConnectAbandoned())
            ReportOpenFailure(error);
    }
    NotePortState();
    StartPortSession();
}

void CCommThread::Disconnect() {
    LogStep(IDS_LOG_DISCONNECT, "Disconnet");
    Suspend();
    m_openPending.store(false);
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

void CCommThread::ReportLostPort(const ECommError& error) {
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
    LogWithReason("Comm port " + m_CommPort.GetCommPort() + " lost, waiting for it to come back",
                  error.Reason(), "CommThreadProc");
    PostMessage(m_Hwnd, WM_COMM_PORT_STATE, PORT_LOST, 0);
}

void CCommThread::RetryLostPort() {
    if (!m_portLost.load())
        return;
    // A connection attempt costs the server more than a look at a device; one a second at most.
    if (m_portRemote.load()) {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastRemoteRetry < std::chrono::seconds(1))
            return;
        m_lastRemoteRetry = now;
    }
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

void CCommThread::ClosePortCounting() {
    m_drops.ClosePort();
    EndDropEpisode();
}

void CCommThread::CheckDrops() {
    const CDropAccount::Look look = m_drops.Observe();
    if (look.ended != 0)
        gMainApp.WriteToLog(DropEpisodeText(m_CommPort.GetCommPort(), look.ended), "CommThreadProc",
                            LEVELONE);
    if (look.fresh)
        PostMessage(m_Hwnd, WM_COMM_PORT_STATE, PORT_DROPS, 0);
}

void CCommThread::EndDropEpisode() {
    if (const std::uint64_t ended = m_drops.EndEpisode())
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
