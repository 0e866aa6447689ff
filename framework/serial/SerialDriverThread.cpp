#include "framework/serial/SerialDriverThread.h"

#include <mutex>
#include <utility>

namespace {

std::mutex& StartLock() {
    static std::mutex lock;
    return lock;
}

DriverThreadStart& InstalledStart() {
    static DriverThreadStart start;
    return start;
}

} // namespace

DriverThreadStart InstallDriverThreadStart(DriverThreadStart start) {
    std::lock_guard<std::mutex> guard(StartLock());
    return std::exchange(InstalledStart(), std::move(start));
}

std::thread StartDriverThread(std::function<void()> body) {
    DriverThreadStart start;
    {
        std::lock_guard<std::mutex> guard(StartLock());
        start = InstalledStart();
    }
    return start ? start(std::move(body)) : std::thread(std::move(body));
}
