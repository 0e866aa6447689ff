#pragma once

#include "framework/core/WinTypes.h"
#include "framework/serial/Dcb.h"
#include "framework/serial/InputQueueSize.h"

#include <mutex>
#include <string>

// A port's rate until the chosen one is applied: a new port has it, and a port is opened at it before the
// chosen parameters are set.
constexpr DWORD kStartBaudRate = 9600;

// What a failing serial port operation throws: which operation failed, and the platform's last-error code
// at the moment of failure with the errno behind it. Handlers test the kind; the code and the reason are
// there for the log and the user.
class ECommError {
public:
    enum ErrorType {
        ErrBaudRate = 1,
        ErrStopBits = 3,
        ErrParity = 4,
        ErrByteSize = 5,
        ErrPortIsOpen = 6,
        ErrPortNotOpen = 7,
        ErrOpenPort = 8,
        ErrReadPort = 10,
        ErrClosePort = 11,
        ErrGetCommState = 14,
        ErrSetCommState = 15,
        ErrSetupComm = 16,
        ErrSetTimeouts = 17,
        ErrClearCommError = 18,
    };

    // Reads the thread's last error itself.
    explicit ECommError(ErrorType type);

    // The reason the device gave in words, else the system's reason as strerror words it.
    std::string Reason() const;

    ErrorType m_ErrorType;
    DWORD m_LastError;
    int m_Errno;
    std::string m_Reason;
};

// One serial port, for reception only. It keeps the port name and the four serial parameters while the
// port is closed, applies them at open over the driver's other settings, and re-applies a parameter at once
// when it changes on an open port. Every failure throws ECommError; nothing is reported through return
// values. Two threads use one port: the reception thread reads it, and closes and reopens it when the
// device is lost and comes back, while the user-interface thread reads and sets its parameters. Every
// operation therefore holds the port's own lock, so a setter never meets a half-done open or a handle that
// is being closed, and a parameter set while the port is closed is the one the next open applies.
class TCommPort {
public:
    TCommPort();
    // Closes the port if it is open; a close that fails here is ignored, since nothing could handle it.
    ~TCommPort();
    TCommPort(const TCommPort&) = delete;
    TCommPort& operator=(const TCommPort&) = delete;

    // Opens and configures the port; does nothing if it is open already.
    void OpenCommPort();
    // Closes the port; does nothing if it is closed.
    void CloseCommPort();

    // Each stores the value and, on an open port, applies it at once; a refused value is put back.
    void SetBaudRate(DWORD baudRate);
    void SetByteSize(BYTE byteSize);
    void SetParity(BYTE parity);
    void SetStopBits(BYTE stopBits);
    DWORD GetBaudRate();
    BYTE GetByteSize();
    BYTE GetParity();
    BYTE GetStopBits();

    // Only while closed; the name is used at the next open.
    void SetCommPort(const std::string& port);
    std::string GetCommPort();

    // Bytes waiting in the input queue.
    DWORD BytesAvailable();
    // Reads up to count bytes into buffer; when fewer arrive, a zero byte follows the last one read.
    LONG ReadBytes(void* buffer, DWORD count);
    // "Port: COM1, 9600, 8, NONE, 1 stop bit" for the open port.
    void GetCommDescription(std::string& description);

    // The input queue size asked at open, and the capacity the driver then gives the queue.
    static constexpr DWORD kInputQueueBytes = 32768;
    static constexpr DWORD kInputQueueCapacity = static_cast<DWORD>(InputQueueCapacity(kInputQueueBytes));

    // Bytes the input queue dropped since the port was opened because it was full (0 while closed).
    DWORD GetDroppedBytes() const;

    // m_CommOpen read under the lock, for a thread other than the one that opens and closes the port.
    bool IsOpen() const;

    bool m_CommOpen;
    COMMTIMEOUTS m_TimeOuts;
    std::string m_CommPort;
    DCB m_dcb;
    HANDLE m_hCom;

private:
    // Recursive, since an operation that fails half-way calls others of the object to clean up.
    mutable std::recursive_mutex m_lock;

    // Releases the handle of a half-done open and throws the failing step's kind.
    [[noreturn]] void FailOpen(ECommError::ErrorType kind, const DCB& keptParameters);
};
