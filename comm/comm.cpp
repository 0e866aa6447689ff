#include "comm/comm.h"

#include "framework/core/WinError.h"
#include "framework/serial/SerialDevice.h"

#include <cstdio>

namespace {

constexpr DWORD kOutputQueueBytes = 9216;

void CopyParameters(const DCB& from, DCB& to) {
    to.BaudRate = from.BaudRate;
    to.ByteSize = from.ByteSize;
    to.Parity = from.Parity;
    to.StopBits = from.StopBits;
}

const char* ParityWord(BYTE parity) {
    switch (parity) {
    case NOPARITY:
        return "NONE";
    case ODDPARITY:
        return "ODD";
    case EVENPARITY:
        return "EVEN";
    default:
        return "bad parity";
    }
}

const char* StopBitsWord(BYTE stopBits) {
    switch (stopBits) {
    case ONESTOPBIT:
        return "1 stop bit";
    case ONE5STOPBITS:
        return "1.5 stop bits";
    case TWOSTOPBITS:
        return "2 stop bits";
    default:
        return "bad stop bits";
    }
}

// The four setters share one pattern: store, apply on an open port, and put the old value back when the
// driver refuses the new one, so the object always describes the configuration in force.
template <typename Value>
void StoreAndApply(TCommPort& port, Value DCB::*field, Value value, ECommError::ErrorType kind) {
    const Value old = port.m_dcb.*field;
    port.m_dcb.*field = value;
    if (!port.m_CommOpen)
        return;
    if (!SetCommState(port.m_hCom, &port.m_dcb)) {
        ECommError error(kind);
        port.m_dcb.*field = old;
        throw error;
    }
}

} // namespace

ECommError::ECommError(ErrorType type)
    : m_ErrorType(type), m_LastError(GetLastError()), m_Errno(GetLastErrno()),
      m_Reason(GetLastErrorReason()) {}

std::string ECommError::Reason() const {
    return m_Reason.empty() ? ErrorReason(m_LastError, m_Errno) : m_Reason;
}

TCommPort::TCommPort() : m_CommOpen(false), m_TimeOuts(), m_CommPort("COM1"), m_dcb(), m_hCom(nullptr) {
    m_dcb.DCBlength = sizeof(DCB);
    m_dcb.BaudRate = kStartBaudRate;
    m_dcb.ByteSize = 8;
    m_dcb.Parity = NOPARITY;
    m_dcb.StopBits = ONESTOPBIT;
}

TCommPort::~TCommPort() {
    try {
        CloseCommPort();
    } catch (const ECommError&) {
        // A destructor must not throw; the handle is lost either way.
    }
}

void TCommPort::FailOpen(ECommError::ErrorType kind, const DCB& keptParameters) {
    // The error carries the failing step's code, not that of the clean-up close.
    ECommError error(kind);
    CloseHandle(m_hCom);
    m_hCom = nullptr;
    // The parameters the caller set survive a failed open, so the next attempt uses them again.
    CopyParameters(keptParameters, m_dcb);
    SetLastError(error.m_LastError, error.m_Errno, error.m_Reason);
    throw error;
}

void TCommPort::OpenCommPort() {
    std::string name;
    {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        if (m_CommOpen)
            return;
        name = m_CommPort;
    }
    // Reaching a port on another machine may take seconds, so the device is opened outside the lock: the
    // getters and setters answer meanwhile, and what they set is what is applied below. Only one thread
    // opens a port at a time (the user-interface thread while reception is paused, or the reception thread).
    const HANDLE handle =
        CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (handle == INVALID_HANDLE_VALUE) {
        ECommError error(ECommError::ErrOpenPort);
        m_hCom = nullptr;
        throw error;
    }
    m_hCom = handle;
    DCB kept = m_dcb;
    if (!GetCommState(m_hCom, &m_dcb))
        FailOpen(ECommError::ErrGetCommState, kept);
    // Only the four parameters are the program's; flow control, line control and the special characters
    // stay as the driver reported them.
    CopyParameters(kept, m_dcb);
    if (!SetCommState(m_hCom, &m_dcb))
        FailOpen(ECommError::ErrSetCommState, kept);
    if (!SetupComm(m_hCom, kInputQueueBytes, kOutputQueueBytes))
        FailOpen(ECommError::ErrSetupComm, kept);

    m_TimeOuts.ReadIntervalTimeout = 15;
    m_TimeOuts.ReadTotalTimeoutMultiplier = 1;
    m_TimeOuts.ReadTotalTimeoutConstant = 250;
    m_TimeOuts.WriteTotalTimeoutMultiplier = 1;
    m_TimeOuts.WriteTotalTimeoutConstant = 250;
    if (!SetCommTimeouts(m_hCom, &m_TimeOuts))
        FailOpen(ECommError::ErrSetTimeouts, kept);

    m_CommOpen = true;
}

void TCommPort::CloseCommPort() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_CommOpen)
        return;
    if (!CloseHandle(m_hCom))
        throw ECommError(ECommError::ErrClosePort);
    m_CommOpen = false;
    m_hCom = nullptr;
}

void TCommPort::SetBaudRate(DWORD baudRate) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StoreAndApply(*this, &DCB::BaudRate, baudRate, ECommError::ErrBaudRate);
}

void TCommPort::SetByteSize(BYTE byteSize) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StoreAndApply(*this, &DCB::ByteSize, byteSize, ECommError::ErrByteSize);
}

void TCommPort::SetParity(BYTE parity) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StoreAndApply(*this, &DCB::Parity, parity, ECommError::ErrParity);
}

void TCommPort::SetStopBits(BYTE stopBits) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StoreAndApply(*this, &DCB::StopBits, stopBits, ECommError::ErrStopBits);
}

DWORD TCommPort::GetBaudRate() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_dcb.BaudRate;
}
BYTE TCommPort::GetByteSize() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_dcb.ByteSize;
}
BYTE TCommPort::GetParity() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_dcb.Parity;
}
BYTE TCommPort::GetStopBits() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_dcb.StopBits;
}

void TCommPort::SetCommPort(const std::string& port) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_CommOpen)
        throw ECommError(ECommError::ErrPortIsOpen);
    m_CommPort = port;
}

std::string TCommPort::GetCommPort() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_CommPort;
}

DWORD TCommPort::BytesAvailable() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_CommOpen)
        throw ECommError(ECommError::ErrPortNotOpen);
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(m_hCom, &errors, &status))
        throw ECommError(ECommError::ErrClearCommError);
    return status.cbInQue;
}

LONG TCommPort::ReadBytes(void* buffer, DWORD count) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_CommOpen)
        throw ECommError(ECommError::ErrPortNotOpen);
    DWORD read = 0;
    if (!ReadFile(m_hCom, buffer, count, &read, nullptr))
        throw ECommError(ECommError::ErrReadPort);
    if (read < count)
        static_cast<BYTE*>(buffer)[read] = 0;
    return static_cast<LONG>(read);
}

void TCommPort::GetCommDescription(std::string& description) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_CommOpen)
        throw ECommError(ECommError::ErrPortNotOpen);
    char head[64];
    std::snprintf(head, sizeof head, ", %u, %u, ", static_cast<unsigned>(m_dcb.BaudRate),
                  static_cast<unsigned>(m_dcb.ByteSize));
    std::string text = "Port: " + m_CommPort + head;
    text += ParityWord(m_dcb.Parity);
    text += ", ";
    text += StopBitsWord(m_dcb.StopBits);
    description = text;
}

DWORD TCommPort::GetDroppedBytes() const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_CommOpen ? GetDroppedInputBytes(m_hCom) : 0;
}

bool TCommPort::IsOpen() const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_CommOpen;
}
