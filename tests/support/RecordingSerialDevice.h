#pragma once

#include "framework/core/WinError.h"
#include "support/FakeSerialDevice.h"

#include <cstring>
#include <string>
#include <vector>

// A device that records the calls it gets and fails the one it is told to, with a chosen error code; it
// answers the device-table and probing questions of port enumeration as told. Installed for its lifetime.
class RecordingSerialDevice final : public FakeSerialDevice {
public:
    RecordingSerialDevice() { Install(); }
    ~RecordingSerialDevice() override { Uninstall(); }

    std::string failCall;               // name of the call to fail, "" for none
    DWORD failCode = ERROR_GEN_FAILURE; // last error the failing call leaves
    int failAfter = 0;                  // number of successful calls of that name before it fails
    std::vector<std::string> calls;
    std::string openedName;
    DCB driverState{}; // what GetCommState reports
    DCB lastApplied{}; // what SetCommState got last
    DWORD inQueue = 0, outQueue = 0;
    COMMTIMEOUTS timeouts{};
    int openHandles = 0;
    std::string input; // bytes waiting
    // Device-table and probing answers.
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    std::string nameTable; // names each ended by '\0'
    std::vector<DWORD> probeErrors = std::vector<DWORD>(256, ERROR_FILE_NOT_FOUND); // 0: opens

    HANDLE CreateFile(const char* name, DWORD, DWORD, DWORD, DWORD) override {
        openedName = name;
        if (name[0] == '\\') {
            const unsigned number = static_cast<unsigned>(std::atoi(name + 7));
            calls.push_back("CreateFile");
            if (number < probeErrors.size() && probeErrors[number] != 0) {
                SetLastError(probeErrors[number]);
                return INVALID_HANDLE_VALUE;
            }
            ++openHandles;
            return this;
        }
        if (Fails("CreateFile"))
            return INVALID_HANDLE_VALUE;
        ++openHandles;
        return this;
    }
    BOOL CloseHandle(HANDLE) override {
        if (Fails("CloseHandle"))
            return FALSE;
        --openHandles;
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    BOOL GetCommState(HANDLE, DCB* dcb) override {
        if (Fails("GetCommState"))
            return FALSE;
        *dcb = driverState;
        return TRUE;
    }
    BOOL SetCommState(HANDLE, const DCB* dcb) override {
        if (Fails("SetCommState"))
            return FALSE;
        lastApplied = *dcb;
        return TRUE;
    }
    BOOL SetupComm(HANDLE, DWORD in, DWORD out) override {
        inQueue = in;
        outQueue = out;
        return Fails("SetupComm") ? FALSE : TRUE;
    }
    BOOL SetCommTimeouts(HANDLE, const COMMTIMEOUTS* t) override {
        timeouts = *t;
        return Fails("SetCommTimeouts") ? FALSE : TRUE;
    }
    BOOL ClearCommError(HANDLE, DWORD* errors, COMSTAT* status) override {
        if (Fails("ClearCommError"))
            return FALSE;
        *errors = 0;
        status->cbInQue = static_cast<DWORD>(input.size());
        return TRUE;
    }
    BOOL ReadFile(HANDLE, void* buffer, DWORD count, DWORD* read) override {
        if (Fails("ReadFile"))
            return FALSE;
        const std::size_t n = std::min<std::size_t>(count, input.size());
        std::memcpy(buffer, input.data(), n);
        input.erase(0, n);
        *read = static_cast<DWORD>(n);
        return TRUE;
    }
    DWORD GetDroppedInputBytes(HANDLE) override { return 7; }
    BOOL GetVersionEx(OSVERSIONINFOA* info) override {
        if (Fails("GetVersionEx"))
            return FALSE;
        info->dwPlatformId = platformId;
        return TRUE;
    }
    DWORD QueryDosDevice(const char*, char* target, DWORD maxChars) override {
        if (Fails("QueryDosDevice"))
            return 0;
        const std::string run = nameTable + '\0';
        if (run.size() > maxChars)
            return 0;
        std::memcpy(target, run.data(), run.size());
        return static_cast<DWORD>(run.size());
    }

private:
    bool Fails(const std::string& call) {
        calls.push_back(call);
        if (call != failCall)
            return false;
        if (failAfter > 0) {
            --failAfter;
            return false;
        }
        SetLastError(failCode);
        return true;
    }
};
