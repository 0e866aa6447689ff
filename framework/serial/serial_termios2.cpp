// Rates without a speed constant need the kernel's second settings record. Its header clashes with the C
// library's <termios.h>, so this file includes only the kernel's and nothing that pulls in the other.
#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

#include "framework/serial/SerialTermios.h"

bool SetCustomBaudRate(int fd, DWORD baudRate) {
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return false;
    settings.c_cflag &= ~static_cast<unsigned>(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = baudRate;
    settings.c_ospeed = baudRate;
    if (ioctl(fd, TCSETS2, &settings) != 0)
        return false;
    DWORD held = 0;
    if (!GetCustomBaudRate(fd, held))
        return false;
    if (!CustomRateHeld(baudRate, held)) {
        errno = EINVAL;
        return false;
    }
    return true;
}

bool GetCustomBaudRate(int fd, DWORD& baudRate) {
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return false;
    baudRate = settings.c_ospeed;
    return true;
}
