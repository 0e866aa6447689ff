#pragma once

#include <string>

// Why the user may not open a device, in words that say what to do. Empty when the user may read and write
// it, or when it does not exist (that is another failure). Otherwise the text names the device node and its
// group and, when the group may use the device, the command that makes the user a member.
struct DeviceAccessProblem {
    std::string node;    // the device node the path leads to, "/dev/ttyUSB0"
    std::string group;   // the node's group, "dialout"
    std::string fix;     // "sudo usermod -aG dialout $USER", empty when joining the group would not help
    std::string message; // the whole explanation for a message box
};

// Fills `problem` and returns true when the user is refused access to `device` (a path or a link to one).
bool FindDeviceAccessProblem(const std::string& device, DeviceAccessProblem& problem);
