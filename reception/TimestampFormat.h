#pragma once

#include "framework/core/WinTypes.h"

#include <chrono>
#include <ctime>

// The text of a timestamp. The format comes from the INI file or the terminal settings dialog: the
// strftime conversions, and %L for the milliseconds (000 to 999) of the same clock reading, which strftime
// has no conversion for. "%%L" stays the two characters "%L", as "%%" is a plain percent sign.

// A timestamp never exceeds this many characters; a longer or an empty expansion gives an empty text.
constexpr std::size_t kLongestTimestamp = 127;

// Expands the format for a local calendar time and the milliseconds within its second.
CString ExpandTimestampFormat(const CString& format, const std::tm& local, unsigned milliseconds);

// Expands the format for one reading of the system's calendar clock, in local time.
CString FormatTimestampAt(const CString& format, std::chrono::system_clock::time_point when);
