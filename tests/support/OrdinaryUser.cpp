#include "support/OrdinaryUser.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The account every Debian system has for unprivileged work.
constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;
constexpr int kCannotDropRights = 125;

int WaitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

// The child leaves with _exit, so none of the parent's clean-up (the test framework's among it) runs twice.
int RunBodyAndExit(const std::function<int()>& body) {
    int code = 1;
    try {
        code = body();
    } catch (...) {
        std::fprintf(stderr, "the child's body threw\n");
    }
    std::fflush(nullptr);
    _exit(code);
}

} // namespace

int RunInChildProcess(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0)
        RunBodyAndExit(body);
    return WaitForChild(child);
}

OrdinaryUserRun RunAsOrdinaryUser(const std::function<int()>& body) {
    OrdinaryUserRun run;
    const bool root = geteuid() == 0;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        run.skipReason = "cannot start a child process";
        return run;
    }
    if (child == 0) {
        if (root && (setgroups(0, nullptr) != 0 || setgid(kNogroup) != 0 || setuid(kNobody) != 0))
            _exit(kCannotDropRights);
        // A failed drop would leave root's rights; make sure they are gone.
        if (root && (geteuid() == 0 || setuid(0) == 0))
            _exit(kCannotDropRights);
        RunBodyAndExit(body);
    }
    run.exitCode = WaitForChild(child);
    if (run.exitCode == kCannotDropRights) {
        run.skipReason = "runs as root and cannot switch to the unprivileged account";
        return run;
    }
    run.ran = true;
    return run;
}
