#pragma once

#include "support/ScopedPortDirectory.h"
#include "support/TempDir.h"

#include <string>
#include <sys/types.h>
#include <vector>

// Starts the simulated serial device on a chosen COM number in a fresh port directory, which it makes the
// program's port directory for its lifetime. Stops the device at destruction.
// The mode arguments are those of kestrune-sim ("--pattern", "--rate", "0", ...); none gives demo lines.
class SimDevice {
public:
    explicit SimDevice(unsigned comNumber, const std::vector<std::string>& modeArguments = {});
    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    const std::string& comName() const { return m_comName; }
    const std::string& portDirectory() const { return m_dir.path(); }

    // Both return once the link is gone, or back again.
    void unplug();
    void replug();

private:
    bool waitForLink(bool present) const;

    TempDir m_dir;
    std::string m_comName;
    std::string m_linkPath;
    ScopedPortDirectory m_portDirectory;
    pid_t m_pid = -1;
};
