#pragma once

#include "framework/core/WinTypes.h"

// A logical font description with the desktop platform's layout: five 32-bit values, eight byte-sized
// attributes and a NUL-terminated face name of at most 31 characters, 60 bytes in all.
constexpr int LF_FACESIZE = 32;

struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];
};

static_assert(sizeof(LOGFONTA) == 60, "LOGFONTA keeps the platform's 60-byte layout");

// Values of the attribute fields, as the platform numbers them.
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_MODERN = 0x30;
