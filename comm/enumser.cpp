#include "comm/enumser.h"

#include "comm/PortDirectory.h"

#include "framework/core/WinError.h"
#include "framework/net/RemotePortName.h"
#include "framework/serial/DeviceAccess.h"
#include "framework/serial/PortDescription.h"
#include "framework/serial/PortTable.h"
#include "framework/serial/SerialDevice.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr DWORD kNameTableChars = 65535;
constexpr UINT kHighestProbedPort = 255;

// The number a device name stands for when it is a COM port: longer than three characters, "COM" in any
// letter case, then a decimal number that is not 0. The number is read as leading digits after optional
// blanks and sign, as the C library reads one; a negative or out-of-range number counts as no port rather
// than wrapping into a huge one.
UINT PortNumberOfDeviceName(const char* name, std::size_t length) {
    if (length <= 3)
        return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if ((name[i] & ~0x20) != "COM"[i])
            return 0;
    }
    std::size_t at = 3;
    while (at < length && (name[at] == ' ' || (name[at] >= '\t' && name[at] <= '\r')))
        ++at;
    if (at < length && (name[at] == '+' || name[at] == '-')) {
        if (name[at] == '-')
            return 0;
        ++at;
    }
    unsigned long long number = 0;
    for (; at < length && name[at] >= '0' && name[at] <= '9'; ++at) {
        number = number * 10 + static_cast<unsigned>(name[at] - '0');
        if (number > 0x7FFFFFFFull)
            return 0;
    }
    return static_cast<UINT>(number);
}

void ListFromDeviceTable(CUIntArray& ports) {
    std::vector<char> names(kNameTableChars);
    const DWORD stored = QueryDosDeviceA(nullptr, names.data(), kNameTableChars);
    if (stored == 0)
        return;
    // Names follow each other, each ended by a zero; an empty name ends the run. The walk never passes
    // the characters the call reported, even if the run lacks its final zero.
    const std::size_t end = stored < kNameTableChars ? stored : kNameTableChars;
    std::size_t at = 0;
    while (at < end && names[at] != '\0') {
        std::size_t length = 0;
        while (at + length < end && names[at + length] != '\0')
            ++length;
        if (const UINT number = PortNumberOfDeviceName(&names[at], length))
            ports.Add(number);
        at += length + 1;
    }
}

void ListByProbing(CUIntArray& ports) {
    for (UINT number = 1; number <= kHighestProbedPort; ++number) {
        char name[32];
        std::snprintf(name, sizeof name, "\\\\.\\COM%u", number);
        HANDLE handle =
            CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
            ports.Add(number);
            continue;
        }
        // A port another program holds refuses as busy; one whose device misbehaves refuses with a general
        // failure. Both are present.
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_GEN_FAILURE)
            ports.Add(number);
    }
}

} // namespace

void EnumerateSerialPorts(CUIntArray& ports) {
    ports.SetSize(0);
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT)
        ListFromDeviceTable(ports);
    else
        ListByProbing(ports);
}

std::map<std::string, std::string> DescribeSerialPorts() {
    return DescribePorts(SystemPortTable(), CPortDescriber(std::string(), kSimulatedPortDescription));
}

std::string DescribeSerialPort(const std::string& name) {
    const std::string device = ResolvePortName(name, SystemPortTable());
    return device.empty() ? std::string("not present")
                          : CPortDescriber(std::string(), kSimulatedPortDescription).Describe(device);
}

std::string RecentPortDescription(const std::string& name) {
    static std::string lastName;
    static std::string lastDescription;
    static std::chrono::steady_clock::time_point readAt;
    const auto now = std::chrono::steady_clock::now();
    if (name != lastName || now - readAt > std::chrono::seconds(10)) {
        lastName = name;
        lastDescription = DescribeSerialPort(name);
        readAt = now;
    }
    return lastDescription;
}

bool IsRemotePort(const std::string& name) {
    return IsRemotePortName(name) || IsRemotePortName(ResolvePortName(name, SystemPortTable()));
}

bool FindPortAccessProblem(const std::string& name, DeviceAccessProblem& problem) {
    return FindDeviceAccessProblem(ResolvePortName(name, SystemPortTable()), problem);
}
