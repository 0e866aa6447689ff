// The port as an ordinary user meets it: without root's rights, the terminal's exclusive flag and the
// advisory lock really keep other openers out, so they must be gone once the port is closed.
#include "comm/comm.h"
#include "support/OrdinaryUser.h"
#include "support/PseudoTerminal.h"

#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// 0 when a port object opens the device, 1 when the open is refused, 2 for any other failure.
int OpenWithPort(const std::string& path) {
    TCommPort port;
    port.SetCommPort(path);
    try {
        port.OpenCommPort();
    } catch (const ECommError& error) {
        return error.m_ErrorType == ECommError::ErrOpenPort ? 1 : 2;
    }
    port.CloseCommPort();
    return 0;
}

// Another serial tool opens the device with a plain open and takes the same advisory lock.
int OpenLikeAnotherTool(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return 1;
    const int locked = flock(fd, LOCK_EX | LOCK_NB);
    close(fd);
    return locked == 0 ? 0 : 1;
}

int Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

void ExpectRanAndPassed(const OrdinaryUserRun& run) {
    if (!run.ran)
        GTEST_SKIP() << run.skipReason;
    EXPECT_EQ(run.exitCode, 0) << "the ordinary user's run failed (its reason is on standard error)";
}

TEST(CommPortOrdinaryUser, ClosedPortOpensAgainInTheSameAndInAnotherProcess) {
    // The device end stays open throughout, as a simulated device keeps its side of the terminal open.
    ExpectRanAndPassed(RunAsOrdinaryUser([] {
        PseudoTerminal device;
        {
            TCommPort port;
            port.SetCommPort(device.path());
            port.OpenCommPort();
            port.CloseCommPort();
            try {
                port.OpenCommPort();
            } catch (const ECommError&) {
                return Fail("the same port object cannot open the port it closed");
            }
        }
        if (OpenWithPort(device.path()) != 0)
            return Fail("a second port object of the same process cannot open the closed port");
        if (RunInChildProcess([&] { return OpenWithPort(device.path()); }) != 0)
            return Fail("another process cannot open the closed port");
        if (RunInChildProcess([&] { return OpenLikeAnotherTool(device.path()); }) != 0)
            return Fail("another serial tool cannot open and lock the closed port");
        return 0;
    }));
}

TEST(CommPortOrdinaryUser, OpenPortKeepsAnotherProcessOutUntilItCloses) {
    // One process holds the port while a second one tries, then tries again after the close.
    ExpectRanAndPassed(RunAsOrdinaryUser([] {
        PseudoTerminal device;
        TCommPort port;
        port.SetCommPort(device.path());
        port.OpenCommPort();
        if (RunInChildProcess([&] { return OpenWithPort(device.path()); }) != 1)
            return Fail("another process opened a port that is held");
        if (RunInChildProcess([&] { return OpenLikeAnotherTool(device.path()); }) == 0)
            return Fail("another serial tool opened and locked a port that is held");
        port.CloseCommPort();
        if (RunInChildProcess([&] { return OpenWithPort(device.path()); }) != 0)
            return Fail("another process cannot open the port once it is closed");
        return 0;
    }));
}

} // namespace
