#include "framework/serial/PortTable.h"

#include "framework/net/RemotePortName.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

std::vector<std::string> ListFolder(const std::string& folder, bool* listed) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (listed)
        *listed = dir != nullptr;
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    return names;
}

bool IsSymbolicLink(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// A link may point at a port on another machine instead of a device ("rfc2217://lab-pi:3001"): then the
// port is that name.
std::string PinnedDevice(const std::string& linkPath) {
    char target[512];
    const ssize_t length = readlink(linkPath.c_str(), target, sizeof target - 1);
    if (length > 0) {
        const std::string name(target, static_cast<std::size_t>(length));
        if (IsRemotePortName(name))
            return name;
    }
    return linkPath;
}

// Splits "ttyUSB12" into the family "ttyUSB" and the index 12.
void SplitDeviceName(const std::string& name, std::string& family, unsigned long& index) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    family = name.substr(0, digits);
    index = digits < name.size() ? std::strtoul(name.c_str() + digits, nullptr, 10) : 0;
}

int FamilyRank(const std::string& family) {
    if (family == "ttyS")
        return 0;
    if (family == "ttyUSB")
        return 1;
    if (family == "ttyACM")
        return 2;
    return 3;
}

std::string ReadFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// A tty with a driver behind it is a serial device; virtual consoles and pseudo-terminals have none. The
// 8250 driver registers placeholder ports whose UART type is unknown (0); they answer no open usefully.
bool IsSerialDevice(const std::string& ttyFolder, const std::string& family) {
    struct stat info {};
    if (lstat((ttyFolder + "/device/driver").c_str(), &info) != 0)
        return false;
    if (family == "ttyS") {
        const std::string type = ReadFirstLine(ttyFolder + "/type");
        if (type.empty() || type == "0")
            return false;
    }
    return true;
}

std::mutex& PortDirectoryLock() {
    static std::mutex lock;
    return lock;
}

std::string& PortDirectoryPath() {
    static std::string path;
    return path;
}

std::mutex& AwaitedLock() {
    static std::mutex lock;
    return lock;
}

std::multiset<std::string>& AwaitedNames() {
    static std::multiset<std::string> names;
    return names;
}

} // namespace

void SetPortDirectory(const std::string& directory) {
    std::lock_guard<std::mutex> guard(PortDirectoryLock());
    PortDirectoryPath() = directory;
}

std::string PortDirectory() {
    std::lock_guard<std::mutex> guard(PortDirectoryLock());
    return PortDirectoryPath();
}

unsigned PortNumberOfName(const std::string& name) {
    if (name.size() < 4 || name.size() > 13)
        return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const char c = static_cast<char>(name[i] & ~0x20);
        if (c != "COM"[i])
            return 0;
    }
    unsigned long number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        number = number * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    return number <= 0xFFFFFFFFul ? static_cast<unsigned>(number) : 0;
}

std::vector<PortEntry> ReadPortTable(const std::string& portDirectory, const std::string& ttyClassFolder,
                                     bool* tableRead) {
    std::vector<std::pair<unsigned, PortEntry>> pinned;
    std::set<unsigned> taken;
    for (const std::string& name : ListFolder(portDirectory, nullptr)) {
        const unsigned number = PortNumberOfName(name);
        const std::string path = portDirectory + "/" + name;
        if (number == 0 || !IsSymbolicLink(path) || taken.count(number))
            continue;
        taken.insert(number);
        pinned.push_back({number, PortEntry{"COM" + std::to_string(number), PinnedDevice(path)}});
    }
    std::sort(pinned.begin(), pinned.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    std::vector<PortEntry> table;
    for (auto& entry : pinned)
        table.push_back(std::move(entry.second));

    std::vector<std::tuple<int, std::string, unsigned long, std::string>> devices;
    for (const std::string& name : ListFolder(ttyClassFolder, tableRead)) {
        std::string family;
        unsigned long index = 0;
        SplitDeviceName(name, family, index);
        if (!IsSerialDevice(ttyClassFolder + "/" + name, family))
            continue;
        devices.emplace_back(FamilyRank(family), family, index, name);
    }
    std::sort(devices.begin(), devices.end());

    unsigned next = 1;
    for (const auto& device : devices) {
        while (taken.count(next))
            ++next;
        taken.insert(next);
        table.push_back(PortEntry{"COM" + std::to_string(next), "/dev/" + std::get<3>(device)});
    }
    return table;
}

std::vector<PortEntry> SystemPortTable(bool* tableRead) {
    return ReadPortTable(PortDirectory(), "/sys/class/tty", tableRead);
}

namespace {

std::string WithoutNamespacePrefix(const std::string& name) {
    return name.compare(0, 4, "\\\\.\\") == 0 ? name.substr(4) : name;
}

} // namespace

bool NamesAPort(const std::string& name) {
    return (!name.empty() && name[0] == '/') || PortNumberOfName(WithoutNamespacePrefix(name)) != 0 ||
           IsRemotePortName(name);
}

std::string ResolvePortName(const std::string& name, const std::vector<PortEntry>& table) {
    if ((!name.empty() && name[0] == '/') || IsRemotePortName(name))
        return name;
    const unsigned number = PortNumberOfName(WithoutNamespacePrefix(name));
    if (number == 0)
        return std::string();
    const std::string wanted = "COM" + std::to_string(number);
    for (const PortEntry& entry : table) {
        if (entry.name == wanted)
            return entry.device;
    }
    return std::string();
}

bool PortDevicePresent(const PortEntry& entry) {
    // Whether a remote port answers is only known by connecting, which a list must not wait for.
    if (IsRemotePortName(entry.device))
        return true;
    struct stat info {};
    return stat(entry.device.c_str(), &info) == 0;
}

void AwaitPortName(const std::string& name) {
    std::lock_guard<std::mutex> guard(AwaitedLock());
    AwaitedNames().insert(name);
}

void ForgetAwaitedPortName(const std::string& name) {
    std::lock_guard<std::mutex> guard(AwaitedLock());
    const auto found = AwaitedNames().find(name);
    if (found != AwaitedNames().end())
        AwaitedNames().erase(found);
}

bool PortNameAwaited(const std::string& name) {
    std::lock_guard<std::mutex> guard(AwaitedLock());
    return AwaitedNames().count(name) > 0;
}
