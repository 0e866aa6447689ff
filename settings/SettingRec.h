#pragma once

#include "framework/core/WinTypes.h"

#include <string>

// Serial parameters of one window, with the platform's parity and stop-bits codes.
struct CommSettingRec {
    std::string port;  // such as "COM1"
    DWORD baud = 9600; // bits per second
    BYTE byteSize = 8; // data bits
    BYTE parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    BYTE stopBit = 0;  // 0 one, 1 one and a half, 2 two
};

// Terminal settings of one window. Copied whole between threads, never half-updated.
struct TermSettingRec {
    DWORD nbMaxiByte = 0;        // buffer loop in units of 1024 characters, 0 for none (see ClampBufferLoop)
    int bLF = 0;                 // show a received LF as CR LF
    int bCR = 0;                 // show a received CR as CR LF
    int bTimestamp = 0;          // prefix data that follows a quiet period with a timestamp
    std::string timestampFormat; // strftime conversions
    DWORD timestampInterval = 0; // minimum quiet time before a new timestamp, milliseconds
    int bTimestampEachLine = 0;  // with bTimestamp: a timestamp opens every line instead
    int bFilteredByte = 0;       // remove the bytes of FilteredBytesList
    std::string FilteredBytesList; // "\x07\x00" style list of bytes
    DWORD autoSaveDelay = 0;       // seconds between automatic saves, 0 for none
};

// Automatic capture of every window to a file, from section "CAPTURE" of the INI file.
struct CaptureSettingRec {
    int bAutoCapture = 0;                             // every window captures from its connection on
    std::string folder = ".";                         // where the files go
    std::string namePattern = "%p-%Y%m%d-%H%M%S.log"; // strftime, %p the port name
    int bRaw = 0;                                     // the bytes as received, else the text as shown
    int bAppend = 0;                                  // an existing file is added to, else replaced
    DWORD rollSizeMB = 0;                             // a new file when one reaches this size; 0 never
};

// The largest buffer loop, in units of 1024 characters: the terminal view holds at most 1,048,575
// characters, and what a window saves must open again, so the loop keeps at most 1023 x 1024 of them.
constexpr DWORD kLargestBufferLoop = 1023;

// A buffer loop size as it is used: 1 to kLargestBufferLoop. 0 ("no limit") means the largest loop, since an
// unbounded buffer would be saved into a file too large to be opened again.
constexpr DWORD ClampBufferLoop(DWORD kilobytes) {
    return kilobytes == 0 || kilobytes > kLargestBufferLoop ? kLargestBufferLoop : kilobytes;
}

// How a terminal view reads the bytes it shows (INI section TERM, keys Encoding and Escapes). Only the
// presentation changes: what a window keeps and saves is always the bytes received.
struct ViewReadingRec {
    enum Escapes { kColours, kHide, kShow };
    bool utf8 = true;           // UTF-8 characters, else one Windows-1252 character per byte
    Escapes escapes = kColours; // escape sequences coloured, hidden or shown byte by byte
};
