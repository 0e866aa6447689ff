#include "framework/serial/SerialTermios.h"

#include <cstdint>
#include <termios.h>

namespace {

struct RateCode {
    DWORD rate;
    speed_t code;
};

constexpr RateCode kRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedCodeOfRate(DWORD rate, speed_t& code) {
    for (const RateCode& entry : kRates) {
        if (entry.rate == rate) {
            code = entry.code;
            return true;
        }
    }
    return false;
}

bool ParametersExpressible(const DCB& dcb) {
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS)
        return false;
    // The UART gives one and a half stop bits only with 5 data bits, and two only with more.
    if (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5)
        return false;
    if (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5)
        return false;
    return true;
}

} // namespace

void MakeRaw(termios& settings) {
    // IXON only lets the device's XON and XOFF pause our output, and nothing is ever sent: left on, the
    // terminal driver would swallow those two received bytes. Input flow control (IXOFF) stays as it was.
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                               IUCLC | IMAXBEL | IXON);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE |
                                               ICANON | ISIG | IEXTEN);
    settings.c_cflag |= CREAD;
    // One byte satisfies a read; the port is non-blocking, so an empty read returns at once.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
}

DWORD RateOfSpeedCode(unsigned speedCode) {
    for (const RateCode& entry : kRates) {
        if (entry.code == speedCode)
            return entry.rate;
    }
    return 0;
}

void TermiosToDcb(const termios& settings, DWORD baudRate, DCB& dcb) {
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = baudRate;
    switch (settings.c_cflag & CSIZE) {
    case CS5:
        dcb.ByteSize = 5;
        break;
    case CS6:
        dcb.ByteSize = 6;
        break;
    case CS7:
        dcb.ByteSize = 7;
        break;
    default:
        dcb.ByteSize = 8;
        break;
    }
    if (!(settings.c_cflag & PARENB))
        dcb.Parity = NOPARITY;
    else if (settings.c_cflag & CMSPAR)
        dcb.Parity = (settings.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        dcb.Parity = (settings.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    if (!(settings.c_cflag & CSTOPB))
        dcb.StopBits = ONESTOPBIT;
    else
        dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;

    const bool hardwareFlow = (settings.c_cflag & CRTSCTS) != 0;
    dcb.fBinary = 1;
    dcb.fParity = (settings.c_iflag & INPCK) ? 1 : 0;
    dcb.fOutxCtsFlow = hardwareFlow ? 1 : 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 1;
    dcb.fOutX = (settings.c_iflag & IXON) ? 1 : 0;
    dcb.fInX = (settings.c_iflag & IXOFF) ? 1 : 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = hardwareFlow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = 0;
    dcb.fDummy2 = 0;
    dcb.wReserved = 0;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.XonChar = static_cast<char>(settings.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(settings.c_cc[VSTOP]);
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    dcb.wReserved1 = 0;
}

bool DcbToTermios(const DCB& dcb, termios& settings, bool& customRate) {
    if (!ParametersExpressible(dcb))
        return false;
    speed_t code = B9600;
    customRate = !SpeedCodeOfRate(dcb.BaudRate, code);
    if (!customRate) {
        cfsetispeed(&settings, code);
        cfsetospeed(&settings, code);
    }

    tcflag_t& c = settings.c_cflag;
    c &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    c |= kSizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
    case ODDPARITY:
        c |= PARENB | PARODD;
        break;
    case EVENPARITY:
        c |= PARENB;
        break;
    case MARKPARITY:
        c |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        c |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.StopBits != ONESTOPBIT)
        c |= CSTOPB;

    // The flow-control fields come from the driver at open; writing them back keeps them as they were.
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        c |= CRTSCTS;
    else
        c &= ~static_cast<tcflag_t>(CRTSCTS);
    tcflag_t& i = settings.c_iflag;
    i = dcb.fOutX ? (i | IXON) : (i & ~static_cast<tcflag_t>(IXON));
    i = dcb.fInX ? (i | IXOFF) : (i & ~static_cast<tcflag_t>(IXOFF));
    i = dcb.fParity ? (i | INPCK) : (i & ~static_cast<tcflag_t>(INPCK));
    settings.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    settings.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    return true;
}

bool CustomRateHeld(DWORD asked, DWORD held) {
    const std::uint64_t difference = asked > held ? asked - held : held - asked;
    return difference * 100 <= static_cast<std::uint64_t>(asked) * 3;
}

bool SettingsHeld(const termios& asked, const termios& actual, bool frameFixed, bool customRate) {
    if (!customRate &&
        (cfgetospeed(&asked) != cfgetospeed(&actual) || cfgetispeed(&asked) != cfgetispeed(&actual)))
        return false;
    tcflag_t compared = CREAD | CSTOPB;
    if (!frameFixed)
        compared |= CSIZE | PARENB | PARODD | CMSPAR;
    return (asked.c_cflag & compared) == (actual.c_cflag & compared);
}
