#pragma once

#include "framework/core/UIntArray.h"

#include <map>
#include <string>

// Fills `ports` with the numbers of the serial ports present (1 for COM1), and nothing else: old content
// is removed first. With a readable device table the numbers come in table order; otherwise every number
// from 1 to 255 is probed by opening it, and ports that refuse as busy or failing count as present.
// Raises nothing: a platform failure gives a shorter or empty list.
void EnumerateSerialPorts(CUIntArray& ports);

// What each port present is, by COM name: "COM3" -> "/dev/ttyUSB0: FTDI FT232R USB UART, serial A10K".
// The names are those that EnumerateSerialPorts numbers.
std::map<std::string, std::string> DescribeSerialPorts();

// What a port name opens (a COM name, a device path or a remote port name), in the same words; "not
// present" for a COM name that no device has.
std::string DescribeSerialPort(const std::string& name);

// DescribeSerialPort for a caller that asks again and again (a status pane refreshed at every idle pass):
// the words for the same name are read again at most every ten seconds (a replugged adapter shows its own
// within that). User-interface thread only.
std::string RecentPortDescription(const std::string& name);

// Whether a port name (a remote port name, or a COM name whose link points at one) opens a port on another
// machine, whose connection may take seconds.
bool IsRemotePort(const std::string& name);

struct DeviceAccessProblem;

// Whether the user is refused access to the device that a port name opens (see FindDeviceAccessProblem).
bool FindPortAccessProblem(const std::string& name, DeviceAccessProblem& problem);
