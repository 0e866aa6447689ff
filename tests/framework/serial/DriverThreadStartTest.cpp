// A port whose driver thread cannot start, as when the system is out of threads.
#include "comm/comm.h"
#include "framework/core/WinError.h"
#include "framework/serial/SerialDriverThread.h"
#include "support/PseudoTerminal.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace {

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr)
            ++count;
        closedir(dir);
    }
    return count;
}

// Refuses every driver thread for its lifetime.
class RefusedThreads {
public:
    RefusedThreads() {
        m_previous = InstallDriverThreadStart([](std::function<void()>) -> std::thread {
            throw std::system_error(EAGAIN, std::generic_category(), "no thread");
        });
    }
    ~RefusedThreads() { InstallDriverThreadStart(m_previous); }

private:
    DriverThreadStart m_previous;
};

TEST(DriverThreadStart, RefusedThreadFailsTheOpenAndReleasesTheDevice) {
    PseudoTerminal device;
    TCommPort port;
    port.SetCommPort(device.path());
    const int before = OpenDescriptors();
    {
        RefusedThreads refused;
        try {
            port.OpenCommPort();
            FAIL() << "the port opened without its driver thread";
        } catch (const ECommError& error) {
            EXPECT_EQ(error.m_ErrorType, ECommError::ErrOpenPort);
            EXPECT_EQ(error.m_LastError, ERROR_NOT_ENOUGH_MEMORY);
        }
    }
    EXPECT_FALSE(port.m_CommOpen);
    EXPECT_EQ(OpenDescriptors(), before) << "the device's descriptor or the wake-up pipe leaked";

    // Nobody holds the advisory lock any more, and the port opens once threads start again.
    const int other = open(device.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    close(other);
    port.OpenCommPort();
    EXPECT_TRUE(port.m_CommOpen);
}

} // namespace
