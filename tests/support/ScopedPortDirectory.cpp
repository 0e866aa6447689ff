#include "support/ScopedPortDirectory.h"

#include "framework/serial/PortTable.h"

#include <cstdlib>

ScopedPortDirectory::ScopedPortDirectory(const std::string& directory)
    : m_previousDirectory(PortDirectory()) {
    if (const char* previous = std::getenv("KESTRUNE_PORTS")) {
        m_hadVariable = true;
        m_previousVariable = previous;
    }
    ::setenv("KESTRUNE_PORTS", directory.c_str(), 1);
    SetPortDirectory(directory);
}

ScopedPortDirectory::~ScopedPortDirectory() {
    SetPortDirectory(m_previousDirectory);
    if (m_hadVariable)
        ::setenv("KESTRUNE_PORTS", m_previousVariable.c_str(), 1);
    else
        ::unsetenv("KESTRUNE_PORTS");
}
