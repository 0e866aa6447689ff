#pragma once

#include "framework/serial/Dcb.h"

struct termios;

// The mapping between the serial control block and a POSIX terminal's settings, and the raw mode a serial
// port needs. A serial port of the desktop platform has no line discipline, so at open the terminal is put
// in raw mode: no canonical input, no echo, no translation in either direction, no signal characters.
// Flow control and modem control stay as the driver had them.

// Raw mode over the given settings, keeping flow control (CRTSCTS, IXON, IXOFF) and modem control (CLOCAL,
// HUPCL) as they are.
void MakeRaw(termios& settings);

// Fills the control block from the terminal's settings; `baudRate` is the rate in bits per second.
void TermiosToDcb(const termios& settings, DWORD baudRate, DCB& dcb);

// The settings of the control block over the current ones. Refuses what the platform cannot express
// (byte size outside 5..8, parity above 4, stop bits above 2, one and a half stop bits except with 5 data
// bits, two stop bits with 5 data bits, a rate of 0) by returning false. `customRate` tells whether the
// rate has no speed constant and must be set separately (SetCustomBaudRate).
bool DcbToTermios(const DCB& dcb, termios& settings, bool& customRate);

// Whether the device holds what was asked, read back after the settings were applied: the speed (unless
// it is a rate without a speed constant, set separately), the reception switch, the stop bits and, unless
// `frameFixed` says the device keeps its own (a pseudo-terminal has 8 data bits and no parity whatever
// it is asked), the character size and parity. Flow control is not compared: it is the driver's.
bool SettingsHeld(const termios& asked, const termios& actual, bool frameFixed, bool customRate);

// The rate of a speed constant, 0 for a code without one (such as the "other rate" code).
DWORD RateOfSpeedCode(unsigned speedCode);

// Whether a device asked for a rate without a speed constant holds it, from the rate its driver reports
// afterwards. A driver takes what it cannot run at without failing the call: it reports the rate its divisor
// gives, which may be off by a little (held), or falls back to another rate altogether (not held). Off by
// more than 3 percent, a receiver no longer frames the bytes.
bool CustomRateHeld(DWORD asked, DWORD held);

// Rates without a speed constant, through the kernel's second settings interface. Both set errno on failure;
// setting a rate the device does not hold (CustomRateHeld) fails with EINVAL.
bool SetCustomBaudRate(int fd, DWORD baudRate);
bool GetCustomBaudRate(int fd, DWORD& baudRate);
