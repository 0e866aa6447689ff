#include "reception/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

void RaiseCurrentThreadPriority() {
    // On Linux the nice value belongs to each thread, addressed by its kernel thread id. A lower value is a
    // higher priority; raising it needs a privilege most users lack, so a refusal is expected and ignored.
    const auto threadId = static_cast<id_t>(syscall(SYS_gettid));
    const int current = getpriority(PRIO_PROCESS, threadId);
    (void)setpriority(PRIO_PROCESS, threadId, current - 5);
}
