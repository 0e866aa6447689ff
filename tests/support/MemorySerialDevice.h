#pragma once

#include "framework/core/WinError.h"
#include "support/FakeSerialDevice.h"

#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>

// A serial device kept in memory, installed for its lifetime: tests feed bytes into a named port, unplug it
// (the next bytes-waiting query fails, as a real hang-up does) and plug it back, at any moment and from the
// test's thread, while a reception thread polls it.
class MemorySerialDevice final : public FakeSerialDevice {
public:
    MemorySerialDevice() { Install(); }
    ~MemorySerialDevice() override { Uninstall(); }

    void Plug(const std::string& name) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_present.insert(name);
    }
    // The device goes away: an open handle to it fails its next query, and opening fails until Plug.
    void Unplug(const std::string& name) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_present.erase(name);
        for (auto& entry : m_open) {
            if (entry.second.name == name)
                entry.second.hungUp = true;
        }
    }
    void Feed(const std::string& name, const std::string& bytes) {
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto& entry : m_open) {
            if (entry.second.name == name && !entry.second.hungUp)
                entry.second.queue.insert(entry.second.queue.end(), bytes.begin(), bytes.end());
        }
    }
    // The next close of a handle fails, as a driver may refuse it.
    void FailNextClose() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_failNextClose = true;
    }
    int OpenCount(const std::string& name) {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_opens[name];
    }
    bool IsOpen(const std::string& name) {
        std::lock_guard<std::mutex> guard(m_lock);
        for (const auto& entry : m_open) {
            if (entry.second.name == name)
                return true;
        }
        return false;
    }

    HANDLE CreateFile(const char* name, DWORD, DWORD, DWORD, DWORD) override {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_present.count(name) == 0) {
            ::SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        for (const auto& entry : m_open) {
            if (entry.second.name == name) {
                ::SetLastError(ERROR_ACCESS_DENIED);
                return INVALID_HANDLE_VALUE;
            }
        }
        const auto handle = reinterpret_cast<HANDLE>(++m_nextHandle);
        m_open[handle].name = name;
        ++m_opens[name];
        return handle;
    }
    BOOL CloseHandle(HANDLE handle) override {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_failNextClose) {
            m_failNextClose = false;
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        return m_open.erase(handle) == 1 ? TRUE : FALSE;
    }
    BOOL GetCommState(HANDLE, DCB* dcb) override {
        std::memset(dcb, 0, sizeof *dcb);
        dcb->DCBlength = sizeof *dcb;
        return TRUE;
    }
    BOOL SetCommState(HANDLE, const DCB*) override { return TRUE; }
    BOOL SetupComm(HANDLE, DWORD, DWORD) override { return TRUE; }
    BOOL SetCommTimeouts(HANDLE, const COMMTIMEOUTS*) override { return TRUE; }
    BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) override {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto found = m_open.find(handle);
        // As the real driver does, a hang-up is reported once the bytes queued before it have been read.
        if (found == m_open.end() || (found->second.hungUp && found->second.queue.empty())) {
            ::SetLastError(ERROR_GEN_FAILURE);
            return FALSE;
        }
        if (errors != nullptr)
            *errors = 0;
        if (status != nullptr) {
            std::memset(status, 0, sizeof *status);
            status->cbInQue = static_cast<DWORD>(found->second.queue.size());
        }
        return TRUE;
    }
    BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read) override {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto found = m_open.find(handle);
        if (found == m_open.end()) {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        std::deque<char>& queue = found->second.queue;
        DWORD taken = 0;
        auto* bytes = static_cast<char*>(buffer);
        while (taken < count && !queue.empty()) {
            bytes[taken++] = queue.front();
            queue.pop_front();
        }
        *read = taken;
        return TRUE;
    }
    DWORD GetDroppedInputBytes(HANDLE) override { return 0; }
    BOOL GetVersionEx(OSVERSIONINFOA* info) override {
        info->dwPlatformId = VER_PLATFORM_WIN32_NT;
        return TRUE;
    }
    DWORD QueryDosDevice(const char*, char*, DWORD) override { return 0; }

private:
    struct OpenPort {
        std::string name;
        std::deque<char> queue;
        bool hungUp = false;
    };

    std::mutex m_lock;
    std::set<std::string> m_present;
    std::map<HANDLE, OpenPort> m_open;
    std::map<std::string, int> m_opens;
    std::uintptr_t m_nextHandle = 0x1000;
    bool m_failNextClose = false;
};
