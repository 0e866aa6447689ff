#include "framework/serial/PortDescription.h"

#include "framework/net/RemotePortName.h"
#include "framework/serial/PortTable.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folders between a tty's device and its USB device: interface, then device (a few for hubs).
constexpr int kHighestUsbLevels = 4;

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// The first line of a sysfs attribute, with surrounding blanks removed and control bytes made blanks
// (vendors fill these strings as they please).
std::string ReadAttribute(const std::string& path) {
    char buffer[256];
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string();
    const ssize_t length = read(fd, buffer, sizeof buffer);
    close(fd);
    std::string line(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
    line = line.substr(0, line.find('\n'));
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Parent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Where a link that leads nowhere was meant to go (a pinned adapter's by-id name says which one is
// missing); the path itself when it is no link.
std::string LinkTarget(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : path;
}

} // namespace

CPortDescriber::CPortDescriber(const std::string& root, const std::string& pseudoTerminal)
    : m_root(root), m_pseudoTerminal(pseudoTerminal) {
    const std::string folder = m_root + "/dev/serial/by-id";
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string node = RealPath(folder + "/" + name);
        if (!node.empty())
            m_byIdOfNode.emplace(BaseName(node), name);
    }
    closedir(dir);
}

std::string CPortDescriber::Describe(const std::string& device) const {
    RemoteAddress remote;
    if (ParseRemotePortName(device, remote))
        return DescribeRemotePort(remote);
    // Device nodes are named as the system names them; in a test tree they live under the root.
    const bool systemNode = !m_root.empty() && device.compare(0, 5, "/dev/") == 0;
    const std::string resolved = RealPath(systemNode ? m_root + device : device);
    if (resolved.empty())
        return LinkTarget(device) + ": not connected";
    // Shown as the system names it, without the test root.
    const std::string node = resolved.compare(0, m_root.size(), m_root) == 0 && !m_root.empty()
                                 ? resolved.substr(m_root.size())
                                 : resolved;
    if (node.compare(0, 9, "/dev/pts/") == 0)
        return node + ": " + m_pseudoTerminal;
    const std::string details = UsbDetails(BaseName(node));
    return details.empty() ? node : node + ": " + details;
}

std::string CPortDescriber::UsbDetails(const std::string& node) const {
    std::string usb = RealPath(m_root + "/sys/class/tty/" + node + "/device");
    const std::string sys = m_root + "/sys";
    for (int level = 0; !usb.empty() && level <= kHighestUsbLevels; ++level) {
        if (IsFile(usb + "/idVendor"))
            break;
        usb = Parent(usb);
        if (usb.compare(0, sys.size(), sys) != 0)
            usb.clear();
    }
    std::string text;
    if (!usb.empty() && IsFile(usb + "/idVendor")) {
        const std::string vendor = ReadAttribute(usb + "/manufacturer");
        const std::string product = ReadAttribute(usb + "/product");
        const std::string serial = ReadAttribute(usb + "/serial");
        text = vendor;
        if (!product.empty())
            text += (text.empty() ? "" : " ") + product;
        if (text.empty())
            text = "USB " + ReadAttribute(usb + "/idVendor") + ":" + ReadAttribute(usb + "/idProduct");
        if (!serial.empty())
            text += ", serial " + serial;
        return text;
    }
    const auto byId = m_byIdOfNode.find(node);
    return byId != m_byIdOfNode.end() ? byId->second : std::string();
}

std::map<std::string, std::string> DescribePorts(const std::vector<PortEntry>& table,
                                                 const CPortDescriber& describer) {
    std::map<std::string, std::string> descriptions;
    for (const PortEntry& entry : table)
        descriptions.emplace(entry.name, describer.Describe(entry.device));
    return descriptions;
}
