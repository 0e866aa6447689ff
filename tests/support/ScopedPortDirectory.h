#pragma once

#include <string>

// Makes a folder the port directory for its lifetime: the port table of this process reads it, and
// $KESTRUNE_PORTS names it to the programs the test starts. Both come back as they were at destruction.
class ScopedPortDirectory {
public:
    explicit ScopedPortDirectory(const std::string& directory);
    ~ScopedPortDirectory();
    ScopedPortDirectory(const ScopedPortDirectory&) = delete;
    ScopedPortDirectory& operator=(const ScopedPortDirectory&) = delete;

private:
    std::string m_previousDirectory;
    std::string m_previousVariable;
    bool m_hadVariable = false;
};
