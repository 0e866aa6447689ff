#pragma once

// A serial port on another machine behind the device calls: a TCP connection to a serial server, raw or
// with telnet's serial-port control option (RFC 2217), with an input queue and a driver thread as a local
// port has. The connection is made within kConnectLimit, name lookup included; the server's answers decide
// whether settings hold. A connection that drops is a device that hung up: what came before stays readable.
#include "framework/core/WinTypes.h"
#include "framework/net/ComPortTelnet.h"
#include "framework/net/RemotePortName.h"
#include "framework/serial/Dcb.h"
#include "framework/serial/InputQueue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class RemotePort {
public:
    static constexpr std::chrono::milliseconds kConnectLimit{5000};
    // How long a settings change waits for the server's answers; a server that does not answer refuses.
    static constexpr std::chrono::milliseconds kAnswerLimit{2000};

    explicit RemotePort(const RemoteAddress& address);
    ~RemotePort();
    RemotePort(const RemotePort&) = delete;
    RemotePort& operator=(const RemotePort&) = delete;

    // Connects, starts the driver thread and, for RFC 2217, waits for the server to agree to the serial-port
    // option; false with the last error and its reason set.
    bool Open();
    // Stops the driver thread and closes the connection.
    bool Close();

    InputQueue& Queue() { return m_queue; }
    void SetTimeouts(const COMMTIMEOUTS& timeouts);
    COMMTIMEOUTS Timeouts() const;

    // The settings in force. A raw connection keeps them for the window only; they cannot reach the port.
    void GetState(DCB& dcb);
    // False with the last error and its reason when the server refuses, does not answer, or is gone; the
    // settings in force stay.
    bool SetState(const DCB& dcb);

    // Why the connection ended (the server closed it, was cut off...); empty while it lasts.
    std::string HangUpReason() const;

private:
    bool AwaitComPortOption();
    void Drive();
    // Sends what waits to be sent as far as the socket takes it; under m_lock.
    void FlushLocked();
    void HangUp(DWORD error, int errnoValue, const std::string& reason);
    bool SendSettingsAndWait(const ComPortTelnet::Settings& wanted, std::unique_lock<std::mutex>& guard,
                             std::string& refusal);
    void Wake();

    RemoteAddress m_address;
    int m_fd = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
    InputQueue m_queue;

    mutable std::mutex m_lock; // the telnet state, the bytes to send, the settings, the hang-up reason
    std::condition_variable m_changed; // an answer came or the connection ended
    ComPortTelnet m_telnet;
    std::string m_sending;
    DCB m_state{};
    bool m_hungUp = false;
    std::string m_hangUpReason;
    std::mutex m_settingsLock; // one settings exchange at a time

    mutable std::mutex m_timeoutLock;
    COMMTIMEOUTS m_timeouts{};
};
