#pragma once

#include "framework/core/WinTypes.h"

#include <atomic>
#include <mutex>

// The one lock over every window's text buffer and its termination flag. All objects of the process share
// the same mutex, named "CommThread"; nothing is shared with other processes, since a lock that another
// running copy could hold or abandon would only stall this one.
class CThreadMutex {
public:
    CThreadMutex();
    virtual ~CThreadMutex();
    CThreadMutex(const CThreadMutex&) = delete;
    CThreadMutex& operator=(const CThreadMutex&) = delete;

    // Waits without limit.
    BOOL Lock();
    BOOL Unlock();

    void Start();
    void Exit();
    // Read without the lock; the flag itself is atomic so the read is well defined.
    BOOL IsTerminated() const { return m_threadTerminated.load(); }

private:
    std::mutex& m_shared;
    std::atomic<BOOL> m_threadTerminated{FALSE};
};

// Holds the buffer lock for a scope, so that a copy that throws (out of memory) never leaves it locked.
class BufferLock {
public:
    explicit BufferLock(CThreadMutex& mutex) : m_mutex(mutex) { m_mutex.Lock(); }
    ~BufferLock() { m_mutex.Unlock(); }
    BufferLock(const BufferLock&) = delete;
    BufferLock& operator=(const BufferLock&) = delete;

private:
    CThreadMutex& m_mutex;
};
