// Port enumeration through both branches, against a device that presents a chosen name table or answers
// the probing opens with chosen errors, and through the system's driver on a port directory of links.
#include "comm/enumser.h"
#include "framework/serial/PortTable.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingSerialDevice.h"
#include "support/ScopedPortDirectory.h"
#include "support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

template <std::size_t N> std::string Names(const char (&run)[N]) {
    return std::string(run, N - 1);
}

std::vector<UINT> Numbers(const CUIntArray& ports) {
    return std::vector<UINT>(ports.GetData(), ports.GetData() + ports.GetSize());
}

TEST(EnumerateSerialPorts, DeviceTableGivesComNumbersInTableOrder) {
    RecordingSerialDevice device;
    device.nameTable = Names("COM1\0LPT1\0COM10\0com3\0COM\0COMX\0COM0\0C:\0CoM7abc\0");
    CUIntArray ports;
    ports.Add(99);
    ports.Add(98);
    EnumerateSerialPorts(ports);
    EXPECT_EQ(Numbers(ports), (std::vector<UINT>{1, 10, 3, 7}));
    EXPECT_EQ(std::count(device.calls.begin(), device.calls.end(), "CreateFile"), 0);
}

TEST(EnumerateSerialPorts, OddNumbersInTheTableAreNotTakenAsPorts) {
    RecordingSerialDevice device;
    device.nameTable = Names("COM-4\0COM99999999999\0COM 5\0");
    CUIntArray ports;
    EnumerateSerialPorts(ports);
    EXPECT_EQ(Numbers(ports), (std::vector<UINT>{5}));
}

TEST(EnumerateSerialPorts, UnreadableDeviceTableGivesNothing) {
    RecordingSerialDevice device;
    device.nameTable = Names("COM1\0");
    device.failCall = "QueryDosDevice";
    CUIntArray ports;
    ports.Add(4);
    EnumerateSerialPorts(ports);
    EXPECT_TRUE(ports.IsEmpty());
    EXPECT_EQ(std::count(device.calls.begin(), device.calls.end(), "CreateFile"), 0);
}

TEST(EnumerateSerialPorts, ProbingCountsOpenBusyAndFailingPorts) {
    RecordingSerialDevice device;
    device.platformId = VER_PLATFORM_WIN32_WINDOWS;
    device.probeErrors[2] = 0;                        // opens
    device.probeErrors[5] = ERROR_ACCESS_DENIED;      // held by another program
    device.probeErrors[9] = ERROR_GEN_FAILURE;        // present but failing
    device.probeErrors[11] = ERROR_INVALID_PARAMETER; // absent
    device.probeErrors[255] = ERROR_ACCESS_DENIED;
    CUIntArray ports;
    ports.Add(1);
    EnumerateSerialPorts(ports);
    EXPECT_EQ(Numbers(ports), (std::vector<UINT>{2, 5, 9, 255}));
    EXPECT_EQ(std::count(device.calls.begin(), device.calls.end(), "CreateFile"), 255);
    EXPECT_EQ(device.openHandles, 0); // the port that opened was closed again
}

TEST(EnumerateSerialPorts, FailedVersionQueryProbesAndNoPortGivesAnEmptyList) {
    RecordingSerialDevice device;
    device.failCall = "GetVersionEx";
    CUIntArray ports;
    ports.Add(3);
    EnumerateSerialPorts(ports);
    EXPECT_TRUE(ports.IsEmpty());
    EXPECT_EQ(std::count(device.calls.begin(), device.calls.end(), "CreateFile"), 255);
}

} // namespace

namespace {

// The system's own driver, on a port directory of the test's making.
TEST(EnumerateSerialPorts, LinksWhoseDeviceIsGoneAreLeftOut) {
    TempDir ports;
    PseudoTerminal device;
    ASSERT_EQ(symlink(device.path().c_str(), ports.file("COM201").c_str()), 0);
    ASSERT_EQ(symlink("/dev/kestrune-unplugged-adapter", ports.file("COM202").c_str()), 0);
    const ScopedPortDirectory directory(ports.path());
    CUIntArray found;
    EnumerateSerialPorts(found);
    const std::vector<UINT> numbers = Numbers(found);
    EXPECT_NE(std::find(numbers.begin(), numbers.end(), 201u), numbers.end());
    EXPECT_EQ(std::find(numbers.begin(), numbers.end(), 202u), numbers.end());
    // A window waiting for its lost port keeps it listed.
    AwaitPortName("COM202");
    CUIntArray awaited;
    EnumerateSerialPorts(awaited);
    ForgetAwaitedPortName("COM202");
    const std::vector<UINT> withAwaited = Numbers(awaited);
    EXPECT_NE(std::find(withAwaited.begin(), withAwaited.end(), 202u), withAwaited.end());
    EXPECT_FALSE(PortNameAwaited("COM202"));
    // The gone device keeps its number: no other device takes it meanwhile, and opening it says absent.
    EXPECT_EQ(ResolvePortName("COM202", SystemPortTable()), ports.file("COM202"));
}

} // namespace
