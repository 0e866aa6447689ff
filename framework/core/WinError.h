#pragma once

#include "framework/core/WinTypes.h"

// Platform error codes, numbered as the desktop platform numbers them, so that callers can test them the
// way the classes expect.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_BAD_COMMAND = 22;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;

// The calling thread's last error, as the device calls leave it.
DWORD GetLastError();
void SetLastError(DWORD code);

// Maps a POSIX errno value to the nearest platform error code.
DWORD LastErrorFromErrno(int errnoValue);
