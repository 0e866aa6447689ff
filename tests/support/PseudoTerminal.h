#pragma once

#include <string>

// A pseudo-terminal standing in for a serial device: the program opens the slave by its path, the test
// writes what the device sends to the master.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The slave's device path, such as "/dev/pts/3".
    const std::string& path() const { return m_path; }
    // Sends bytes as the device would; all of them or throws.
    void Send(const std::string& bytes);

private:
    int m_master = -1;
    std::string m_path;
};
