#pragma once

#include <string>
#include <vector>

// The table that maps the program's COM names to serial devices. First come the symbolic links named COMn
// in the port directory (users pin /dev/serial/by-id/... there; the simulated device registers itself
// there; a link whose target is a remote port name, "rfc2217://lab-pi:3001", stands for that port), in
// ascending number; then the serial devices of the system's tty class that have a driver, given
// the free numbers from 1 up in the order ttyS, ttyUSB, ttyACM, others, each group by index.

struct PortEntry {
    std::string name;   // "COM3"
    std::string device; // "/dev/ttyUSB0"
};

// The port directory of the system's table, chosen by the program at start (empty until then: no pinned
// ports). Safe to call from any thread.
void SetPortDirectory(const std::string& directory);
std::string PortDirectory();

// The number that a COM name stands for: "COM7" and "com7" give 7; 0 for anything else (also "COM0",
// "COM", "COM7x").
unsigned PortNumberOfName(const std::string& name);

// Builds the table from a port directory and a tty class folder (normally /sys/class/tty). `tableRead`
// tells whether the tty class folder could be listed: without it only the port directory's entries exist.
std::vector<PortEntry> ReadPortTable(const std::string& portDirectory, const std::string& ttyClassFolder,
                                     bool* tableRead = nullptr);

// The system's table: PortDirectory() and /sys/class/tty.
std::vector<PortEntry> SystemPortTable(bool* tableRead = nullptr);

// Whether the entry's device is there: a pinned link whose device is gone (a stopped simulated device, an
// unplugged adapter's by-id link) is not. Such an entry keeps its number, but lists of ports leave it out.
bool PortDevicePresent(const PortEntry& entry);

// Names of lost ports that a window of this process waits for: they stay listed while their device is
// gone, so that the window's own port stays where the window shows it. Each Await is ended by one Forget.
void AwaitPortName(const std::string& name);
void ForgetAwaitedPortName(const std::string& name);
bool PortNameAwaited(const std::string& name);

// The device a port name opens: a name beginning with "/" is a device path used as it is, and so is a
// remote port name; the device namespace prefix "\\.\" is ignored; a COM name is looked up in the table.
// Empty when the name is unknown.
std::string ResolvePortName(const std::string& name, const std::vector<PortEntry>& table);

// Whether a name can name a port at all, present or not: a device path, a remote port name, or a COM name,
// with or without the device namespace prefix. A new window's port placeholder is neither.
bool NamesAPort(const std::string& name);
