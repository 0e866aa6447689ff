#pragma once

// One open port of the POSIX serial driver: the device's descriptor, its input queue and timeouts, and the
// driver thread that moves bytes from the device into the queue until the port closes or the device hangs
// up.
#include "framework/core/WinTypes.h"
#include "framework/serial/Dcb.h"
#include "framework/serial/InputQueue.h"

#include <cstdint>
#include <mutex>
#include <thread>

// Gives up an opened device: its exclusive flag, its advisory lock, its descriptor. False when the close
// failed, with errno telling why.
bool ReleaseDevice(int fd);

class PosixPort {
public:
    explicit PosixPort(int fd);
    PosixPort(const PosixPort&) = delete;
    PosixPort& operator=(const PosixPort&) = delete;

    // False, with the cause as the last error, when the wake-up pipe or the thread cannot be made; the
    // port then holds nothing but the device's descriptor, which the caller releases.
    bool Start();
    // Stops the driver thread and closes the descriptor, which also releases the lock on the device.
    bool Close();

    int Descriptor() const { return m_fd; }
    InputQueue& Queue() { return m_queue; }

    // Moves what the device holds into the queue now, unless the driver thread is reading it this moment.
    // A hang-up or a read error is left for the driver thread to see and report.
    void Drain();

    void SetTimeouts(const COMMTIMEOUTS& timeouts);
    COMMTIMEOUTS Timeouts() const;

    // Serialises the settings calls of one port, which may come from two threads.
    std::mutex& SettingsLock() { return m_settingsLock; }

private:
    void CloseWakePipe();
    // The driver thread's body.
    void Drive();
    // Waits while bytes gather; true when the port is closing meanwhile.
    bool Gather(double milliseconds);

    int m_fd;
    int m_wake[2] = {-1, -1};
    InputQueue m_queue;
    std::thread m_thread;
    std::mutex m_readLock; // held by whoever reads the device, from the read until its bytes are queued
    // Read from the device so far, by the driver or a drain; under m_readLock.
    std::uint64_t m_deviceBytes = 0;
    mutable std::mutex m_timeoutLock;
    COMMTIMEOUTS m_timeouts{};
    std::mutex m_settingsLock;
};
