#pragma once

#include <functional>
#include <string>

// Runs a piece of a test in a child process as an ordinary user: as the calling user when that is not root,
// otherwise as the unprivileged "nobody" account. Root passes the terminal's exclusive flag and every file
// permission, so behaviour that only an ordinary user meets must be proven this way.
struct OrdinaryUserRun {
    // False when the test runs as root and could not give up its rights; `skipReason` says why.
    bool ran = false;
    std::string skipReason;
    // What the body returned (0 for success), or 128 plus the signal that ended the child.
    int exitCode = -1;
};

// The body runs in the child; its return value becomes the child's exit code. It must not use the test
// framework's assertions (their results stay in the child); it reports a failure by returning non-zero and
// saying why on standard error.
OrdinaryUserRun RunAsOrdinaryUser(const std::function<int()>& body);

// Runs `body` in a further child process of the same user and returns its exit code (128 plus the signal
// when a signal ended it). For a second program opening the same device.
int RunInChildProcess(const std::function<int()>& body);
