#pragma once

#include <map>
#include <string>
#include <vector>

// What a serial device is, in words a person picking a port recognises: its device node and what the
// system knows of it. A USB adapter is told by its vendor and product names and serial number from sysfs
// (or, lacking those, by its /dev/serial/by-id name); a pseudo-terminal by the words its user gives; a path
// that leads nowhere is a device that is not connected.
class CPortDescriber {
public:
    // `root` is put before /sys and /dev: empty for the system itself, a fake tree in tests. The by-id
    // folder is read once here, so describing many ports costs one folder listing. `pseudoTerminal` is what a
    // pseudo-terminal is called (what plays a serial device there is the user's to say).
    explicit CPortDescriber(const std::string& root = std::string(),
                            const std::string& pseudoTerminal = "pseudo terminal");

    // "/dev/ttyUSB0: FTDI FT232R USB UART, serial A10K1234", "/dev/pts/3: pseudo terminal",
    // "remote, RFC 2217, lab-pi:3001" (a remote port name),
    // "/dev/ttyS0", "/dev/serial/by-id/usb-FTDI_...: not connected". `device` is a path under the root: a
    // device node or a symbolic link to one (a pinned port, a by-id name); with a root, a path under /dev is
    // taken from the root's dev folder.
    std::string Describe(const std::string& device) const;

private:
    std::string UsbDetails(const std::string& node) const;

    std::string m_root;
    std::string m_pseudoTerminal;
    std::map<std::string, std::string>
        m_byIdOfNode; // "ttyUSB0" -> "usb-FTDI_FT232R_USB_UART_A10K-if00-port0"
};

struct PortEntry;

// What each port of a port table is, by its COM name.
std::map<std::string, std::string> DescribePorts(const std::vector<PortEntry>& table,
                                                 const CPortDescriber& describer);
