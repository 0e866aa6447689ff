#include "reception/ThreadMutex.h"

namespace {

std::mutex& SharedCommThreadMutex() {
    static std::mutex commThread;
    return commThread;
}

} // namespace

CThreadMutex::CThreadMutex() : m_shared(SharedCommThreadMutex()) {}

CThreadMutex::~CThreadMutex() = default;

BOOL CThreadMutex::Lock() {
    m_shared.lock();
    return TRUE;
}

BOOL CThreadMutex::Unlock() {
    m_shared.unlock();
    return TRUE;
}

void CThreadMutex::Start() {
    Lock();
    m_threadTerminated.store(FALSE);
    Unlock();
}

void CThreadMutex::Exit() {
    Lock();
    m_threadTerminated.store(TRUE);
    Unlock();
}
