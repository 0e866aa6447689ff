#pragma once

#include "framework/serial/SerialDevice.h"

// The base of the tests' serial devices: a fake stands in for the system's device while it lives. Each fake
// calls Install at the end of its constructor and Uninstall first in its destructor, so that a thread
// polling the device never meets half an object.
class FakeSerialDevice : public SerialDevice {
public:
    FakeSerialDevice(const FakeSerialDevice&) = delete;
    FakeSerialDevice& operator=(const FakeSerialDevice&) = delete;

protected:
    FakeSerialDevice() = default;
    ~FakeSerialDevice() override = default;

    void Install() { m_previous = InstallSerialDevice(this); }
    void Uninstall() { InstallSerialDevice(m_previous); }

private:
    SerialDevice* m_previous = nullptr;
};
