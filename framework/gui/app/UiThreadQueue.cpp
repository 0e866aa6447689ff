#include "framework/gui/app/UiThreadQueue.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>

namespace {

std::mutex queueLock;
std::deque<std::function<void()>> pending; // guarded by queueLock
bool accepting = false;                    // guarded by queueLock: a loop watches the counter
// The counter stays for the life of the process; each application gets a notifier of its own.
const int wakeCounter = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
QPointer<QSocketNotifier> watcher; // user-interface thread only

void RunPending() {
    std::uint64_t count = 0;
    // Only resets the counter; a failed read (nothing there) changes nothing.
    if (read(wakeCounter, &count, sizeof count) < 0)
        count = 0;
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> guard(queueLock);
        batch.swap(pending);
    }
    for (auto& work : batch)
        work();
}

void StopAccepting() {
    std::deque<std::function<void()>> dropped;
    std::lock_guard<std::mutex> guard(queueLock);
    accepting = false;
    dropped.swap(pending);
}

} // namespace

void AfxStartUiThreadQueue() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || wakeCounter < 0 || watcher != nullptr)
        return;
    // A child of the application: it goes with it, and queued work with it.
    watcher = new QSocketNotifier(wakeCounter, QSocketNotifier::Read, app);
    QObject::connect(watcher.data(), &QSocketNotifier::activated, watcher.data(), &RunPending);
    QObject::connect(watcher.data(), &QObject::destroyed, &StopAccepting);
    std::lock_guard<std::mutex> guard(queueLock);
    accepting = true;
}

bool AfxRunOnUiThread(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> guard(queueLock);
        if (!accepting)
            return false;
        pending.push_back(std::move(work));
    }
    const std::uint64_t one = 1;
    // Fails only when the counter is full, and then a wake-up is pending anyway.
    const ssize_t written = write(wakeCounter, &one, sizeof one);
    static_cast<void>(written);
    return true;
}
