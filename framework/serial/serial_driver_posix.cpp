// The POSIX serial driver behind the device calls: COM names through the port table, exclusive open, raw
// mode, the control block through termios, and the input queue that a small driver thread per port fills.
#include "framework/serial/InputQueue.h"
#include "framework/serial/InputQueueSize.h"
#include "framework/serial/PortTable.h"
#include "framework/serial/SerialDevice.h"
#include "framework/serial/SerialDriverThread.h"
#include "framework/serial/SerialTermios.h"
#include "framework/core/WinError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <set>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>
#include <system_error>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// After a read that emptied the device, the driver lets about kGatherBytes gather at the rate just seen, but
// never longer than kLongestGather, before it looks again: a device that sends in small pieces would
// otherwise wake it for each one. That much stays well inside the kernel's own buffer of a terminal (about
// 12 KB of a pseudo-terminal's), so nothing waits on the driver; and it stays below what one read returns
// (4 KB), or a read that the kernel's buffer cut short would make the next wait longer still. The rate
// counts the bytes a drain by the reader moved too, or a reader that asks often would make a fast device
// look slow. The reader does not wait for the driver: asking how many bytes are waiting first moves what
// the device holds into the queue, so the longest wait only bounds the driver's own wake-ups.
constexpr double kGatherBytes = 3072;
constexpr std::chrono::milliseconds kLongestGather{300};

BOOL FailWith(DWORD code) {
    SetLastError(code);
    return FALSE;
}

BOOL FailWithErrno() {
    return FailWith(LastErrorFromErrno(errno));
}

// Gives up an opened device: its exclusive flag, its advisory lock, its descriptor. The kernel keeps the
// flag for as long as anyone else holds the device (the other end of a pseudo-terminal, for one), and it
// would keep every later unprivileged opener out, so it is cleared before the close. The lock would go
// with the descriptor; it is let go explicitly so that the order is the same on every path.
bool ReleaseDevice(int fd) {
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    return close(fd) == 0 || errno == EINTR;
}

// A pseudo-terminal's terminal end (Unix 98 slaves, or the older BSD ones) keeps 8 data bits and no
// parity whatever it is asked.
bool IsPseudoTerminal(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned deviceMajor = major(info.st_rdev);
    return (deviceMajor >= 136 && deviceMajor <= 143) || deviceMajor == 3;
}

// Fails an open after the device was opened: releases it and leaves the cause as the last error.
HANDLE FailOpen(int fd, int error) {
    ReleaseDevice(fd);
    SetLastError(LastErrorFromErrno(error));
    return INVALID_HANDLE_VALUE;
}

// One open port: its descriptor, its input queue, its timeouts and the driver thread that moves bytes
// from the device into the queue until the port closes or the device hangs up.
class PosixPort {
public:
    // The driver thread starts filling the queue as soon as the device is open, before the caller sizes
    // it, so it starts at the least size, and sizing it later keeps what it holds.
    explicit PosixPort(int fd) : m_fd(fd), m_queue(kSmallestInputQueueBytes) {}

    // False, with the cause as the last error, when the wake-up pipe or the thread cannot be made; the
    // port then holds nothing but the device's descriptor, which the caller releases.
    bool Start() {
        if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
            SetLastError(LastErrorFromErrno(errno));
            return false;
        }
        try {
            m_thread = StartDriverThread([this] { Drive(); });
        } catch (const std::system_error&) {
            CloseWakePipe();
            // The system is out of threads or of the memory for one.
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        return true;
    }

    // Stops the driver thread and closes the descriptor, which also releases the lock on the device.
    bool Close() {
        if (m_thread.joinable()) {
            const char stop = 1;
            while (write(m_wake[1], &stop, 1) < 0 && errno == EINTR) {
            }
            m_thread.join();
        }
        CloseWakePipe();
        return ReleaseDevice(m_fd);
    }

    int Descriptor() const { return m_fd; }
    InputQueue& Queue() { return m_queue; }

    // Moves what the device holds into the queue now, unless the driver thread is reading it this moment.
    // A hang-up or a read error is left for the driver thread to see and report.
    void Drain() {
        std::unique_lock<std::mutex> reading(m_readLock, std::try_to_lock);
        if (!reading.owns_lock())
            return;
        BYTE chunk[4096];
        for (;;) {
            const ssize_t count = read(m_fd, chunk, sizeof chunk);
            if (count <= 0)
                return;
            m_queue.Push(chunk, static_cast<std::size_t>(count));
            m_deviceBytes += static_cast<std::uint64_t>(count);
            if (static_cast<std::size_t>(count) < sizeof chunk)
                return;
        }
    }

    void SetTimeouts(const COMMTIMEOUTS& timeouts) {
        std::lock_guard<std::mutex> guard(m_timeoutLock);
        m_timeouts = timeouts;
    }
    COMMTIMEOUTS Timeouts() const {
        std::lock_guard<std::mutex> guard(m_timeoutLock);
        return m_timeouts;
    }

    // Serialises the settings calls of one port, which may come from two threads.
    std::mutex& SettingsLock() { return m_settingsLock; }

private:
    void CloseWakePipe() {
        for (int& end : m_wake) {
            if (end >= 0)
                close(end);
            end = -1;
        }
    }

    void Drive() {
        BYTE chunk[4096];
        auto lastRead = std::chrono::steady_clock::now();
        std::uint64_t bytesAtLastRead = 0;
        // After bytes came, the next read comes straight away: the device most likely has more, and a read
        // that finds nothing costs less than a poll.
        bool readAtOnce = false;
        for (;;) {
            short seen = POLLIN;
            if (!readAtOnce) {
                pollfd watched[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
                if (poll(watched, 2, -1) < 0) {
                    if (errno == EINTR)
                        continue;
                    m_queue.MarkHungUp(LastErrorFromErrno(errno));
                    return;
                }
                if (watched[1].revents)
                    return;
                if (watched[0].revents & POLLNVAL) {
                    m_queue.MarkHungUp(ERROR_INVALID_HANDLE);
                    return;
                }
                if (!(watched[0].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                seen = watched[0].revents;
            }
            readAtOnce = false;
            // Read until the device is empty, so a hang-up is only seen once everything before it is queued.
            // A read and its push go together, or a drain by the reader in between would reorder the bytes.
            std::unique_lock<std::mutex> reading(m_readLock);
            const ssize_t count = read(m_fd, chunk, sizeof chunk);
            const int readError = errno;
            if (count > 0) {
                m_queue.Push(chunk, static_cast<std::size_t>(count));
                m_deviceBytes += static_cast<std::uint64_t>(count);
            }
            const std::uint64_t deviceBytes = m_deviceBytes;
            reading.unlock();
            errno = readError;
            if (count > 0) {
                const auto now = std::chrono::steady_clock::now();
                const std::chrono::duration<double, std::milli> since = now - lastRead;
                const auto arrived = static_cast<double>(deviceBytes - bytesAtLastRead);
                lastRead = now;
                bytesAtLastRead = deviceBytes;
                if (static_cast<std::size_t>(count) < sizeof chunk &&
                    Gather(std::min(since.count() * kGatherBytes / arrived,
                                    static_cast<double>(kLongestGather.count()))))
                    return;
                readAtOnce = true;
                continue;
            }
            if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
                // A hang-up with nothing left to read would otherwise wake the poll forever.
                if (!(seen & POLLHUP))
                    continue;
                m_queue.MarkHungUp(ERROR_GEN_FAILURE);
                return;
            }
            // End of input or a read error: the device is gone (unplugged, or the other side closed).
            m_queue.MarkHungUp(count == 0 ? ERROR_GEN_FAILURE : LastErrorFromErrno(errno));
            return;
        }
    }

    // Waits while bytes gather; TRUE when the port is closing meanwhile.
    bool Gather(double milliseconds) {
        const int wait = static_cast<int>(milliseconds);
        if (wait <= 0)
            return false;
        pollfd wake{m_wake[0], POLLIN, 0};
        return poll(&wake, 1, wait) > 0;
    }

    int m_fd;
    int m_wake[2] = {-1, -1};
    InputQueue m_queue;
    std::thread m_thread;
    std::mutex m_readLock; // held by whoever reads the device, from the read until its bytes are queued
    std::uint64_t m_deviceBytes = 0; // read from the device so far, by the driver or a drain; under m_readLock
    mutable std::mutex m_timeoutLock;
    COMMTIMEOUTS m_timeouts{};
    std::mutex m_settingsLock;
};

// Handles are the addresses of live ports; a handle that is not in the set is refused rather than used.
class PortRegistry {
public:
    void Add(PosixPort* port) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_ports.insert(port);
    }
    PosixPort* Find(HANDLE handle) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto* port = static_cast<PosixPort*>(handle);
        return m_ports.count(port) ? port : nullptr;
    }
    bool Remove(HANDLE handle) {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_ports.erase(static_cast<PosixPort*>(handle)) > 0;
    }

private:
    std::mutex m_lock;
    std::set<PosixPort*> m_ports;
};

PortRegistry& Registry() {
    static PortRegistry registry;
    return registry;
}

class PosixDevice final : public SerialDevice {
public:
    HANDLE CreateFile(const char* name, DWORD access, DWORD shareMode, DWORD creation, DWORD flags) override {
        (void)access;
        (void)shareMode;
        (void)flags;
        if (!name || creation != OPEN_EXISTING) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        const std::string device = ResolvePortName(name, SystemPortTable());
        if (device.empty()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            SetLastError(LastErrorFromErrno(errno));
            return INVALID_HANDLE_VALUE;
        }
        // Serial tools agree on an advisory lock; a port someone holds counts as busy.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            close(fd);
            SetLastError(error == EWOULDBLOCK ? ERROR_ACCESS_DENIED : LastErrorFromErrno(error));
            return INVALID_HANDLE_VALUE;
        }
        termios settings{};
        if (tcgetattr(fd, &settings) == 0) {
            // Also refuse later openers that do not lock; the lock alone already makes this open exclusive,
            // so a terminal that cannot do it is still usable.
            ioctl(fd, TIOCEXCL);
            MakeRaw(settings);
            if (tcsetattr(fd, TCSANOW, &settings) != 0)
                return FailOpen(fd, errno);
        }
        auto port = std::make_unique<PosixPort>(fd);
        if (!port->Start()) {
            const DWORD error = GetLastError();
            ReleaseDevice(fd);
            SetLastError(error);
            return INVALID_HANDLE_VALUE;
        }
        Registry().Add(port.get());
        return port.release();
    }

    BOOL CloseHandle(HANDLE handle) override {
        if (!Registry().Remove(handle))
            return FailWith(ERROR_INVALID_HANDLE);
        std::unique_ptr<PosixPort> port(static_cast<PosixPort*>(handle));
        return port->Close() ? TRUE : FailWithErrno();
    }

    BOOL GetCommState(HANDLE handle, DCB* dcb) override {
        PosixPort* port = Registry().Find(handle);
        if (!port)
            return FailWith(ERROR_INVALID_HANDLE);
        if (!dcb)
            return FailWith(ERROR_INVALID_PARAMETER);
        std::lock_guard<std::mutex> guard(port->SettingsLock());
        termios settings{};
        if (tcgetattr(port->Descriptor(), &settings) != 0)
            return FailWithErrno();
        DWORD rate = RateOfSpeedCode(cfgetospeed(&settings));
        if (rate == 0 && !GetCustomBaudRate(port->Descriptor(), rate))
            return FailWithErrno();
        TermiosToDcb(settings, rate, *dcb);
        return TRUE;
    }

    BOOL SetCommState(HANDLE handle, const DCB* dcb) override {
        PosixPort* port = Registry().Find(handle);
        if (!port)
            return FailWith(ERROR_INVALID_HANDLE);
        if (!dcb)
            return FailWith(ERROR_INVALID_PARAMETER);
        std::lock_guard<std::mutex> guard(port->SettingsLock());
        const int fd = port->Descriptor();
        termios previous{};
        if (tcgetattr(fd, &previous) != 0)
            return FailWithErrno();
        termios settings = previous;
        bool customRate = false;
        if (!DcbToTermios(*dcb, settings, customRate))
            return FailWith(ERROR_INVALID_PARAMETER);
        // The C library reports a failure when a pseudo-terminal silently keeps its 8 data bits, unless the
        // speed changed in the same call, and a real driver may silently keep what it cannot do: what
        // counts is what the device holds afterwards.
        const bool applied = tcsetattr(fd, TCSANOW, &settings) == 0;
        if (!applied && errno != EINVAL)
            return FailWithErrno();
        const int refusal = applied ? EINVAL : errno;
        termios actual{};
        if (tcgetattr(fd, &actual) != 0)
            return FailWithErrno();
        if (!SettingsHeld(settings, actual, IsPseudoTerminal(fd), customRate)) {
            tcsetattr(fd, TCSANOW, &previous);
            return FailWith(LastErrorFromErrno(refusal));
        }
        if (customRate && !SetCustomBaudRate(fd, dcb->BaudRate)) {
            // A refused rate leaves the port as it was, not half configured.
            const int error = errno;
            tcsetattr(fd, TCSANOW, &previous);
            return FailWith(LastErrorFromErrno(error));
        }
        return TRUE;
    }

    BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) override {
        (void)outQueue; // Nothing is ever written to the device, so there is no output queue to size.
        PosixPort* port = Registry().Find(handle);
        if (!port)
            return FailWith(ERROR_INVALID_HANDLE);
        if (inQueue == 0)
            return FailWith(ERROR_INVALID_PARAMETER);
        port->Queue().Resize(InputQueueCapacity(inQueue));
        return TRUE;
    }

    BOOL SetCommTimeouts(HANDLE handle, const COMMTIMEOUTS* timeouts) override {
        PosixPort* port = Registry().Find(handle);
        if (!port)
            return FailWith(ERROR_INVALID_HANDLE);
        if (!timeouts)
            return FailWith(ERROR_INVALID_PARAMETER);
        port->SetTimeouts(*timeouts);
        return TRUE;
    }

    BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) override {
        PosixPort* port = Registry().Find(handle);
        if (!port)
            return FailWith(ERROR_INVALID_HANDLE);
        port->Drain();
        DWORD fill = 0;
        DWORD failure = 0;
        if (!port->Queue().Query(&fill, errors, &failure))
            return FailWith(failure);
        if (status) {
            *status = COMSTAT{};
            status->cbInQue = fill;
        }
        return TRUE;
    }

    BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read) override {
        PosixPort* port = Registry().Find(handle);
        if (!port)
            return FailWith(ERROR_INVALID_HANDLE);
        if (!buffer && count > 0)
            return FailWith(ERROR_INVALID_PARAMETER);
        std::size_t taken = 0;
        DWORD failure = 0;
        if (!port->Queue().Read(static_cast<BYTE*>(buffer), count, port->Timeouts(), &taken, &failure))
            return FailWith(failure);
        if (read)
            *read = static_cast<DWORD>(taken);
        return TRUE;
    }

    DWORD GetDroppedInputBytes(HANDLE handle) override {
        PosixPort* port = Registry().Find(handle);
        return port ? port->Queue().Dropped() : 0;
    }

    BOOL GetVersionEx(OSVERSIONINFOA* info) override {
        if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
            return FailWith(ERROR_INVALID_PARAMETER);
        utsname system{};
        unsigned major = 0;
        unsigned minor = 0;
        if (uname(&system) == 0)
            std::sscanf(system.release, "%u.%u", &major, &minor);
        info->dwMajorVersion = major;
        info->dwMinorVersion = minor;
        info->dwBuildNumber = 0;
        std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
        // Where the system lists its devices, ports are known from the device table; elsewhere they can
        // only be found by trying to open each one, as on the older platform family.
        bool tableRead = false;
        SystemPortTable(&tableRead);
        info->dwPlatformId = tableRead ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
        return TRUE;
    }

    DWORD QueryDosDevice(const char* deviceName, char* targetPath, DWORD maxChars) override {
        bool tableRead = false;
        const std::vector<PortEntry> table = SystemPortTable(&tableRead);
        std::string run;
        if (deviceName) {
            const std::string device = ResolvePortName(deviceName, table);
            if (device.empty() || device == deviceName) {
                SetLastError(ERROR_FILE_NOT_FOUND);
                return 0;
            }
            run = device + '\0';
        } else {
            if (!tableRead) {
                SetLastError(ERROR_PATH_NOT_FOUND);
                return 0;
            }
            for (const PortEntry& entry : table) {
                if (PortDevicePresent(entry) || PortNameAwaited(entry.name))
                    run += entry.name + '\0';
            }
        }
        run += '\0';
        if (!targetPath || run.size() > maxChars) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(targetPath, run.data(), run.size());
        return static_cast<DWORD>(run.size());
    }
};

} // namespace

SerialDevice& PosixSerialDevice() {
    static PosixDevice device;
    return device;
}
