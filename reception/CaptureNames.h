#pragma once

#include <ctime>
#include <string>

// The names of capture files: a strftime pattern in which %p stands for the port, expanded at the moment a
// file starts, and numbered (-1, -2, ...) when the name is already taken.

// Replaces every %p of the pattern with the port name, made fit for a file name ('/' and control
// characters become '_', a '%' is doubled so strftime keeps it). "%%" stays as it is, so "%%p" remains a
// literal "%p" after expansion. Every other conversion is left for ExpandTimePattern.
std::string SubstitutePortName(const std::string& pattern, const std::string& port);

// Expands the strftime conversions of the pattern with the local time `when`. An empty pattern, or one
// whose expansion is empty or longer than a path may be, gives an empty name.
std::string ExpandTimePattern(const std::string& pattern, std::time_t when);

// The n-th alternative of a taken name: "dir/COM3-x.log" -> "dir/COM3-x-2.log" for n = 2. The number goes
// before the extension of the file name (a leading dot starts no extension); n = 0 gives the path itself.
std::string NumberedName(const std::string& path, unsigned n);

// Joins a folder and a file name: an empty folder, or a name that is already absolute, leaves the name.
std::string JoinCapturePath(const std::string& folder, const std::string& name);

// The name a new capture of the port is offered, as the program's default pattern gives it.
constexpr const char* kDefaultCaptureName = "%p-%Y%m%d-%H%M%S.log";
std::string ProposedCaptureName(const std::string& port, std::time_t when);
