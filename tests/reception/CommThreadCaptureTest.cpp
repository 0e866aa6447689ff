#include "reception/CommThread.h"

#include "support/MessageRecorder.h"
#include "support/PseudoTerminal.h"
#include "support/SimDevice.h"
#include "support/TempDir.h"
#include "tools/kestrune-sim/Streams.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr HWND kWindow = 0x74;
constexpr HWND kOtherWindow = 0x75;

std::string Pattern(std::uint64_t first, std::uint64_t count) {
    std::string bytes;
    bytes.reserve(count);
    for (std::uint64_t i = first; i < first + count; ++i)
        bytes += PatternByte(i);
    return bytes;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

CString BufferOf(CCommThread& thread) {
    CString data;
    thread.GetData(data);
    return data;
}

bool StartCapture(CCommThread& thread, const std::string& path, CaptureContent content) {
    CCaptureWriter::Options options;
    options.path = path;
    std::string reason;
    const bool started = thread.m_Capture.Start(options, content, reason);
    EXPECT_TRUE(started) << reason;
    return started;
}

// The bytes are counted as received before the capture takes them: a test that stops a capture waits for
// the writer's count instead.
bool WaitForWritten(CCommThread& thread, std::uint64_t bytes) {
    return WaitUntil([&] {
        CCaptureWriter::Status status;
        CaptureContent content;
        return thread.m_Capture.GetStatus(status, content) && status.written >= bytes;
    });
}

// Stops the capture and waits for its writer to finish.
CCaptureWriter::Status StopCapture(CCommThread& thread) {
    std::promise<CCaptureWriter::Status> finished;
    std::future<CCaptureWriter::Status> report = finished.get_future();
    EXPECT_TRUE(
        thread.m_Capture.Stop([&](const CCaptureWriter::Status& status) { finished.set_value(status); }));
    EXPECT_EQ(report.wait_for(20s), std::future_status::ready);
    return report.get();
}

} // namespace

// A text capture holds exactly what the buffer received (line ends translated, filtered bytes gone); a
// raw capture of another window holds the bytes as the port delivered them.
TEST(CommThreadCapture, TextTakesTheShapedBytesAndRawTheBytesAsReceived) {
    TempDir dir;
    PseudoTerminal textDevice;
    PseudoTerminal rawDevice;
    CCommThread text(kWindow);
    CCommThread raw(kOtherWindow);
    TermSettingRec setting;
    setting.nbMaxiByte = 0;
    setting.bLF = 1;
    setting.bFilteredByte = 1;
    setting.FilteredBytesList = "\\x07";
    text.SetTermSetting(setting);
    raw.SetTermSetting(setting);
    text.SetParameters(9600, textDevice.path());
    raw.SetParameters(9600, rawDevice.path());
    ASSERT_TRUE(StartCapture(text, dir.file("text.log"), CaptureContent::Text));
    ASSERT_TRUE(StartCapture(raw, dir.file("raw.log"), CaptureContent::Raw));

    const std::string sent = std::string("one\nbell\x07\n") + std::string(1, '\0') + "two\r\n";
    textDevice.Send(sent);
    rawDevice.Send(sent);
    const std::string shaped = std::string("one\r\nbell\r\n") + std::string(1, '\0') + "two\r\r\n";
    ASSERT_TRUE(WaitUntil([&] { return BufferOf(text).size() == shaped.size(); }));
    ASSERT_TRUE(WaitUntil([&] { return BufferOf(raw).size() == shaped.size(); }));
    EXPECT_EQ(StopCapture(text).written, shaped.size());
    EXPECT_EQ(StopCapture(raw).written, sent.size());
    EXPECT_EQ(ReadWholeFile(dir.file("text.log")), shaped);
    EXPECT_EQ(ReadWholeFile(dir.file("raw.log")), sent);
    EXPECT_EQ(BufferOf(text), shaped);
}

// The device is unplugged and plugged back three times while the window captures; the simulator sends
// 50 whole lines after each plug and lets the reader take them before the next unplug. The file is the
// three batches, byte for byte, and the capture was never interrupted.
TEST(CommThreadCapture, GoesOnThroughUnplugAndReplugByteExact) {
    TempDir dir;
    SimDevice device(
        53, {"--pattern", "--rate", "20000", "--count", "0", "--settle-ms", "300", "--lines-per-plug", "50"});
    MessageRecorder messages;
    CCommThread thread(kWindow);
    TermSettingRec plain;
    plain.nbMaxiByte = 0;
    thread.SetTermSetting(plain);
    thread.SetParameters(9600, device.comName());
    ASSERT_TRUE(thread.IsPortOpen());
    ASSERT_TRUE(StartCapture(thread, dir.file("c.log"), CaptureContent::Raw));

    for (int plug = 1; plug <= 3; ++plug) {
        ASSERT_TRUE(WaitUntil([&] { return thread.BytesReceived() == 50u * 64 * plug; })) << plug;
        if (plug == 3)
            break;
        device.unplug();
        ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_LOST, plug, 10s));
        device.replug();
        ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_BACK, plug, 10s));
    }
    ASSERT_TRUE(WaitForWritten(thread, 150u * 64));
    const CCaptureWriter::Status report = StopCapture(thread);
    EXPECT_FALSE(report.failed) << report.reason;
    const std::string file = ReadWholeFile(dir.file("c.log"));
    ASSERT_EQ(file.size(), 150u * 64);
    EXPECT_TRUE(file == Pattern(0, 150 * 64)) << "the capture differs from what the device sent";
}

// The user moves the window to another port while it captures: the file holds what came from the first
// port, then what comes from the second, as one capture.
TEST(CommThreadCapture, GoesOnAcrossAChangeOfPort) {
    TempDir dir;
    PseudoTerminal first;
    PseudoTerminal second;
    CCommThread thread(kWindow);
    TermSettingRec plain;
    plain.nbMaxiByte = 0;
    thread.SetTermSetting(plain);
    thread.SetParameters(9600, first.path());
    ASSERT_TRUE(StartCapture(thread, dir.file("c.log"), CaptureContent::Text));
    const std::string before = Pattern(0, 20000);
    first.Send(before);
    ASSERT_TRUE(WaitUntil([&] { return BufferOf(thread).size() == before.size(); }));
    thread.SetParameters(9600, second.path());
    ASSERT_TRUE(thread.IsPortOpen());
    const std::string after = Pattern(20000, 30000);
    second.Send(after);
    ASSERT_TRUE(WaitUntil([&] { return BufferOf(thread).size() == before.size() + after.size(); }));
    StopCapture(thread);
    EXPECT_TRUE(ReadWholeFile(dir.file("c.log")) == before + after);
}

// Two windows capture at once, each a fast stream of its own, each to its own file.
TEST(CommThreadCapture, TwoWindowsCaptureAtOnceEachToItsFile) {
    TempDir dir;
    PseudoTerminal firstDevice;
    PseudoTerminal secondDevice;
    CCommThread first(kWindow);
    CCommThread second(kOtherWindow);
    TermSettingRec plain;
    plain.nbMaxiByte = 1;
    first.SetTermSetting(plain);
    second.SetTermSetting(plain);
    first.SetParameters(9600, firstDevice.path());
    second.SetParameters(9600, secondDevice.path());
    ASSERT_TRUE(StartCapture(first, dir.file("first.log"), CaptureContent::Raw));
    ASSERT_TRUE(StartCapture(second, dir.file("second.log"), CaptureContent::Text));
    // A second capture is never started on a file the first one writes.
    CCaptureWriter::Options same;
    same.path = dir.file("first.log");
    std::string reason;
    EXPECT_FALSE(second.m_Capture.Start(same, CaptureContent::Text, reason));

    // Paced at 1.6 MB/s each, which the port's input queue takes without dropping.
    constexpr std::size_t kSize = 2 * 1024 * 1024;
    const std::string firstStream = Pattern(0, kSize);
    const std::string secondStream = Pattern(12345, kSize);
    std::thread feedFirst([&] {
        for (std::size_t at = 0; at < kSize; at += 65536) {
            firstDevice.Send(firstStream.substr(at, 65536));
            std::this_thread::sleep_for(40ms);
        }
    });
    std::thread feedSecond([&] {
        for (std::size_t at = 0; at < kSize; at += 65536) {
            secondDevice.Send(secondStream.substr(at, 65536));
            std::this_thread::sleep_for(40ms);
        }
    });
    feedFirst.join();
    feedSecond.join();
    ASSERT_TRUE(WaitUntil([&] { return first.BytesReceived() == kSize && second.BytesReceived() == kSize; }))
        << first.BytesReceived() << " and " << second.BytesReceived() << " bytes received";
    ASSERT_TRUE(WaitForWritten(first, kSize));
    ASSERT_TRUE(WaitForWritten(second, kSize));
    EXPECT_EQ(StopCapture(first).written, kSize);
    EXPECT_EQ(StopCapture(second).written, kSize);
    EXPECT_TRUE(ReadWholeFile(dir.file("first.log")) == firstStream);
    EXPECT_TRUE(ReadWholeFile(dir.file("second.log")) == secondStream);
    // The buffers kept only their loop; the files kept everything.
    EXPECT_EQ(BufferOf(first).size(), 1024u);
}

// A full disk stops the capture (the view hears of it at once) while reception goes on into the buffer.
TEST(CommThreadCapture, AFullDiskStopsTheCaptureNotTheReception) {
    TempDir dir;
    const std::string path = dir.file("c.log");
    ASSERT_EQ(::symlink("/dev/full", path.c_str()), 0);
    PseudoTerminal device;
    MessageRecorder messages;
    CCommThread thread(kWindow);
    TermSettingRec plain;
    plain.nbMaxiByte = 0;
    thread.SetTermSetting(plain);
    thread.SetParameters(9600, device.path());
    CCaptureWriter::Options options;
    options.path = path;
    options.onFailure = [] { PostMessage(kWindow, WM_COMM_CAPTURE_FAILED, 0, 0); };
    std::string reason;
    ASSERT_TRUE(thread.m_Capture.Start(options, CaptureContent::Text, reason)) << reason;
    device.Send("first");
    ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_CAPTURE_FAILED, 0, 1, 10s));
    device.Send("second");
    ASSERT_TRUE(WaitUntil([&] { return BufferOf(thread) == "firstsecond"; }));
    const CCaptureWriter::Status report = StopCapture(thread);
    EXPECT_TRUE(report.failed);
    EXPECT_NE(report.reason.find("No space left on device"), std::string::npos) << report.reason;
    EXPECT_EQ(report.unwritten, 11u);
    EXPECT_EQ(messages.Count(kWindow, WM_COMM_CAPTURE_FAILED), 1);
}

// The connection hook, where an automatic capture starts: called once a local port is open, and once a
// remote port's connection is handed to the reception thread, always before reception resumes; never for
// a port that did not open.
TEST(CommThreadCapture, TheConnectionHookRunsOnlyForAConnectionBeingMade) {
    PseudoTerminal device;
    CCommThread thread(kWindow);
    int calls = 0;
    thread.SetConnectedHandler([&] {
        ++calls;
        // Reception is still paused: the first read is still to come.
        EXPECT_TRUE(thread.m_Suspended);
    });
    thread.SetParameters(9600, device.path());
    EXPECT_EQ(calls, 1);
    thread.SetParameters(9600, "/dev/no-such-serial-port");
    EXPECT_EQ(calls, 1);
    thread.SetParameters(9600, "tcp://127.0.0.1:9");
    EXPECT_EQ(calls, 2);
}
