#pragma once

// Names the calling thread as the system's tools show it (top -H, ps -L, a debugger,
// /proc/<pid>/task/*/comm), so that a user or a benchmark can tell which of the program's threads spends the
// time. The kernel keeps 15 bytes; a longer name is cut there.
void NameCurrentThread(const char* name);
