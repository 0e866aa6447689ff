#include "comm/PortDirectory.h"

#include <cstdlib>

const char kSimulatedPortDescription[] = "pseudo terminal (simulator)";

std::string KestrunePortDirectory() {
    if (const char* ports = std::getenv("KESTRUNE_PORTS"); ports && *ports)
        return ports;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/kestrune/ports";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/kestrune/ports";
}
