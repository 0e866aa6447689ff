#include "reception/CommThread.h"

#include "framework/serial/SerialDevice.h"
#include "support/MessageRecorder.h"
#include "support/SimDevice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr HWND kWindow = 0x73;

// What the user-interface thread does to a port while its settings dialog and status bar are in use.
void TouchSettings(TCommPort& port, int round) {
    try {
        port.SetBaudRate(round % 2 ? 19200 : 38400);
        port.SetByteSize(round % 3 ? 8 : 7);
        port.SetParity(round % 3 ? NOPARITY : EVENPARITY);
    } catch (const ECommError&) {
        // A device that vanished a moment ago refuses the change until the thread has seen it go.
    }
    std::string description;
    try {
        port.GetCommDescription(description);
    } catch (const ECommError&) {
    }
    (void)port.GetCommPort();
    (void)port.GetStopBits();
    (void)port.IsOpen();
}

} // namespace

// The device is unplugged and plugged back again and again while the user-interface thread keeps reading
// and setting the port's parameters; the reception thread closes and reopens the port meanwhile.
TEST(CommThreadLostPort, SettingsDuringLossAndReopenDoNotRace) {
    SimDevice device(51, {"--pattern", "--rate", "20000", "--count", "0"});
    MessageRecorder messages;
    CCommThread thread(kWindow);
    thread.SetParameters(9600, device.comName());
    ASSERT_TRUE(thread.IsPortOpen());

    std::atomic<bool> done{false};
    std::thread plugging([&] {
        for (int cycle = 1; cycle <= 4; ++cycle) {
            std::this_thread::sleep_for(150ms);
            device.unplug();
            messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_LOST, cycle, 10s);
            std::this_thread::sleep_for(100ms);
            device.replug();
            messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_BACK, cycle, 10s);
        }
        done = true;
    });
    for (int round = 0; !done; ++round) {
        TouchSettings(thread.m_CommPort, round);
        std::this_thread::sleep_for(1ms);
    }
    plugging.join();
    EXPECT_EQ(messages.Count(kWindow, WM_COMM_PORT_STATE, PORT_BACK), 4);
    EXPECT_TRUE(thread.IsPortOpen());
}

// A baud rate chosen while the port is lost is the one the port has once the device is back.
TEST(CommThreadLostPort, RateSetWhileLostIsAppliedAtReopen) {
    SimDevice device(52);
    MessageRecorder messages;
    CCommThread thread(kWindow);
    thread.SetParameters(9600, device.comName());
    ASSERT_TRUE(thread.IsPortOpen());

    device.unplug();
    ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_LOST, 1, 10s));
    thread.m_CommPort.SetBaudRate(115200);
    thread.m_CommPort.SetByteSize(7);
    EXPECT_EQ(thread.m_CommPort.GetBaudRate(), 115200u);
    device.replug();
    ASSERT_TRUE(messages.WaitForCount(kWindow, WM_COMM_PORT_STATE, PORT_BACK, 1, 10s));

    EXPECT_EQ(thread.m_CommPort.GetBaudRate(), 115200u);
    EXPECT_EQ(thread.m_CommPort.GetByteSize(), 7);
    // The device itself runs at the new rate.
    thread.Suspend();
    DCB held{};
    ASSERT_TRUE(GetCommState(thread.m_CommPort.m_hCom, &held));
    EXPECT_EQ(held.BaudRate, 115200u);
}
