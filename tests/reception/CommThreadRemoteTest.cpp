#include "reception/CommThread.h"

#include "LevelOneLog.h"
#include "support/MessageRecorder.h"
#include "support/PresentedBoxes.h"
#include "support/Ser2Net.h"
#include "support/SimDevice.h"
#include "support/TempDir.h"
#include "tools/kestrune-sim/Streams.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

// A window on a serial port that ser2net shares over the network, in front of the simulated device:
// the bytes, the settings, a server that goes away and comes back, and servers that cannot be reached.

namespace {

constexpr HWND kWindow = 0x75;

TermSettingRec PlainSetting() {
    TermSettingRec setting;
    setting.nbMaxiByte = 0;
    setting.timestampInterval = 100;
    return setting;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

CString WaitForSize(CCommThread& thread, std::size_t size, std::chrono::seconds limit) {
    CString data;
    WaitFor(
        [&] {
            thread.GetData(data);
            return data.size() >= size;
        },
        limit);
    return data;
}

// Every byte value, 0xFF next to itself too (what telnet escapes), in a sequence that does not repeat
// every 256 bytes.
std::string EveryByteValue(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i % 512 < 256 ? i : 0xFF) + i / 512);
    return bytes;
}

// The simulated device sending a file's bytes as fast as they are taken, behind ser2net.
struct RemoteDevice {
    RemoteDevice(unsigned number, const std::vector<std::string>& mode)
        : device(number, mode), server(LinkTarget(device.portDirectory() + "/" + device.comName())) {}
    SimDevice device;
    Ser2Net server;
};

termios TerminalSettings(const std::string& terminal) {
    termios settings{};
    const int fd = open(terminal.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd, 0) << terminal;
    if (fd >= 0) {
        EXPECT_EQ(tcgetattr(fd, &settings), 0);
        close(fd);
    }
    return settings;
}

} // namespace

TEST(CommThreadRemote, AMegabyteWithEveryByteValueArrivesByteExactThroughRfc2217) {
    constexpr std::size_t kSize = 1024 * 1024;
    TempDir dir;
    const std::string bytes = EveryByteValue(kSize);
    WriteWholeFile(dir.file("stream.bin"), bytes);
    RemoteDevice remote(61, {"--file", dir.file("stream.bin"), "--rate", "0", "--settle-ms", "300"});
    std::string why;
    ASSERT_TRUE(remote.server.Start(why)) << why;
    PresentedBoxes boxes;
    CCommThread thread(kWindow);
    thread.SetTermSetting(PlainSetting());
    thread.SetParameters(9600, remote.server.Rfc2217Name());

    const CString data = WaitForSize(thread, kSize, 90s);
    ASSERT_EQ(data.size(), kSize);
    EXPECT_TRUE(data == bytes) << "the stream differs at byte "
                               << std::mismatch(data.begin(), data.end(), bytes.begin()).first - data.begin();
    EXPECT_EQ(thread.BytesReceived(), kSize);
    EXPECT_EQ(thread.BytesDropped(), 0u);
    EXPECT_TRUE(thread.IsPortOpen());
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST(CommThreadRemote, BytesWithEveryValueArriveAsTheyCameThroughRawTcp) {
    constexpr std::size_t kSize = 128 * 1024;
    TempDir dir;
    const std::string bytes = EveryByteValue(kSize);
    WriteWholeFile(dir.file("stream.bin"), bytes);
    RemoteDevice remote(62, {"--file", dir.file("stream.bin"), "--rate", "0", "--settle-ms", "300"});
    std::string why;
    ASSERT_TRUE(remote.server.Start(why)) << why;
    PresentedBoxes boxes;
    CCommThread thread(kWindow);
    thread.SetTermSetting(PlainSetting());
    thread.SetParameters(9600, remote.server.TcpName());

    const CString data = WaitForSize(thread, kSize, 60s);
    ASSERT_EQ(data.size(), kSize);
    EXPECT_TRUE(data == bytes);
    EXPECT_EQ(thread.BytesReceived(), kSize);
    // The settings of a raw connection stay with the window: they are taken and shown, not sent.
    thread.m_CommPort.SetBaudRate(115200);
    thread.m_CommPort.SetByteSize(7);
    EXPECT_EQ(thread.m_CommPort.GetBaudRate(), 115200u);
    EXPECT_EQ(thread.m_CommPort.GetByteSize(), 7);
    EXPECT_EQ(boxes.Count(), 0u);
}

// Settings reach the device behind the server: the rate and the frame are seen on the terminal's side. A
// pseudo-terminal keeps 8 data bits and no parity whatever it is told (the kernel's rule), so of the 7E1
// frame the server's answer is what shows it was taken; the stop bits reach the terminal. A value the
// server does not confirm is refused like a local refusal, and the port keeps what it had.
TEST(CommThreadRemote, SettingsReachTheDeviceAndARefusedOneIsPutBack) {
    RemoteDevice remote(63, {"--pattern", "--rate", "2000", "--count", "0", "--settle-ms", "300"});
    std::string why;
    ASSERT_TRUE(remote.server.Start(why)) << why;
    const std::string terminal = LinkTarget(remote.device.portDirectory() + "/" + remote.device.comName());
    PresentedBoxes boxes;
    CCommThread thread(kWindow);
    thread.SetTermSetting(PlainSetting());
    thread.SetParameters(9600, remote.server.Rfc2217Name());
    ASSERT_TRUE(WaitFor([&] { return thread.IsPortOpen() == TRUE; }, 10s));

    thread.m_CommPort.SetBaudRate(921600);
    thread.m_CommPort.SetByteSize(7);
    thread.m_CommPort.SetParity(EVENPARITY);
    thread.m_CommPort.SetStopBits(TWOSTOPBITS);
    termios settings = TerminalSettings(terminal);
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B921600));
    EXPECT_TRUE(settings.c_cflag & CSTOPB);

    thread.m_CommPort.SetBaudRate(230400);
    settings = TerminalSettings(terminal);
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B230400));

    // ser2net does not answer one and a half stop bits.
    try {
        thread.m_CommPort.SetStopBits(ONE5STOPBITS);
        ADD_FAILURE() << "one and a half stop bits were taken";
    } catch (const ECommError& error) {
        EXPECT_EQ(error.m_ErrorType, ECommError::ErrStopBits);
        EXPECT_NE(error.Reason().find("server"), std::string::npos) << error.Reason();
    }
    EXPECT_EQ(thread.m_CommPort.GetStopBits(), TWOSTOPBITS);
    EXPECT_EQ(thread.m_CommPort.GetBaudRate(), 230400u);
    settings = TerminalSettings(terminal);
    EXPECT_TRUE(settings.c_cflag & CSTOPB);
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B230400));
    EXPECT_TRUE(thread.IsPortOpen());
    EXPECT_EQ(boxes.Count(), 0u);
}

// The server goes away while the device streams: the window loses its port, says so once, retries, and
// receives again once the server is back. Every byte counted is in the buffer, and what arrived is the
// device's pattern, line after line in order.
TEST(CommThreadRemote, AServerThatRestartsIsALostPortThatComesBack) {
    RemoteDevice remote(64, {"--pattern", "--rate", "20000", "--count", "0", "--settle-ms", "300"});
    std::string why;
    ASSERT_TRUE(remote.server.Start(why)) << why;
    LevelOneLog log;
    PresentedBoxes boxes;
    MessageRecorder messages;
    CCommThread thread(kWindow);
    thread.SetTermSetting(PlainSetting());
    thread.SetParameters(9600, remote.server.Rfc2217Name());
    CString data = WaitForSize(thread, 16 * 1024, 20s);
    ASSERT_GE(data.size(), 16u * 1024);

    remote.server.Stop();
    ASSERT_TRUE(WaitFor([&] { return thread.IsPortLost() == TRUE; }, 5s));
    EXPECT_FALSE(thread.IsPortOpen());
    thread.GetData(data);
    const std::size_t beforeRestart = data.size();
    // Several retries fail meanwhile; the episode is told once.
    std::this_thread::sleep_for(2500ms);
    ASSERT_TRUE(remote.server.Start(why)) << why;
    ASSERT_TRUE(WaitFor([&] { return thread.IsPortLost() == FALSE && thread.IsPortOpen() == TRUE; }, 10s));
    data = WaitForSize(thread, beforeRestart + 16 * 1024, 20s);
    ASSERT_GE(data.size(), beforeRestart + 16 * 1024);

    thread.Suspend();
    thread.GetData(data);
    EXPECT_EQ(thread.BytesReceived(), data.size());
    EXPECT_EQ(messages.Count(kWindow, WM_COMM_PORT_STATE, PORT_LOST), 1);
    EXPECT_EQ(messages.Count(kWindow, WM_COMM_PORT_STATE, PORT_BACK), 1);
    // Whole lines of the pattern, their numbers rising; a line cut by the restart may stand at the gap.
    std::size_t lines = 0;
    std::size_t broken = 0;
    long previous = -1;
    std::size_t at = data.find("\r\n") + 2;
    for (std::size_t end; (end = data.find("\r\n", at)) != std::string::npos; at = end + 2) {
        const std::string line = data.substr(at, end - at);
        const long number = line.size() == 62 ? std::strtol(line.substr(0, 8).c_str(), nullptr, 10) : -1;
        bool whole = number > previous;
        for (std::size_t i = 0; whole && i < line.size(); ++i)
            whole = line[i] == PatternByte(static_cast<std::uint64_t>(number) * 64 + i);
        if (whole) {
            previous = number;
            ++lines;
        } else {
            ++broken;
        }
    }
    EXPECT_GE(lines, 400u);
    EXPECT_LE(broken, 1u);
    const std::string text = log.Text();
    std::size_t lostRecords = 0;
    for (std::size_t found = text.find(" lost"); found != std::string::npos;
         found = text.find(" lost", found + 1))
        ++lostRecords;
    EXPECT_EQ(lostRecords, 1u) << text;
    EXPECT_NE(text.find("is back"), std::string::npos);
    EXPECT_EQ(boxes.Count(), 0u);
}

// Servers that cannot be reached: the user-interface thread is not held while the reception thread tries,
// and the window and the log tell the host and why.
TEST(CommThreadRemote, AnUnreachableServerIsToldWithItsHostAndReason) {
    LevelOneLog log;
    PresentedBoxes boxes;
    const std::string refused = "rfc2217://127.0.0.1:" + std::to_string(Ser2Net::FreePort());
    const std::string unknown = "tcp://no-such-host.invalid:3001";
    for (const std::string& name : {refused, unknown}) {
        const std::size_t shown = boxes.Count();
        CCommThread thread(kWindow);
        const auto before = std::chrono::steady_clock::now();
        thread.SetParameters(9600, name);
        EXPECT_LT(std::chrono::steady_clock::now() - before, 300ms) << name;
        ASSERT_TRUE(WaitFor([&] { return boxes.Count() > shown; }, 8s)) << name;
        const CString text = boxes.Texts().back();
        EXPECT_NE(text.find(name), std::string::npos) << text;
        EXPECT_NE(text.find(name == refused ? "refused" : "not found"), std::string::npos) << text;
        EXPECT_FALSE(thread.IsPortOpen());
    }
    const std::string text = log.Text();
    EXPECT_NE(text.find("refused"), std::string::npos) << text;
    EXPECT_NE(text.find("not found"), std::string::npos) << text;
}

namespace {

// A server of the test's own on 127.0.0.1 for one connection: agrees to the serial-port option, confirms
// the settings of an open at 9600 8N1, then sends `after`.
class HostileServer {
public:
    explicit HostileServer(std::string after) : m_after(std::move(after)) {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        listen(m_listener, 1);
        m_thread = std::thread([this] { Serve(); });
    }
    ~HostileServer() {
        shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        close(m_listener);
    }
    std::string Name() const { return "rfc2217://127.0.0.1:" + std::to_string(m_port); }

private:
    void Serve() {
        const int client = accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        const unsigned char agree[] = {255, 253, 44};
        send(client, agree, sizeof agree, MSG_NOSIGNAL);
        char request[512];
        std::this_thread::sleep_for(200ms);
        recv(client, request, sizeof request, MSG_DONTWAIT);
        const unsigned char answers[] = {255, 250, 44,  101, 0,   0,   0x25, 0x80, 255, 240, 255,
                                         250, 44,  102, 8,   255, 240, 255,  250,  44,  103, 1,
                                         255, 240, 255, 250, 44,  104, 1,    255,  240};
        send(client, answers, sizeof answers, MSG_NOSIGNAL);
        std::this_thread::sleep_for(300ms);
        send(client, m_after.data(), m_after.size(), MSG_NOSIGNAL);
        std::this_thread::sleep_for(1s);
        close(client);
    }

    std::string m_after;
    int m_listener = -1;
    unsigned m_port = 0;
    std::thread m_thread;
};

} // namespace

// A server that floods negotiation after some data is cut off: the data before stays, the window tells of
// a lost port, and the log says why.
TEST(CommThreadRemote, AServerFloodingNegotiationIsCutOff) {
    std::string after = "hello";
    for (int i = 0; i < 100000; ++i)
        after += "\xff\xf1"; // IAC NOP
    after += "never shown";
    HostileServer server(after);
    LevelOneLog log;
    PresentedBoxes boxes;
    CCommThread thread(kWindow);
    thread.SetTermSetting(PlainSetting());
    thread.SetParameters(9600, server.Name());
    ASSERT_TRUE(WaitFor([&] { return thread.IsPortLost() == TRUE; }, 10s));
    CString data;
    thread.GetData(data);
    EXPECT_EQ(data, "hello");
    EXPECT_NE(log.Text().find("floods"), std::string::npos) << log.Text();
    EXPECT_EQ(boxes.Count(), 0u);
}

// Something that accepts connections but speaks no telnet (a raw port named as RFC 2217 by mistake): the
// open fails after the answer limit, with the reason, and nothing reaches the peer but negotiation.
TEST(CommThreadRemote, APeerThatNeverAgreesToSerialControlIsNoPort) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    listen(listener, 1);
    PresentedBoxes boxes;
    {
        CCommThread thread(kWindow);
        thread.SetParameters(9600, "rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
        ASSERT_TRUE(WaitFor([&] { return boxes.Count() > 0; }, 8s));
        EXPECT_NE(boxes.Texts()[0].find("did not agree to serial-port control"), std::string::npos)
            << boxes.Texts()[0];
        EXPECT_FALSE(thread.IsPortOpen());
    }
    const int peer = accept(listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    unsigned char received[256];
    const ssize_t count = recv(peer, received, sizeof received, MSG_DONTWAIT);
    ASSERT_GT(count, 0);
    // Every byte sent is part of an IAC command: the negotiation offer and nothing else.
    for (ssize_t at = 0; at < count; at += 3) {
        EXPECT_EQ(received[at], 255);
        EXPECT_TRUE(received[at + 1] == 251 || received[at + 1] == 253);
    }
    close(peer);
    close(listener);
}

// A connection under way does not hold the user: choosing another port, or closing the window, gives it up
// at once instead of after its time limit, and says nothing about it.
TEST(CommThreadRemote, AConnectionUnderWayIsGivenUpWhenTheWindowMovesOn) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    listen(listener, 4);
    const std::string silent = "rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    PresentedBoxes boxes;
    {
        CCommThread thread(kWindow);
        thread.SetParameters(9600, silent);
        std::this_thread::sleep_for(300ms); // the reception thread is waiting for the peer now
        auto before = std::chrono::steady_clock::now();
        thread.SetParameters(9600, "?");
        EXPECT_LT(std::chrono::steady_clock::now() - before, 600ms);

        thread.SetParameters(9600, silent);
        std::this_thread::sleep_for(300ms);
        before = std::chrono::steady_clock::now();
        thread.CloseThread();
        if (thread.m_Thread && thread.m_Thread->joinable())
            thread.m_Thread->join();
        EXPECT_LT(std::chrono::steady_clock::now() - before, 600ms);
    }
    // Only the placeholder "?", which names no port, is told about.
    for (const CString& text : boxes.Texts())
        EXPECT_EQ(text.find(silent), std::string::npos) << text;
    close(listener);
}
