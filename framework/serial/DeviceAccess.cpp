#include "framework/serial/DeviceAccess.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

bool FindDeviceAccessProblem(const std::string& device, DeviceAccessProblem& problem) {
    char resolved[PATH_MAX];
    struct stat info {};
    if (device.empty() || realpath(device.c_str(), resolved) == nullptr || stat(resolved, &info) != 0)
        return false;
    // The rights of the real user, which are the ones a desktop program runs with.
    if (access(resolved, R_OK | W_OK) == 0 || (errno != EACCES && errno != EPERM))
        return false;
    problem.node = resolved;
    const group* owner = getgrgid(info.st_gid);
    problem.group = owner != nullptr ? owner->gr_name : std::to_string(info.st_gid);
    const bool groupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    problem.fix =
        groupMayUse && owner != nullptr ? "sudo usermod -aG " + problem.group + " $USER" : std::string();
    problem.message = "Permission denied on " + problem.node + " (group " + problem.group + ").";
    if (!problem.fix.empty())
        problem.message +=
            " To use serial ports, join the group: " + problem.fix + ", then log out and log in again.";
    else
        problem.message +=
            " Its group may not use it either: ask the administrator for access to the device.";
    return true;
}
