#include "framework/serial/SerialDevice.h"

#include <atomic>

namespace {
std::atomic<SerialDevice*> installed{nullptr};
}

SerialDevice& CurrentSerialDevice() {
    SerialDevice* device = installed.load();
    return device ? *device : PosixSerialDevice();
}

SerialDevice* InstallSerialDevice(SerialDevice* device) {
    SerialDevice* previous = installed.exchange(device);
    return previous ? previous : &PosixSerialDevice();
}

HANDLE CreateFileA(const char* name, DWORD access, DWORD shareMode, void* security, DWORD creation,
                   DWORD flags, HANDLE templateFile) {
    (void)security;
    (void)templateFile;
    return CurrentSerialDevice().CreateFile(name, access, shareMode, creation, flags);
}

BOOL CloseHandle(HANDLE handle) {
    return CurrentSerialDevice().CloseHandle(handle);
}

BOOL GetCommState(HANDLE handle, DCB* dcb) {
    return CurrentSerialDevice().GetCommState(handle, dcb);
}

BOOL SetCommState(HANDLE handle, DCB* dcb) {
    return CurrentSerialDevice().SetCommState(handle, dcb);
}

BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) {
    return CurrentSerialDevice().SetupComm(handle, inQueue, outQueue);
}

BOOL SetCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts) {
    return CurrentSerialDevice().SetCommTimeouts(handle, timeouts);
}

BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) {
    return CurrentSerialDevice().ClearCommError(handle, errors, status);
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read, void* overlapped) {
    (void)overlapped;
    return CurrentSerialDevice().ReadFile(handle, buffer, count, read);
}

DWORD GetDroppedInputBytes(HANDLE handle) {
    return CurrentSerialDevice().GetDroppedInputBytes(handle);
}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    return CurrentSerialDevice().GetVersionEx(info);
}

DWORD QueryDosDeviceA(const char* deviceName, char* targetPath, DWORD maxChars) {
    return CurrentSerialDevice().QueryDosDevice(deviceName, targetPath, maxChars);
}
