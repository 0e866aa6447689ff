#include "framework/serial/serial_device_posix.h"

#include "framework/serial/InputQueueSize.h"
#include "framework/serial/PortTable.h"
#include "framework/serial/SerialTermios.h"
#include "framework/serial/serial_port_posix.h"
#include "framework/serial/serial_port_remote.h"

#include <fcntl.h>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

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
    SetLastErrorFromErrno(error);
    return INVALID_HANDLE_VALUE;
}

// Handles are the addresses of live ports; a handle that is not in the set is refused rather than used.
template <typename Port> class HandleRegistry {
public:
    void Add(Port* port) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_ports.insert(port);
    }
    Port* Find(HANDLE handle) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto* port = static_cast<Port*>(handle);
        return m_ports.count(port) ? port : nullptr;
    }
    bool Remove(HANDLE handle) {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_ports.erase(static_cast<Port*>(handle)) > 0;
    }

private:
    std::mutex m_lock;
    std::set<Port*> m_ports;
};

HandleRegistry<PosixPort>& Registry() {
    static HandleRegistry<PosixPort> registry;
    return registry;
}

// The ports on other machines.
HandleRegistry<RemotePort>& Remotes() {
    static HandleRegistry<RemotePort> registry;
    return registry;
}

HANDLE OpenRemote(const RemoteAddress& address) {
    auto port = std::make_unique<RemotePort>(address);
    if (!port->Open())
        return INVALID_HANDLE_VALUE;
    Remotes().Add(port.get());
    return port.release();
}

// A remote port's failure carries its reason in words.
BOOL FailRemote(RemotePort& port, DWORD failure) {
    SetLastError(failure, 0, port.HangUpReason());
    return FALSE;
}

} // namespace

HANDLE PosixDevice::CreateFile(const char* name, DWORD access, DWORD shareMode, DWORD creation, DWORD flags) {
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
    RemoteAddress remote;
    if (ParseRemotePortName(device, remote))
        return OpenRemote(remote);
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    // Serial tools agree on an advisory lock; a port someone holds counts as busy.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        // Another holder's lock: the port is busy.
        if (error == EWOULDBLOCK)
            SetLastError(ERROR_ACCESS_DENIED, EBUSY);
        else
            SetLastErrorFromErrno(error);
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
        const int errnoValue = GetLastErrno();
        ReleaseDevice(fd);
        SetLastError(error, errnoValue);
        return INVALID_HANDLE_VALUE;
    }
    Registry().Add(port.get());
    return port.release();
}

BOOL PosixDevice::CloseHandle(HANDLE handle) {
    if (Remotes().Remove(handle)) {
        std::unique_ptr<RemotePort> port(static_cast<RemotePort*>(handle));
        return port->Close() ? TRUE : FailWithErrno();
    }
    if (!Registry().Remove(handle))
        return FailWith(ERROR_INVALID_HANDLE);
    std::unique_ptr<PosixPort> port(static_cast<PosixPort*>(handle));
    return port->Close() ? TRUE : FailWithErrno();
}

BOOL PosixDevice::GetCommState(HANDLE handle, DCB* dcb) {
    if (RemotePort* remote = Remotes().Find(handle)) {
        if (!dcb)
            return FailWith(ERROR_INVALID_PARAMETER);
        remote->GetState(*dcb);
        return TRUE;
    }
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

BOOL PosixDevice::SetCommState(HANDLE handle, const DCB* dcb) {
    if (RemotePort* remote = Remotes().Find(handle)) {
        if (!dcb)
            return FailWith(ERROR_INVALID_PARAMETER);
        return remote->SetState(*dcb) ? TRUE : FALSE;
    }
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
        return FailWithErrno(refusal);
    }
    if (customRate && !SetCustomBaudRate(fd, dcb->BaudRate)) {
        // A refused rate leaves the port as it was, not half configured.
        const int error = errno;
        tcsetattr(fd, TCSANOW, &previous);
        return FailWithErrno(error);
    }
    return TRUE;
}

BOOL PosixDevice::SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) {
    (void)outQueue; // Nothing is ever written to the device, so there is no output queue to size.
    if (RemotePort* remote = Remotes().Find(handle)) {
        if (inQueue == 0)
            return FailWith(ERROR_INVALID_PARAMETER);
        remote->Queue().Resize(InputQueueCapacity(inQueue));
        return TRUE;
    }
    PosixPort* port = Registry().Find(handle);
    if (!port)
        return FailWith(ERROR_INVALID_HANDLE);
    if (inQueue == 0)
        return FailWith(ERROR_INVALID_PARAMETER);
    port->Queue().Resize(InputQueueCapacity(inQueue));
    return TRUE;
}

BOOL PosixDevice::SetCommTimeouts(HANDLE handle, const COMMTIMEOUTS* timeouts) {
    if (RemotePort* remote = Remotes().Find(handle)) {
        if (!timeouts)
            return FailWith(ERROR_INVALID_PARAMETER);
        remote->SetTimeouts(*timeouts);
        return TRUE;
    }
    PosixPort* port = Registry().Find(handle);
    if (!port)
        return FailWith(ERROR_INVALID_HANDLE);
    if (!timeouts)
        return FailWith(ERROR_INVALID_PARAMETER);
    port->SetTimeouts(*timeouts);
    return TRUE;
}

BOOL PosixDevice::ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) {
    if (RemotePort* remote = Remotes().Find(handle)) {
        DWORD fill = 0;
        DWORD failure = 0;
        if (!remote->Queue().Query(&fill, errors, &failure))
            return FailRemote(*remote, failure);
        if (status) {
            *status = COMSTAT{};
            status->cbInQue = fill;
        }
        return TRUE;
    }
    PosixPort* port = Registry().Find(handle);
    if (!port)
        return FailWith(ERROR_INVALID_HANDLE);
    port->Drain();
    DWORD fill = 0;
    DWORD failure = 0;
    if (!port->Queue().Query(&fill, errors, &failure)) {
        SetLastError(failure, port->Queue().HangUpErrno());
        return FALSE;
    }
    if (status) {
        *status = COMSTAT{};
        status->cbInQue = fill;
    }
    return TRUE;
}

BOOL PosixDevice::ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read) {
    if (RemotePort* remote = Remotes().Find(handle)) {
        if (!buffer && count > 0)
            return FailWith(ERROR_INVALID_PARAMETER);
        std::size_t taken = 0;
        DWORD failure = 0;
        if (!remote->Queue().Read(static_cast<BYTE*>(buffer), count, remote->Timeouts(), &taken, &failure))
            return FailRemote(*remote, failure);
        if (read)
            *read = static_cast<DWORD>(taken);
        return TRUE;
    }
    PosixPort* port = Registry().Find(handle);
    if (!port)
        return FailWith(ERROR_INVALID_HANDLE);
    if (!buffer && count > 0)
        return FailWith(ERROR_INVALID_PARAMETER);
    std::size_t taken = 0;
    DWORD failure = 0;
    if (!port->Queue().Read(static_cast<BYTE*>(buffer), count, port->Timeouts(), &taken, &failure)) {
        SetLastError(failure, port->Queue().HangUpErrno());
        return FALSE;
    }
    if (read)
        *read = static_cast<DWORD>(taken);
    return TRUE;
}

DWORD PosixDevice::GetDroppedInputBytes(HANDLE handle) {
    if (RemotePort* remote = Remotes().Find(handle))
        return remote->Queue().Dropped();
    PosixPort* port = Registry().Find(handle);
    return port ? port->Queue().Dropped() : 0;
}

SerialDevice& PosixSerialDevice() {
    static PosixDevice device;
    return device;
}
