#pragma once

#include "framework/core/WinTypes.h"

#include <string>

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

// The calling thread's last error, as the device calls leave it, with the errno behind it (0 when the
// error did not come from a system call), so that a report can give the system's own reason.
DWORD GetLastError();
int GetLastErrno();
void SetLastError(DWORD code, int errnoValue = 0);
// The same with the reason in words, for a failure that no errno describes well ("name not found" for a
// host that does not resolve); any other SetLastError clears it.
void SetLastError(DWORD code, int errnoValue, const std::string& reason);
// The reason given with the last error; empty when none was.
std::string GetLastErrorReason();

// Maps a POSIX errno value to the nearest platform error code.
DWORD LastErrorFromErrno(int errnoValue);
// Sets the last error from a failed system call's errno.
void SetLastErrorFromErrno(int errnoValue);

// The system's reason for an error, as strerror words it: that of the errno behind it, else that of the
// errno nearest to the code. Empty for no error.
std::string ErrorReason(DWORD code, int errnoValue);
