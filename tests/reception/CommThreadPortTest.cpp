#include "reception/CommThread.h"

#include "framework/core/MessageBox.h"
#include "support/MemorySerialDevice.h"
#include "support/MessageRecorder.h"
#include "support/PollPasses.h"
#include "support/PresentedBoxes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr HWND kWindow = 0x61;
constexpr HWND kOtherWindow = 0x62;
constexpr auto kPatience = 5s;

TermSettingRec PlainSetting() {
    TermSettingRec setting;
    setting.nbMaxiByte = 0;
    setting.timestampInterval = 100;
    return setting;
}

CString DataOf(CCommThread& thread) {
    CString data;
    thread.GetData(data);
    return data;
}

// Polls until the buffer holds the expected text; the reception thread delivers every 100 ms.
bool WaitForData(CCommThread& thread, const CString& expected, std::chrono::milliseconds limit = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (DataOf(thread) == expected)
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return DataOf(thread) == expected;
}

class CommThreadPort : public ::testing::Test {
protected:
    void SetUp() override {
        device.Plug("COM7");
        device.Plug("COM8");
    }

    PresentedBoxes boxes;
    MessageRecorder messages;
    MemorySerialDevice device;
};

} // namespace

// The first SetParameters opens the port, and what the device sends reaches the buffer and the view.
TEST_F(CommThreadPort, TheFirstSetParametersOpensAndReceptionFollows) {
    CCommThread thread(kWindow);
    thread.SetTermSetting(PlainSetting());
    thread.SetParameters(9600, "COM7");
    EXPECT_TRUE(thread.IsPortOpen());
    EXPECT_FALSE(thread.m_Suspended);
    EXPECT_EQ(device.OpenCount("COM7"), 1);
    EXPECT_EQ(boxes.Count(), 0u);

    device.Feed("COM7", std::string("hello\0world", 11));
    EXPECT_TRUE(WaitForData(thread, std::string("hello\0world", 11)));
    EXPECT_GE(messages.Count(kWindow, WM_COMM_DATA_READY), 1);
    EXPECT_EQ(thread.BytesReceived(), 11u);
}

// An open port is closed and opened again even when neither name nor speed changes.
TEST_F(CommThreadPort, SetParametersOnAnOpenPortAlwaysReopens) {
    CCommThread thread(kWindow);
    thread.SetParameters(9600, "COM7");
    thread.SetParameters(9600, "COM7");
    EXPECT_EQ(device.OpenCount("COM7"), 2);
    EXPECT_TRUE(thread.IsPortOpen());
    EXPECT_FALSE(thread.m_Suspended);

    thread.SetParameters(9600, "COM8");
    EXPECT_FALSE(device.IsOpen("COM7"));
    EXPECT_TRUE(device.IsOpen("COM8"));
}

// A frozen window moved to another port receives again; one freeze and one unfreeze then work as before,
// and nothing sent during the freeze is lost.
TEST_F(CommThreadPort, FreezingHoldsDataBackAndSetParametersResumes) {
    CCommThread thread(kWindow);
    thread.SetTermSetting(PlainSetting());
    thread.SetParameters(9600, "COM7");
    thread.Suspend();
    thread.SetParameters(9600, "COM8");
    EXPECT_FALSE(thread.m_Suspended);

    device.Feed("COM8", "one ");
    ASSERT_TRUE(WaitForData(thread, "one "));

    thread.Suspend();
    EXPECT_TRUE(thread.m_Suspended);
    device.Feed("COM8", "two");
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(DataOf(thread), "one ");

    thread.Resume();
    EXPECT_TRUE(WaitForData(thread, "one two"));
}

// A port whose open failed is never retried by the thread, even when the device appears later.
TEST_F(CommThreadPort, APortThatFailedToOpenIsNotRetriedByItself) {
    CCommThread thread(kWindow);
    thread.SetParameters(9600, "COM9");
    EXPECT_EQ(boxes.Count(), 1u);
    device.Plug("COM9");
    ASSERT_TRUE(WaitForPollPasses(thread, 3));
    EXPECT_EQ(device.OpenCount("COM9"), 0);
    EXPECT_FALSE(thread.IsPortLost());
    EXPECT_EQ(messages.Count(kWindow, WM_COMM_PORT_STATE, PORT_LOST), 0);
}

// Unplugging the device during reception keeps everything received, tells the view, and reception goes on
// by itself once the device is back.
TEST_F(CommThreadPort, AnUnpluggedDeviceIsReopenedWhenItComesBack) {
    CCommThread thread(kWindow);
    thread.SetTermSetting(PlainSetting());
    thread.SetParameters(9600, "COM7");
    device.Feed("COM7", "before ");
    ASSERT_TRUE(WaitForData(thread, "before "));

    // The bytes queued just before the hang-up are still read.
    device.Feed("COM7", "tail ");
    device.Unplug("COM7");
    ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_LOST, 1, kPatience));
    EXPECT_TRUE(WaitForData(thread, "before tail "));
    EXPECT_TRUE(thread.IsPortLost());
    EXPECT_FALSE(thread.IsPortOpen());
    EXPECT_FALSE(thread.m_Suspended);
    EXPECT_EQ(boxes.Count(), 0u);

    // Still gone after a few retries: one notice only.
    ASSERT_TRUE(WaitForPollPasses(thread, 3));
    EXPECT_EQ(messages.Count(kWindow, WM_COMM_PORT_STATE, PORT_LOST), 1);

    device.Plug("COM7");
    ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_BACK, 1, kPatience));
    EXPECT_FALSE(thread.IsPortLost());
    EXPECT_TRUE(thread.IsPortOpen());
    device.Feed("COM7", "after");
    EXPECT_TRUE(WaitForData(thread, "before tail after"));
}

// The user choosing the lost port again reopens it at once rather than leaving it closed.
TEST_F(CommThreadPort, ChoosingALostPortAgainReopensIt) {
    CCommThread thread(kWindow);
    thread.SetParameters(9600, "COM7");
    device.Unplug("COM7");
    ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_LOST, 1, kPatience));
    device.Plug("COM7");
    thread.SetParameters(9600, "COM7");
    EXPECT_TRUE(thread.IsPortOpen());
    EXPECT_FALSE(thread.m_Suspended);
    EXPECT_FALSE(thread.IsPortLost());
}

// A close the driver refuses reaches the caller of SetParameters, with reception left paused.
TEST_F(CommThreadPort, ACloseFailureReachesTheCaller) {
    CCommThread thread(kWindow);
    thread.SetParameters(9600, "COM7");
    device.FailNextClose();
    try {
        thread.SetParameters(9600, "COM8");
        FAIL() << "no error reached the caller";
    } catch (const ECommError& error) {
        EXPECT_EQ(error.m_ErrorType, ECommError::ErrClosePort);
    }
    EXPECT_TRUE(thread.m_Suspended);
    EXPECT_TRUE(thread.IsPortOpen());
    EXPECT_EQ(thread.m_CommPort.GetCommPort(), "COM7");
}

// Two windows on two ports receive at the same time; their buffer updates take turns on the one lock and
// no byte is lost or mixed.
TEST_F(CommThreadPort, TwoWindowsOnTwoPortsReceiveEveryByte) {
    CCommThread first(kWindow);
    CCommThread second(kOtherWindow);
    first.SetTermSetting(PlainSetting());
    second.SetTermSetting(PlainSetting());
    first.SetParameters(9600, "COM7");
    second.SetParameters(9600, "COM8");

    std::string expectedFirst;
    std::string expectedSecond;
    for (int i = 0; i < 200; ++i) {
        const std::string line = "line " + std::to_string(i) + "\r\n";
        device.Feed("COM7", "A" + line);
        device.Feed("COM8", "B" + line);
        expectedFirst += "A" + line;
        expectedSecond += "B" + line;
        if (i % 20 == 0)
            std::this_thread::sleep_for(30ms);
    }
    EXPECT_TRUE(WaitForData(first, expectedFirst));
    EXPECT_TRUE(WaitForData(second, expectedSecond));
}
