#pragma once

#include <string>

// The device end of a pseudo-terminal, registered in a port directory under a COM name. The terminal end
// is set to raw mode before the name appears, so a reader never meets a line discipline. Normally the
// simulator holds the terminal end open itself, so the terminal's settings survive between readers; a port
// that watches for its reader lets go of it instead, as only then does the device end tell whether anyone
// has the terminal open.
class SimulatedPort {
public:
    SimulatedPort(std::string directory, unsigned number, bool watchReader = false);
    ~SimulatedPort();
    SimulatedPort(const SimulatedPort&) = delete;
    SimulatedPort& operator=(const SimulatedPort&) = delete;

    // Creates a new pseudo-terminal and its link; false with a message on failure.
    bool Plug(std::string& error);
    // Removes the link and closes both ends: a reader sees the device hang up.
    void Unplug();
    bool Plugged() const { return m_master >= 0; }

    // The descriptor to write the device's output to (non-blocking), -1 while unplugged.
    int Master() const { return m_master; }
    const std::string& TerminalPath() const { return m_terminalPath; }
    const std::string& LinkPath() const { return m_linkPath; }
    // Whether a reader has the terminal end open; only known to a port that watches for its reader.
    bool ReaderPresent() const;

private:
    std::string m_directory;
    std::string m_linkPath;
    std::string m_terminalPath;
    bool m_watchReader;
    int m_master = -1;
    int m_terminal = -1;
};
