#pragma once

#include "framework/core/WinTypes.h"

#include <string>

struct LOGFONTA;

// Turns a list such as "\x07\x00" into bytes: one byte per token between "\x" delimiters, each the low
// eight bits of the token's leading hexadecimal number (0 when it has none). *buf must be null on entry
// (a programming error otherwise, stopped by an assertion); on return it points to a new array of exactly
// *count bytes made with new[], which the caller releases with delete[].
void HexaStringToBytes(const std::string& list, BYTE** buf, DWORD* count);

// The value of the hexadecimal number at the start of text, after an optional "0x" or "0X"; 0 when there is
// none. The value is kept in 32 bits: digits past the eighth push the leading ones out.
int HexaTCharToInt(const char* text);

// Describes the stock font stockId (the terminal views pass SYSTEM_FIXED_FONT). The font is only borrowed
// from the platform; an identifier that names no font leaves the structure as it was.
void GetSystemLogFont(UINT stockId, LOGFONTA* logFont);
