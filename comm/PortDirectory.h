#pragma once

#include <string>

// Where Kestrune's pinned ports live, shared by the program and the simulated device: $KESTRUNE_PORTS, else
// $XDG_CONFIG_HOME/kestrune/ports, else ~/.config/kestrune/ports.
std::string KestrunePortDirectory();

// What a pseudo-terminal port is: here, the simulated device.
extern const char kSimulatedPortDescription[];
