#include "framework/serial/serial_port_remote.h"

#include "framework/core/ThreadName.h"
#include "framework/core/WinError.h"
#include "framework/net/TcpConnect.h"
#include "framework/serial/InputQueueSize.h"
#include "framework/serial/SerialDriverThread.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The option's codes for the four parameters of a control block; false for a value it cannot carry.
bool ToOptionSettings(const DCB& dcb, ComPortTelnet::Settings& settings) {
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8)
        return false;
    static const std::uint8_t kParity[] = {1, 2, 3, 4, 5}; // none, odd, even, mark, space
    static const std::uint8_t kStopSize[] = {1, 3, 2};     // one, one and a half, two
    if (dcb.Parity > 4 || dcb.StopBits > 2)
        return false;
    settings.baudRate = dcb.BaudRate;
    settings.dataSize = dcb.ByteSize;
    settings.parity = kParity[dcb.Parity];
    settings.stopSize = kStopSize[dcb.StopBits];
    return true;
}

// Which answer differs from the request, in words.
std::string Refusal(const ComPortTelnet::Settings& wanted, const ComPortTelnet::Settings& answered) {
    if (answered.baudRate != wanted.baudRate)
        return "the server refused " + std::to_string(wanted.baudRate) + " baud (it answered " +
               std::to_string(answered.baudRate) + ")";
    if (answered.dataSize != wanted.dataSize)
        return "the server refused " + std::to_string(wanted.dataSize) + " data bits";
    if (answered.parity != wanted.parity)
        return "the server refused the parity";
    return "the server refused the stop bits";
}

} // namespace

RemotePort::RemotePort(const RemoteAddress& address) : m_address(address), m_queue(kSmallestInputQueueBytes) {
    m_state.DCBlength = sizeof(DCB);
    m_state.BaudRate = 9600;
    m_state.fBinary = 1;
    m_state.ByteSize = 8;
    m_state.Parity = NOPARITY;
    m_state.StopBits = ONESTOPBIT;
}

RemotePort::~RemotePort() {
    Close();
}

bool RemotePort::Open() {
    TcpConnectFailure failure;
    m_fd = ConnectTcp(m_address.host, m_address.port, kConnectLimit, failure);
    if (m_fd < 0) {
        const DWORD code = failure.errnoValue ? LastErrorFromErrno(failure.errnoValue) : ERROR_FILE_NOT_FOUND;
        SetLastError(code, failure.errnoValue, failure.reason);
        return false;
    }
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        const int error = errno;
        close(m_fd);
        m_fd = -1;
        SetLastErrorFromErrno(error);
        return false;
    }
    if (m_address.protocol == RemoteAddress::Rfc2217) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_telnet.Start();
        m_sending += m_telnet.TakeOutgoing();
        FlushLocked();
    }
    try {
        m_thread = StartDriverThread([this] {
            NameCurrentThread("remote-driver");
            Drive();
        });
    } catch (const std::system_error&) {
        Close();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (m_address.protocol == RemoteAddress::Rfc2217 && !AwaitComPortOption()) {
        Close();
        return false;
    }
    return true;
}

// The server agrees to the serial-port option here, before the settings are sent: the caller of Open holds
// no lock that others wait on, while the settings calls may.
bool RemotePort::AwaitComPortOption() {
    const auto deadline = Clock::now() + kAnswerLimit;
    std::unique_lock<std::mutex> guard(m_lock);
    while (!m_hungUp && m_telnet.ComPortOption() != ComPortTelnet::OptionState::Agreed &&
           Clock::now() < deadline && !ConnectAbandoned())
        m_changed.wait_for(guard, kAbandonCheckPeriod);
    if (m_telnet.ComPortOption() == ComPortTelnet::OptionState::Agreed)
        return true;
    if (m_hungUp)
        SetLastError(ERROR_GEN_FAILURE, 0, m_hangUpReason);
    else if (Clock::now() < deadline)
        SetLastError(ERROR_OPERATION_ABORTED, ECANCELED, "given up");
    else
        SetLastError(ERROR_GEN_FAILURE, 0, "the server did not agree to serial-port control");
    return false;
}

bool RemotePort::Close() {
    if (m_thread.joinable()) {
        m_stopping = true;
        Wake();
        m_thread.join();
    }
    for (int& end : m_wake) {
        if (end >= 0)
            close(end);
        end = -1;
    }
    bool closed = true;
    if (m_fd >= 0)
        closed = close(m_fd) == 0 || errno == EINTR;
    m_fd = -1;
    return closed;
}

void RemotePort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
    std::lock_guard<std::mutex> guard(m_timeoutLock);
    m_timeouts = timeouts;
}

COMMTIMEOUTS RemotePort::Timeouts() const {
    std::lock_guard<std::mutex> guard(m_timeoutLock);
    return m_timeouts;
}

void RemotePort::GetState(DCB& dcb) {
    std::lock_guard<std::mutex> guard(m_lock);
    dcb = m_state;
}

bool RemotePort::SetState(const DCB& dcb) {
    std::lock_guard<std::mutex> exchange(m_settingsLock);
    ComPortTelnet::Settings wanted;
    if (!ToOptionSettings(dcb, wanted)) {
        SetLastError(ERROR_INVALID_PARAMETER, EINVAL);
        return false;
    }
    std::unique_lock<std::mutex> guard(m_lock);
    if (m_address.protocol == RemoteAddress::RawTcp) {
        // Nothing on a raw connection reaches the port's settings; the window keeps them.
        m_state.BaudRate = dcb.BaudRate;
        m_state.ByteSize = dcb.ByteSize;
        m_state.Parity = dcb.Parity;
        m_state.StopBits = dcb.StopBits;
        return true;
    }
    std::string refusal;
    if (!SendSettingsAndWait(wanted, guard, refusal)) {
        const bool gone = m_hungUp;
        // The server may have taken part of the request: the settings in force are asked for again.
        ComPortTelnet::Settings previous;
        if (!gone && ToOptionSettings(m_state, previous)) {
            m_telnet.RequestSettings(previous);
            m_sending += m_telnet.TakeOutgoing();
            FlushLocked();
            Wake();
        }
        SetLastError(gone ? ERROR_GEN_FAILURE : ERROR_INVALID_PARAMETER, gone ? 0 : EINVAL, refusal);
        return false;
    }
    m_state.BaudRate = dcb.BaudRate;
    m_state.ByteSize = dcb.ByteSize;
    m_state.Parity = dcb.Parity;
    m_state.StopBits = dcb.StopBits;
    return true;
}

bool RemotePort::SendSettingsAndWait(const ComPortTelnet::Settings& wanted,
                                     std::unique_lock<std::mutex>& guard, std::string& refusal) {
    const auto deadline = Clock::now() + kAnswerLimit;
    if (m_hungUp) {
        refusal = m_hangUpReason;
        return false;
    }
    if (m_telnet.ComPortOption() != ComPortTelnet::OptionState::Agreed) {
        refusal = "the server did not agree to serial-port control";
        return false;
    }
    m_telnet.RequestSettings(wanted);
    m_sending += m_telnet.TakeOutgoing();
    FlushLocked();
    Wake();
    m_changed.wait_until(guard, deadline, [this] { return m_hungUp || m_telnet.AllAnswered(); });
    if (m_hungUp) {
        refusal = m_hangUpReason;
        return false;
    }
    if (!m_telnet.AllAnswered()) {
        refusal = "the server did not answer the settings";
        return false;
    }
    if (!(m_telnet.Answers() == wanted)) {
        refusal = Refusal(wanted, m_telnet.Answers());
        return false;
    }
    return true;
}

std::string RemotePort::HangUpReason() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_hangUpReason;
}

void RemotePort::Wake() {
    const char any = 1;
    while (write(m_wake[1], &any, 1) < 0 && errno == EINTR) {
    }
}

void RemotePort::FlushLocked() {
    while (!m_sending.empty()) {
        const ssize_t sent = send(m_fd, m_sending.data(), m_sending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent <= 0)
            return; // full, or failing: the driver's read sees a failure
        m_sending.erase(0, static_cast<std::size_t>(sent));
    }
}

void RemotePort::HangUp(DWORD error, int errnoValue, const std::string& reason) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_hungUp = true;
        m_hangUpReason = reason;
    }
    m_changed.notify_all();
    shutdown(m_fd, SHUT_RDWR);
    m_queue.MarkHungUp(error, errnoValue);
}

void RemotePort::Drive() {
    const bool telnet = m_address.protocol == RemoteAddress::Rfc2217;
    std::vector<unsigned char> chunk(16384);
    std::vector<unsigned char> data;
    auto relieveAt = Clock::now() + std::chrono::seconds(1);
    for (;;) {
        short events = POLLIN;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (!m_sending.empty())
                events |= POLLOUT;
        }
        int timeout = -1;
        if (telnet) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(relieveAt - Clock::now());
            timeout = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        pollfd watched[2] = {{m_fd, events, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(watched, 2, timeout) < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            HangUp(LastErrorFromErrno(error), error, std::strerror(error));
            return;
        }
        if (m_stopping)
            return;
        if (watched[1].revents) {
            char drained[64];
            while (read(m_wake[0], drained, sizeof drained) > 0) {
            }
        }
        if (telnet && Clock::now() >= relieveAt) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_telnet.Relieve();
            relieveAt = Clock::now() + std::chrono::seconds(1);
        }
        if (watched[0].revents & POLLOUT) {
            std::lock_guard<std::mutex> guard(m_lock);
            FlushLocked();
        }
        if (!(watched[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t count = read(m_fd, chunk.data(), chunk.size());
        if (count > 0) {
            if (!telnet) {
                m_queue.Push(chunk.data(), static_cast<std::size_t>(count));
                continue;
            }
            data.clear();
            bool kept = true;
            std::string failure;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                kept = m_telnet.Receive(chunk.data(), static_cast<std::size_t>(count), data);
                m_sending += m_telnet.TakeOutgoing();
                if (m_sending.size() > ComPortTelnet::kLargestOutgoing) {
                    kept = false;
                    failure = "the server does not take its telnet answers";
                } else {
                    FlushLocked();
                }
                if (!kept && failure.empty())
                    failure = m_telnet.Failure();
            }
            m_changed.notify_all();
            if (!data.empty())
                m_queue.Push(data.data(), data.size());
            if (!kept) {
                HangUp(ERROR_GEN_FAILURE, 0, "cut off: " + failure);
                return;
            }
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        const int error = count == 0 ? 0 : errno;
        HangUp(count == 0 ? ERROR_GEN_FAILURE : LastErrorFromErrno(error), error,
               count == 0 ? std::string("the server closed the connection")
                          : std::string(std::strerror(error)));
        return;
    }
}
