#include "framework/core/WinError.h"

#include <cerrno>
#include <cstring>

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;
thread_local int lastErrno = 0;
thread_local std::string lastReason;

int ErrnoNearestTo(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
        return ENOENT;
    case ERROR_PATH_NOT_FOUND:
        return ENOTDIR;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_NOT_ENOUGH_MEMORY:
        return ENOMEM;
    case ERROR_SHARING_VIOLATION:
        return EBUSY;
    case ERROR_INVALID_PARAMETER:
    case ERROR_BAD_COMMAND:
        return EINVAL;
    case ERROR_INSUFFICIENT_BUFFER:
        return ENOBUFS;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_OPERATION_ABORTED:
        return EINTR;
    default:
        return EIO;
    }
}

} // namespace

DWORD GetLastError() {
    return lastError;
}

int GetLastErrno() {
    return lastErrno;
}

void SetLastError(DWORD code, int errnoValue) {
    lastError = code;
    lastErrno = errnoValue;
    lastReason.clear();
}

void SetLastError(DWORD code, int errnoValue, const std::string& reason) {
    lastError = code;
    lastErrno = errnoValue;
    lastReason = reason;
}

std::string GetLastErrorReason() {
    return lastReason;
}

void SetLastErrorFromErrno(int errnoValue) {
    SetLastError(LastErrorFromErrno(errnoValue), errnoValue);
}

std::string ErrorReason(DWORD code, int errnoValue) {
    if (errnoValue == 0 && code == ERROR_SUCCESS)
        return std::string();
    // The reentrant form: reports are worded on reception threads too.
    char buffer[128];
    return strerror_r(errnoValue != 0 ? errnoValue : ErrnoNearestTo(code), buffer, sizeof buffer);
}

DWORD LastErrorFromErrno(int errnoValue) {
    switch (errnoValue) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
    case ENOTTY:
        return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EINTR:
        return ERROR_OPERATION_ABORTED;
    default:
        return ERROR_GEN_FAILURE;
    }
}
