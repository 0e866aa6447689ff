// The port's own logic (open steps, error kinds, roll-back, descriptions) against a device whose calls can
// be made to fail one by one.
#include "comm/comm.h"
#include "support/RecordingSerialDevice.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace {

DCB DriverDefaults() {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = 115200;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fOutxCtsFlow = 1;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.XonChar = 0x11;
    return dcb;
}

ECommError::ErrorType KindOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ECommError& error) {
        return error.m_ErrorType;
    }
    ADD_FAILURE() << "no ECommError was raised";
    return ECommError::ErrorType(0);
}

TEST(CommPortSeam, NewPortHoldsItsDefaults) {
    TCommPort port;
    EXPECT_FALSE(port.m_CommOpen);
    EXPECT_EQ(port.GetCommPort(), "COM1");
    EXPECT_EQ(port.m_hCom, nullptr);
    EXPECT_EQ(port.m_dcb.DCBlength, 28u);
    EXPECT_EQ(port.GetBaudRate(), 9600u);
    EXPECT_EQ(port.GetByteSize(), 8);
    EXPECT_EQ(port.GetParity(), NOPARITY);
    EXPECT_EQ(port.GetStopBits(), ONESTOPBIT);
}

TEST(CommPortSeam, OpenAppliesTheFourParametersOverTheDriverSettings) {
    RecordingSerialDevice device;
    device.driverState = DriverDefaults();
    TCommPort port;
    port.SetParity(MARKPARITY);
    port.OpenCommPort();
    EXPECT_TRUE(port.m_CommOpen);
    EXPECT_EQ(device.openedName, "COM1");
    EXPECT_EQ(device.calls, (std::vector<std::string>{"CreateFile", "GetCommState", "SetCommState",
                                                      "SetupComm", "SetCommTimeouts"}));
    EXPECT_EQ(device.lastApplied.BaudRate, 9600u);
    EXPECT_EQ(device.lastApplied.ByteSize, 8);
    EXPECT_EQ(device.lastApplied.Parity, MARKPARITY);
    EXPECT_EQ(device.lastApplied.StopBits, ONESTOPBIT);
    // Flow control and the special characters stay as the driver had them.
    EXPECT_EQ(device.lastApplied.fOutxCtsFlow, 1u);
    EXPECT_EQ(device.lastApplied.fRtsControl, RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(device.lastApplied.XonChar, 0x11);
    EXPECT_EQ(device.inQueue, 32768u);
    EXPECT_EQ(device.outQueue, 9216u);
    EXPECT_EQ(device.timeouts.ReadIntervalTimeout, 15u);
    EXPECT_EQ(device.timeouts.ReadTotalTimeoutMultiplier, 1u);
    EXPECT_EQ(device.timeouts.ReadTotalTimeoutConstant, 250u);
    EXPECT_EQ(device.timeouts.WriteTotalTimeoutMultiplier, 1u);
    EXPECT_EQ(device.timeouts.WriteTotalTimeoutConstant, 250u);

    port.OpenCommPort(); // already open: nothing happens
    EXPECT_EQ(device.calls.size(), 5u);
    port.CloseCommPort();
    EXPECT_FALSE(port.m_CommOpen);
    EXPECT_EQ(device.openHandles, 0);
    port.CloseCommPort(); // already closed: nothing happens
    EXPECT_EQ(device.calls.size(), 6u);
}

TEST(CommPortSeam, EachFailingOpenStepRaisesItsKindAndLeavesThePortClosedAndReleased) {
    const std::pair<const char*, ECommError::ErrorType> steps[] = {
        {"CreateFile", ECommError::ErrOpenPort},         {"GetCommState", ECommError::ErrGetCommState},
        {"SetCommState", ECommError::ErrSetCommState},   {"SetupComm", ECommError::ErrSetupComm},
        {"SetCommTimeouts", ECommError::ErrSetTimeouts},
    };
    for (const auto& [call, kind] : steps) {
        SCOPED_TRACE(call);
        RecordingSerialDevice device;
        device.driverState = DriverDefaults();
        device.failCall = call;
        device.failCode = ERROR_ACCESS_DENIED;
        TCommPort port;
        port.SetBaudRate(57600);
        try {
            port.OpenCommPort();
            ADD_FAILURE() << "open succeeded";
        } catch (const ECommError& error) {
            EXPECT_EQ(error.m_ErrorType, kind);
            // The code is the failing step's, not that of the clean-up close.
            EXPECT_EQ(error.m_LastError, ERROR_ACCESS_DENIED);
        }
        EXPECT_FALSE(port.m_CommOpen);
        EXPECT_EQ(device.openHandles, 0);
        EXPECT_EQ(port.m_hCom, nullptr);
        EXPECT_EQ(port.GetBaudRate(), 57600u);
        EXPECT_EQ(KindOf([&] { port.BytesAvailable(); }), ECommError::ErrPortNotOpen);

        device.failCall.clear();
        port.OpenCommPort(); // a later open starts again and succeeds
        EXPECT_TRUE(port.m_CommOpen);
        EXPECT_EQ(device.lastApplied.BaudRate, 57600u);
    }
}

TEST(CommPortSeam, RefusedSettersRaiseTheirKindAndKeepThePreviousValue) {
    RecordingSerialDevice device;
    device.driverState = DriverDefaults();
    TCommPort port;
    port.OpenCommPort();
    device.failCall = "SetCommState";
    EXPECT_EQ(KindOf([&] { port.SetBaudRate(0); }), ECommError::ErrBaudRate);
    EXPECT_EQ(port.GetBaudRate(), 9600u);
    EXPECT_EQ(KindOf([&] { port.SetByteSize(9); }), ECommError::ErrByteSize);
    EXPECT_EQ(port.GetByteSize(), 8);
    EXPECT_EQ(KindOf([&] { port.SetParity(5); }), ECommError::ErrParity);
    EXPECT_EQ(port.GetParity(), NOPARITY);
    EXPECT_EQ(KindOf([&] { port.SetStopBits(3); }), ECommError::ErrStopBits);
    EXPECT_EQ(port.GetStopBits(), ONESTOPBIT);
    EXPECT_TRUE(port.m_CommOpen);

    device.failCall.clear();
    port.SetBaudRate(19200);
    EXPECT_EQ(device.lastApplied.BaudRate, 19200u);
    EXPECT_EQ(port.GetBaudRate(), 19200u);
}

TEST(CommPortSeam, SettersOnAClosedPortNeverReachTheDevice) {
    RecordingSerialDevice device;
    device.failCall = "SetCommState";
    TCommPort port;
    port.SetBaudRate(1);
    port.SetByteSize(200);
    port.SetParity(9);
    port.SetStopBits(9);
    EXPECT_EQ(port.GetBaudRate(), 1u);
    EXPECT_EQ(port.GetByteSize(), 200);
    EXPECT_EQ(port.GetParity(), 9);
    EXPECT_EQ(port.GetStopBits(), 9);
    EXPECT_TRUE(device.calls.empty());
}

TEST(CommPortSeam, RenamingIsRefusedWhileOpen) {
    RecordingSerialDevice device;
    TCommPort port;
    port.SetCommPort("COM12");
    port.OpenCommPort();
    EXPECT_EQ(device.openedName, "COM12");
    EXPECT_EQ(KindOf([&] { port.SetCommPort("COM2"); }), ECommError::ErrPortIsOpen);
    EXPECT_EQ(port.GetCommPort(), "COM12");
}

TEST(CommPortSeam, ClosedPortRefusesQueriesAndReads) {
    TCommPort port;
    BYTE buffer[4];
    std::string description = "kept";
    EXPECT_EQ(KindOf([&] { port.BytesAvailable(); }), ECommError::ErrPortNotOpen);
    EXPECT_EQ(KindOf([&] { port.ReadBytes(buffer, 4); }), ECommError::ErrPortNotOpen);
    EXPECT_EQ(KindOf([&] { port.GetCommDescription(description); }), ECommError::ErrPortNotOpen);
    EXPECT_EQ(description, "kept");
    EXPECT_EQ(port.GetDroppedBytes(), 0u);
}

TEST(CommPortSeam, FailingCallsOfAnOpenPortRaiseTheirKinds) {
    RecordingSerialDevice device;
    TCommPort port;
    port.OpenCommPort();
    BYTE buffer[4];
    device.failCall = "ClearCommError";
    EXPECT_EQ(KindOf([&] { port.BytesAvailable(); }), ECommError::ErrClearCommError);
    device.failCall = "ReadFile";
    EXPECT_EQ(KindOf([&] { port.ReadBytes(buffer, 4); }), ECommError::ErrReadPort);
    device.failCall = "CloseHandle";
    EXPECT_EQ(KindOf([&] { port.CloseCommPort(); }), ECommError::ErrClosePort);
    EXPECT_TRUE(port.m_CommOpen); // a failed close counts as open
    device.failCall.clear();
    port.CloseCommPort();
    EXPECT_FALSE(port.m_CommOpen);
}

TEST(CommPortSeam, ShortReadIsFollowedByAZeroAndAFullReadStaysInsideTheBuffer) {
    RecordingSerialDevice device;
    TCommPort port;
    port.OpenCommPort();
    device.input = "abcd";
    EXPECT_EQ(port.BytesAvailable(), 4u);
    BYTE buffer[11];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(port.ReadBytes(buffer, 10), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "abcd");
    EXPECT_EQ(buffer[4], 0);
    EXPECT_EQ(buffer[5], 'x');

    device.input = "0123456789";
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(port.ReadBytes(buffer, 10), 10);
    EXPECT_EQ(buffer[10], 'x');
    EXPECT_EQ(port.GetDroppedBytes(), 7u);
}

TEST(CommPortSeam, DescriptionWordsEveryParityAndStopBitsCode) {
    RecordingSerialDevice device;
    TCommPort port;
    port.OpenCommPort();
    std::string text;
    port.GetCommDescription(text);
    EXPECT_EQ(text, "Port: COM1, 9600, 8, NONE, 1 stop bit");
    const char* parityWords[] = {"NONE", "ODD", "EVEN", "bad parity", "bad parity", "bad parity"};
    for (BYTE parity = 0; parity < 6; ++parity) {
        port.SetParity(parity);
        port.GetCommDescription(text);
        EXPECT_EQ(text, std::string("Port: COM1, 9600, 8, ") + parityWords[parity] + ", 1 stop bit");
    }
    const char* stopWords[] = {"1 stop bit", "1.5 stop bits", "2 stop bits", "bad stop bits"};
    port.SetParity(ODDPARITY);
    port.SetBaudRate(4000000);
    port.SetByteSize(5);
    for (BYTE stop = 0; stop < 4; ++stop) {
        port.SetStopBits(stop);
        port.GetCommDescription(text);
        EXPECT_EQ(text, std::string("Port: COM1, 4000000, 5, ODD, ") + stopWords[stop]);
    }
}

} // namespace
