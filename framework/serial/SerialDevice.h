#pragma once

#include "framework/core/WinTypes.h"
#include "framework/serial/Dcb.h"

// The device calls of the serial port and of port enumeration, under the platform's names. They reach the
// installed SerialDevice, by default the POSIX driver; tests install their own to make single calls fail
// or to present a chosen device table. Every call sets the thread's last error on failure.

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;

constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record keeps the platform's size");

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    virtual HANDLE CreateFile(const char* name, DWORD access, DWORD shareMode, DWORD creation,
                              DWORD flags) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    virtual BOOL GetCommState(HANDLE handle, DCB* dcb) = 0;
    virtual BOOL SetCommState(HANDLE handle, const DCB* dcb) = 0;
    virtual BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) = 0;
    virtual BOOL SetCommTimeouts(HANDLE handle, const COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) = 0;
    virtual BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read) = 0;
    // Bytes the input queue has dropped since the port was opened because it was full.
    virtual DWORD GetDroppedInputBytes(HANDLE handle) = 0;

    virtual BOOL GetVersionEx(OSVERSIONINFOA* info) = 0;
    // With a null device name: every defined device name, each ended by a zero byte, the whole run ended by
    // one more; returns the characters stored, or 0 when the table does not fit or cannot be read.
    virtual DWORD QueryDosDevice(const char* deviceName, char* targetPath, DWORD maxChars) = 0;
};

// The device every call below reaches.
SerialDevice& CurrentSerialDevice();
// Makes `device` the one the calls reach (nullptr: the POSIX driver again); returns the one it replaces.
// Install it before any port is opened and keep it alive while ports opened through it exist.
SerialDevice* InstallSerialDevice(SerialDevice* device);
// The POSIX driver, for devices that wrap it.
SerialDevice& PosixSerialDevice();

HANDLE CreateFileA(const char* name, DWORD access, DWORD shareMode, void* security, DWORD creation,
                   DWORD flags, HANDLE templateFile);
BOOL CloseHandle(HANDLE handle);
BOOL GetCommState(HANDLE handle, DCB* dcb);
BOOL SetCommState(HANDLE handle, DCB* dcb);
BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue);
BOOL SetCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts);
BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status);
BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read, void* overlapped);
DWORD GetDroppedInputBytes(HANDLE handle);
BOOL GetVersionExA(OSVERSIONINFOA* info);
DWORD QueryDosDeviceA(const char* deviceName, char* targetPath, DWORD maxChars);
