// Port enumeration of the POSIX driver: the platform family the system looks like and the defined port
// names, both from the port table.
#include "framework/serial/serial_device_posix.h"

#include "framework/serial/PortTable.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/utsname.h>
#include <vector>

BOOL PosixDevice::GetVersionEx(OSVERSIONINFOA* info) {
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return FailWith(ERROR_INVALID_PARAMETER);
    utsname system{};
    unsigned major = 0;
    unsigned minor = 0;
    if (uname(&system) == 0)
        std::sscanf(system.release, "%u.%u", &major, &minor);
    info->dwMajorVersion = major;
    info->dwMinorVersion = minor;
    info->dwBuildNumber = 0;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    // Where the system lists its devices, ports are known from the device table; elsewhere they can
    // only be found by trying to open each one, as on the older platform family.
    bool tableRead = false;
    SystemPortTable(&tableRead);
    info->dwPlatformId = tableRead ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
    return TRUE;
}

DWORD PosixDevice::QueryDosDevice(const char* deviceName, char* targetPath, DWORD maxChars) {
    bool tableRead = false;
    const std::vector<PortEntry> table = SystemPortTable(&tableRead);
    std::string run;
    if (deviceName) {
        const std::string device = ResolvePortName(deviceName, table);
        if (device.empty() || device == deviceName) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return 0;
        }
        run = device + '\0';
    } else {
        if (!tableRead) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return 0;
        }
        for (const PortEntry& entry : table) {
            if (PortDevicePresent(entry) || PortNameAwaited(entry.name))
                run += entry.name + '\0';
        }
    }
    run += '\0';
    if (!targetPath || run.size() > maxChars) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(targetPath, run.data(), run.size());
    return static_cast<DWORD>(run.size());
}
