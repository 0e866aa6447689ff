// The port on real pseudo-terminals: one made here when the test must see the device end, and the
// simulated device when a stream or a hang-up is needed.
#include "comm/comm.h"
#include "framework/core/WinError.h"
#include "support/SimDevice.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// The device end of a pseudo-terminal made by the test; the port opens its terminal path.
class DeviceEnd {
public:
    DeviceEnd() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(m_master, 0);
        grantpt(m_master);
        unlockpt(m_master);
        m_path = ptsname(m_master);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~DeviceEnd() { close(m_master); }
    const std::string& path() const { return m_path; }
    int Master() const { return m_master; }
    void write(const std::string& bytes) {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Whatever the terminal end sent back to the device.
    std::string echoed() {
        std::string out;
        char buffer[256];
        ssize_t count;
        while ((count = read(m_master, buffer, sizeof buffer)) > 0)
            out.append(buffer, static_cast<std::size_t>(count));
        return out;
    }

private:
    int m_master = -1;
    std::string m_path;
};

// Waits, within a generous margin, until the port reports at least `count` bytes waiting.
DWORD WaitForBytes(TCommPort& port, DWORD count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    DWORD waiting = 0;
    while ((waiting = port.BytesAvailable()) < count && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return waiting;
}

TEST(CommPortPty, RawModeDeliversControlBytesUnchangedAndEchoesNothing) {
    DeviceEnd device;
    TCommPort port;
    port.SetCommPort(device.path());
    port.OpenCommPort();
    // XON (0x11) and XOFF (0x13) from the device are data too: nothing is sent, so nothing is paused.
    const std::string sent("a\rb\0c\xff\x03\x1a\n\x7f\x1b\x11\x13z", 14);
    device.write(sent);
    ASSERT_EQ(WaitForBytes(port, 14), 14u);
    std::string received(15, 'x');
    EXPECT_EQ(port.ReadBytes(&received[0], 15), 14);
    EXPECT_EQ(received.substr(0, 14), sent);
    EXPECT_EQ(received[14], '\0');
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(device.echoed(), "");
    EXPECT_EQ(port.BytesAvailable(), 0u);
}

TEST(CommPortPty, FirstOpenAppliesTheDefaultsAndChangesTakeEffect) {
    DeviceEnd device;
    TCommPort port;
    port.SetCommPort(device.path());
    port.OpenCommPort();
    termios settings{};
    const int fd = open(device.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) { // only a privileged user gets past the exclusive flag
        ASSERT_EQ(tcgetattr(fd, &settings), 0);
        EXPECT_EQ(cfgetospeed(&settings), B9600);
        EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB), 0u);
        EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
        close(fd);
    }
    port.SetBaudRate(115200);
    port.SetBaudRate(250000); // a rate without a speed constant
    EXPECT_EQ(port.GetBaudRate(), 250000u);
    std::string description;
    port.GetCommDescription(description);
    EXPECT_EQ(description, "Port: " + device.path() + ", 250000, 8, NONE, 1 stop bit");
}

TEST(CommPortPty, SecondOpenOfAHeldPortFailsAsOpenError) {
    DeviceEnd device;
    TCommPort first;
    first.SetCommPort(device.path());
    first.OpenCommPort();
    TCommPort second;
    second.SetCommPort(device.path());
    try {
        second.OpenCommPort();
        FAIL() << "the second open succeeded";
    } catch (const ECommError& error) {
        EXPECT_EQ(error.m_ErrorType, ECommError::ErrOpenPort);
        EXPECT_EQ(error.m_LastError, ERROR_ACCESS_DENIED);
    }
    EXPECT_FALSE(second.m_CommOpen);
    first.CloseCommPort();
    second.OpenCommPort(); // free again once the first let go
    EXPECT_TRUE(second.m_CommOpen);
}

TEST(CommPortPty, AbsentPortFailsAsOpenError) {
    TempDir ports;
    setenv("KESTRUNE_PORTS", ports.path().c_str(), 1);
    TCommPort port;
    port.SetCommPort("COM77");
    try {
        port.OpenCommPort();
        FAIL() << "an absent port opened";
    } catch (const ECommError& error) {
        EXPECT_EQ(error.m_ErrorType, ECommError::ErrOpenPort);
        EXPECT_EQ(error.m_LastError, ERROR_FILE_NOT_FOUND);
    }
    unsetenv("KESTRUNE_PORTS");
}

TEST(CommPortPty, QueueHoldsFarMoreThanTheKernelReports) {
    // The simulated device writes 30 KB at once while the port's driver thread fills the queue.
    SimDevice sim(21, {"--pattern", "--rate", "0", "--count", "30720"});
    TCommPort port;
    port.SetCommPort(sim.comName());
    port.OpenCommPort();
    const DWORD waiting = WaitForBytes(port, 30720);
    EXPECT_EQ(waiting, 30720u);
    EXPECT_GT(waiting, 4095u);
    std::string received(30720, '\0');
    EXPECT_EQ(port.ReadBytes(&received[0], 30720), 30720);
    EXPECT_EQ(received.substr(0, 64), "00000000 ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0\r\n");
    EXPECT_EQ(received.substr(30720 - 64, 9), "00000479 ");
    EXPECT_EQ(port.GetDroppedBytes(), 0u);
}

TEST(CommPortPty, UnpluggedDeviceFailsTheQueryOnceQueuedBytesAreRead) {
    // The simulated device prints demo lines, is unplugged while the port is open, then comes back.
    SimDevice sim(22);
    TCommPort port;
    port.SetCommPort(sim.comName());
    port.OpenCommPort();
    ASSERT_GT(WaitForBytes(port, 1), 0u);
    sim.unplug();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool failed = false;
    std::string buffer(32768, '\0');
    while (!failed && std::chrono::steady_clock::now() < deadline) {
        try {
            const DWORD waiting = port.BytesAvailable();
            if (waiting > 0) {
                EXPECT_EQ(port.ReadBytes(&buffer[0], waiting), static_cast<LONG>(waiting));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } catch (const ECommError& error) {
            EXPECT_EQ(error.m_ErrorType, ECommError::ErrClearCommError);
            failed = true;
        }
    }
    EXPECT_TRUE(failed);
    port.CloseCommPort();
    sim.replug();
    port.OpenCommPort();
    EXPECT_GT(WaitForBytes(port, 1), 0u);
}

TEST(CommPortPty, BytesAreWaitingAsSoonAsTheyArriveAndKeepTheirOrderUnderConstantAsking) {
    DeviceEnd device;
    TCommPort port;
    port.SetCommPort(device.path());
    port.OpenCommPort();
    // The driver reads the first piece, then lets a slow device's bytes gather for a while: the second
    // piece is still counted the moment it is asked for.
    device.write("first ");
    ASSERT_EQ(WaitForBytes(port, 6), 6u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    device.write("second");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(port.BytesAvailable(), 12u);
    std::string received(12, '\0');
    ASSERT_EQ(port.ReadBytes(&received[0], 12), 12);
    EXPECT_EQ(received, "first second");

    // A fast stream while the reader asks all the time: the asking and the driver read the device by
    // turns, and no byte changes place.
    std::string sent;
    for (int i = 0; sent.size() < 400000; ++i)
        sent += std::to_string(i) + ",";
    std::thread writer([&] {
        for (std::size_t at = 0; at < sent.size();) {
            const ssize_t count =
                ::write(device.Master(), sent.data() + at, std::min<std::size_t>(700, sent.size() - at));
            if (count > 0)
                at += static_cast<std::size_t>(count);
            else
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (got.size() < sent.size() && std::chrono::steady_clock::now() < deadline) {
        const DWORD waiting = port.BytesAvailable();
        if (waiting == 0)
            continue;
        std::string piece(waiting, '\0');
        const LONG read = port.ReadBytes(&piece[0], waiting);
        got.append(piece, 0, read > 0 ? static_cast<std::size_t>(read) : 0);
    }
    writer.join();
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent) << "the stream differs from byte "
                             << std::mismatch(got.begin(), got.end(), sent.begin()).first - got.begin();
}

} // namespace
