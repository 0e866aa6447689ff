#pragma once

// The plain types and constants that the application's classes are written against, with the widths and
// values of the desktop platform they were designed for.

#include <cstdint>
#include <string>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Text in the classes is bytes: a std::string holds any byte, NUL included. Qt's QString appears only at
// the widget boundary.
using CString = std::string;
