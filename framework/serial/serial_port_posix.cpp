#include "framework/serial/serial_port_posix.h"

#include "framework/core/ThreadName.h"
#include "framework/core/WinError.h"
#include "framework/serial/InputQueueSize.h"
#include "framework/serial/SerialDriverThread.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <system_error>
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

} // namespace

// The kernel keeps the exclusive flag for as long as anyone else holds the device (the other end of a
// pseudo-terminal, for one), and it would keep every later unprivileged opener out, so it is cleared before
// the close. The lock would go with the descriptor; it is let go explicitly so that the order is the same
// on every path.
bool ReleaseDevice(int fd) {
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    return close(fd) == 0 || errno == EINTR;
}

// The driver thread starts filling the queue as soon as the device is open, before the caller sizes it, so
// it starts at the least size, and sizing it later keeps what it holds.
PosixPort::PosixPort(int fd) : m_fd(fd), m_queue(kSmallestInputQueueBytes) {}

bool PosixPort::Start() {
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    try {
        m_thread = StartDriverThread([this] {
            NameCurrentThread("serial-driver");
            Drive();
        });
    } catch (const std::system_error&) {
        CloseWakePipe();
        // The system is out of threads or of the memory for one.
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

bool PosixPort::Close() {
    if (m_thread.joinable()) {
        const char stop = 1;
        while (write(m_wake[1], &stop, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    CloseWakePipe();
    return ReleaseDevice(m_fd);
}

void PosixPort::Drain() {
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

void PosixPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
    std::lock_guard<std::mutex> guard(m_timeoutLock);
    m_timeouts = timeouts;
}

COMMTIMEOUTS PosixPort::Timeouts() const {
    std::lock_guard<std::mutex> guard(m_timeoutLock);
    return m_timeouts;
}

void PosixPort::CloseWakePipe() {
    for (int& end : m_wake) {
        if (end >= 0)
            close(end);
        end = -1;
    }
}

void PosixPort::Drive() {
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
                const int pollErrno = errno;
                m_queue.MarkHungUp(LastErrorFromErrno(pollErrno), pollErrno);
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
        const int hangUpErrno = count == 0 ? 0 : errno;
        m_queue.MarkHungUp(count == 0 ? ERROR_GEN_FAILURE : LastErrorFromErrno(hangUpErrno), hangUpErrno);
        return;
    }
}

bool PosixPort::Gather(double milliseconds) {
    const int wait = static_cast<int>(milliseconds);
    if (wait <= 0)
        return false;
    pollfd wake{m_wake[0], POLLIN, 0};
    return poll(&wake, 1, wait) > 0;
}
