#pragma once

// The POSIX serial driver behind the device calls: COM names through the port table, exclusive open, raw
// mode, the control block through termios, and the input queue of each open port (serial_port_posix.h).
// The port calls are in serial_device_posix.cpp, enumeration in serial_enumeration_posix.cpp.
#include "framework/core/WinError.h"
#include "framework/serial/SerialDevice.h"

#include <cerrno>

inline BOOL FailWith(DWORD code) {
    SetLastError(code);
    return FALSE;
}

inline BOOL FailWithErrno(int errnoValue = errno) {
    SetLastErrorFromErrno(errnoValue);
    return FALSE;
}

class PosixDevice final : public SerialDevice {
public:
    HANDLE CreateFile(const char* name, DWORD access, DWORD shareMode, DWORD creation, DWORD flags) override;
    BOOL CloseHandle(HANDLE handle) override;
    BOOL GetCommState(HANDLE handle, DCB* dcb) override;
    BOOL SetCommState(HANDLE handle, const DCB* dcb) override;
    BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) override;
    BOOL SetCommTimeouts(HANDLE handle, const COMMTIMEOUTS* timeouts) override;
    BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) override;
    BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read) override;
    DWORD GetDroppedInputBytes(HANDLE handle) override;

    BOOL GetVersionEx(OSVERSIONINFOA* info) override;
    DWORD QueryDosDevice(const char* deviceName, char* targetPath, DWORD maxChars) override;
};
