#pragma once

#include "reception/ThreadMutex.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

// The control of a polling thread that other threads may pause and end. Pausing is cooperative: the
// thread parks only where it asks (WaitWhilePaused at the top of a pass) or in its sleep, never inside its
// work. The end is the termination flag of the thread's CThreadMutex; a pause or the end cuts a sleep short.
class CPausablePollLoop {
public:
    explicit CPausablePollLoop(const CThreadMutex& termination) : m_termination(termination) {}
    CPausablePollLoop(const CPausablePollLoop&) = delete;
    CPausablePollLoop& operator=(const CPausablePollLoop&) = delete;

    // The thread is about to start; until Stopped, a pause waits for it to park.
    void Starting();
    // The thread has ended, or never started; a pause no longer waits for it.
    void Stopped();

    // Asks the thread to park and returns once it has (or once it is not running).
    void Pause();
    // Ends any pause.
    void Resume();
    // Wakes the thread after the termination flag was set, so that a thread about to sleep cannot miss it.
    void WakeToEnd();

    // On the polling thread: parks while a pause is asked; false once the loop should end.
    bool WaitWhilePaused();
    // Whether a pause or the end is asked; the polling thread gives up long work (connecting) on it.
    bool PauseOrEndAsked();
    // On the polling thread: sleeps until wakeUp, or until a pause or the end is asked.
    void SleepUntil(std::chrono::steady_clock::time_point wakeUp);

private:
    const CThreadMutex& m_termination;
    std::mutex m_controlLock;
    std::condition_variable m_controlSignal;
    bool m_pauseRequested = false;
    bool m_parked = false;
    bool m_running = false;
};
