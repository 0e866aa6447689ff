// Character sizes and parity on the simulated device. A pseudo-terminal keeps only 8 data bits and no
// parity whatever it is asked; the port must take that as the device's own limit, not as a refusal.
#include "comm/comm.h"
#include "support/SimDevice.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace {

struct Frame {
    const char* name;
    BYTE byteSize;
    BYTE parity;
    BYTE stopBits;
};

void Apply(TCommPort& port, const Frame& frame) {
    port.SetByteSize(frame.byteSize);
    port.SetParity(frame.parity);
    port.SetStopBits(frame.stopBits);
}

void ExpectFrame(TCommPort& port, const Frame& frame) {
    EXPECT_EQ(port.GetByteSize(), frame.byteSize);
    EXPECT_EQ(port.GetParity(), frame.parity);
    EXPECT_EQ(port.GetStopBits(), frame.stopBits);
}

// The device's lines still arrive after the change.
void ExpectReception(TCommPort& port) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (port.BytesAvailable() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(port.BytesAvailable(), 0u);
}

ECommError::ErrorType KindOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ECommError& error) {
        return error.m_ErrorType;
    }
    return ECommError::ErrorType(0);
}

const Frame kFrames[] = {
    {"7E1", 7, EVENPARITY, ONESTOPBIT},
    {"6N1", 6, NOPARITY, ONESTOPBIT},
    {"5 data bits, 1.5 stop bits", 5, NOPARITY, ONE5STOPBITS},
    {"7O2", 7, ODDPARITY, TWOSTOPBITS},
};

TEST(CommPortCharacterSize, FramesAreAcceptedOnAnOpenPort) {
    SimDevice sim(31);
    for (const Frame& frame : kFrames) {
        SCOPED_TRACE(frame.name);
        TCommPort port;
        port.SetCommPort(sim.comName());
        port.OpenCommPort();
        EXPECT_NO_THROW(Apply(port, frame));
        ExpectFrame(port, frame);
        ExpectReception(port);
    }
}

TEST(CommPortCharacterSize, FramesOpenAlsoWhenTheSpeedIsAlreadyRight) {
    // The first open sets the speed; every later one finds it already right and changes only the frame.
    SimDevice sim(32);
    for (const Frame& frame : kFrames) {
        SCOPED_TRACE(frame.name);
        TCommPort port;
        port.SetCommPort(sim.comName());
        port.SetBaudRate(19200);
        Apply(port, frame);
        EXPECT_NO_THROW(port.OpenCommPort());
        EXPECT_TRUE(port.m_CommOpen);
        ExpectFrame(port, frame);
        EXPECT_EQ(port.GetBaudRate(), 19200u);
    }
}

TEST(CommPortCharacterSize, TwoStopBitsWithFiveDataBitsAreRefusedAsADriverRefusesThem) {
    // "5N2": the line code for a second stop bit gives one and a half with 5 data bits, so the value two
    // cannot be expressed and is refused, keeping the previous stop bits.
    SimDevice sim(33);
    TCommPort port;
    port.SetCommPort(sim.comName());
    port.OpenCommPort();
    port.SetByteSize(5);
    EXPECT_EQ(KindOf([&] { port.SetStopBits(TWOSTOPBITS); }), ECommError::ErrStopBits);
    EXPECT_EQ(port.GetStopBits(), ONESTOPBIT);
    EXPECT_TRUE(port.m_CommOpen);
    ExpectReception(port);
}

} // namespace
