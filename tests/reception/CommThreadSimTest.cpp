#include "reception/CommThread.h"

#include "support/MessageRecorder.h"
#include "support/SimDevice.h"
#include "tools/kestrune-sim/Streams.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr HWND kWindow = 0x71;

TermSettingRec PlainSetting() {
    TermSettingRec setting;
    setting.nbMaxiByte = 0;
    setting.timestampInterval = 100;
    return setting;
}

std::string Pattern(std::uint64_t first, std::uint64_t count) {
    std::string bytes;
    bytes.reserve(count);
    for (std::uint64_t i = first; i < first + count; ++i)
        bytes += PatternByte(i);
    return bytes;
}

// Waits until the buffer has at least `size` characters and returns it.
CString WaitForSize(CCommThread& thread, std::size_t size, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    CString data;
    do {
        thread.GetData(data);
        if (data.size() >= size)
            break;
        std::this_thread::sleep_for(50ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return data;
}

} // namespace

// A megabyte from the simulated device, written at 128 KB/s (above 921600 baud), arrives in the buffer
// byte for byte with shaping off and no loop limit.
TEST(CommThreadWithDevice, AMegabyteArrivesByteExact) {
    constexpr std::uint64_t kSize = 1024 * 1024;
    SimDevice device(41, {"--pattern", "--rate", "131072", "--count", std::to_string(kSize)});
    MessageRecorder messages;
    CCommThread thread(kWindow);
    thread.SetTermSetting(PlainSetting());
    thread.SetParameters(9600, device.comName());
    ASSERT_TRUE(thread.IsPortOpen());

    const CString data = WaitForSize(thread, kSize, 60s);
    ASSERT_EQ(data.size(), kSize);
    EXPECT_TRUE(data == Pattern(0, kSize)) << "the received bytes differ from the pattern sent";
    EXPECT_EQ(thread.BytesReceived(), kSize);
    EXPECT_GE(messages.Count(kWindow, WM_COMM_DATA_READY), 1);
    thread.Suspend();
    EXPECT_EQ(thread.m_CommPort.GetDroppedBytes(), 0u);
}

// The device is unplugged in the middle of a stream and plugged back: nothing received before is lost, the
// view hears of both, and reception goes on by itself with the rest of the stream.
TEST(CommThreadWithDevice, UnplugAndReplugDuringReception) {
    // 64 bytes per line at 6400 bytes per second: a hundred lines a second, for a minute at most.
    SimDevice device(42, {"--pattern", "--rate", "6400", "--count", "384000"});
    MessageRecorder messages;
    CCommThread thread(kWindow);
    thread.SetTermSetting(PlainSetting());
    thread.SetParameters(9600, device.comName());
    ASSERT_TRUE(thread.IsPortOpen());

    const CString before = WaitForSize(thread, 3000, 10s);
    ASSERT_GE(before.size(), 3000u);
    device.unplug();
    ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_LOST, 1, 10s));
    EXPECT_TRUE(thread.IsPortLost());
    EXPECT_FALSE(thread.IsPortOpen());

    CString atLoss;
    thread.GetData(atLoss);
    ASSERT_GE(atLoss.size(), before.size());
    // Everything up to the loss is the unbroken start of the stream.
    EXPECT_TRUE(atLoss == Pattern(0, atLoss.size()));

    device.replug();
    ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_BACK, 1, 10s));
    EXPECT_TRUE(thread.IsPortOpen());
    const CString after = WaitForSize(thread, atLoss.size() + 3000, 10s);
    ASSERT_GE(after.size(), atLoss.size() + 3000);
    EXPECT_EQ(after.compare(0, atLoss.size(), atLoss), 0) << "text received before the loss changed";

    // The stream goes on where the device is; the lines after the gap are whole lines of the pattern.
    const std::size_t resumedAt = after.find("\r\n", atLoss.size());
    ASSERT_NE(resumedAt, CString::npos);
    const CString lineAfterGap = after.substr(resumedAt + 2, 64);
    if (lineAfterGap.size() == 64) {
        const std::uint64_t line = std::stoull(lineAfterGap.substr(0, 8));
        EXPECT_TRUE(lineAfterGap == Pattern(line * 64, 64)) << lineAfterGap;
    }
}
