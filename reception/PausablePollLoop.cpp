#include "reception/PausablePollLoop.h"

void CPausablePollLoop::Starting() {
    std::lock_guard<std::mutex> guard(m_controlLock);
    m_running = true;
}

void CPausablePollLoop::Stopped() {
    {
        std::lock_guard<std::mutex> guard(m_controlLock);
        m_running = false;
    }
    m_controlSignal.notify_all();
}

void CPausablePollLoop::Pause() {
    std::unique_lock<std::mutex> guard(m_controlLock);
    m_pauseRequested = true;
    m_controlSignal.notify_all();
    m_controlSignal.wait(guard, [this] { return m_parked || !m_running; });
}

void CPausablePollLoop::Resume() {
    {
        std::lock_guard<std::mutex> guard(m_controlLock);
        m_pauseRequested = false;
    }
    m_controlSignal.notify_all();
}

void CPausablePollLoop::WakeToEnd() {
    // Taking the control lock once orders the flag before the wake-up.
    { std::lock_guard<std::mutex> guard(m_controlLock); }
    m_controlSignal.notify_all();
}

bool CPausablePollLoop::WaitWhilePaused() {
    std::unique_lock<std::mutex> guard(m_controlLock);
    if (m_pauseRequested && !m_termination.IsTerminated()) {
        m_parked = true;
        m_controlSignal.notify_all();
        m_controlSignal.wait(guard, [this] { return !m_pauseRequested || m_termination.IsTerminated(); });
        m_parked = false;
    }
    return !m_termination.IsTerminated();
}

bool CPausablePollLoop::PauseOrEndAsked() {
    std::lock_guard<std::mutex> guard(m_controlLock);
    return m_pauseRequested || m_termination.IsTerminated();
}

void CPausablePollLoop::SleepUntil(std::chrono::steady_clock::time_point wakeUp) {
    std::unique_lock<std::mutex> guard(m_controlLock);
    // A pause or the end cuts the sleep short; the pause itself is then taken at the top of the next pass.
    m_controlSignal.wait_until(guard, wakeUp,
                               [this] { return m_pauseRequested || m_termination.IsTerminated(); });
}
