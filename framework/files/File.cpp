#include "framework/files/File.h"

#include "framework/core/WinError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

CFileException::CFileException(int cause, int errnoValue, const CString& fileName)
    : m_cause(cause), m_lOsError(static_cast<LONG>(LastErrorFromErrno(errnoValue))), m_errno(errnoValue),
      m_strFileName(fileName) {
    BuildMessage();
}

void CFileException::BuildMessage() {
    const char* what = "An error occurred with";
    switch (m_cause) {
    case fileNotFound:
        what = "Could not find";
        break;
    case badPath:
        what = "The path is not valid for";
        break;
    case tooManyOpenFiles:
        what = "Too many files are open to open";
        break;
    case accessDenied:
        what = "Access was denied to";
        break;
    case invalidFile:
        what = "The handle is not valid for";
        break;
    case directoryFull:
        what = "The directory is full for";
        break;
    case badSeek:
        what = "Could not move the position in";
        break;
    case hardIO:
        what = "A device error occurred with";
        break;
    case sharingViolation:
        what = "Another user holds";
        break;
    case lockViolation:
        what = "A lock is held on";
        break;
    case diskFull:
        what = "The disk is full while writing";
        break;
    case endOfFile:
        what = "The end was reached early in";
        break;
    default:
        break;
    }
    m_message = CString(what) + " \"" + m_strFileName + "\"";
    if (m_errno != 0)
        m_message += CString(": ") + std::strerror(m_errno);
    m_message += ".";
}

BOOL CFileException::GetErrorMessage(char* lpszError, UINT nMaxError, UINT* pnHelpContext) const {
    if (pnHelpContext != nullptr)
        *pnHelpContext = 0;
    if (lpszError == nullptr || nMaxError == 0)
        return FALSE;
    if (m_cause == none) {
        lpszError[0] = '\0';
        return FALSE;
    }
    const size_t length = std::min<size_t>(m_message.size(), nMaxError - 1);
    std::memcpy(lpszError, m_message.data(), length);
    lpszError[length] = '\0';
    return TRUE;
}

int CFileException::CauseFromErrno(int errnoValue) {
    switch (errnoValue) {
    case 0:
        return none;
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return badPath;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return accessDenied;
    case EBADF:
        return invalidFile;
    case EBUSY:
        return removeCurrentDir;
    case EDQUOT:
    case ENOSPC:
        return diskFull;
    case ESPIPE:
    case EINVAL:
        return badSeek;
    case EIO:
        return hardIO;
    case EWOULDBLOCK:
        return sharingViolation;
    default:
        return genericException;
    }
}

void CFileException::ThrowErrno(int errnoValue, const CString& fileName) {
    throw CFileException(CauseFromErrno(errnoValue), errnoValue, fileName);
}

CFile::CFile(const char* lpszFileName, UINT nOpenFlags) {
    CFileException error;
    if (!Open(lpszFileName, nOpenFlags, &error))
        throw error;
}

CFile::~CFile() {
    Abort();
}

BOOL CFile::Open(const char* lpszFileName, UINT nOpenFlags, CFileException* pError) {
    const CString name = lpszFileName != nullptr ? lpszFileName : "";
    auto fail = [&](int errnoValue) {
        if (pError != nullptr)
            *pError = CFileException(CFileException::CauseFromErrno(errnoValue), errnoValue, name);
        return FALSE;
    };
    if (IsOpen() || name.empty())
        return fail(EINVAL);

    int flags = O_CLOEXEC;
    switch (nOpenFlags & 0x3) {
    case modeWrite:
        flags |= O_WRONLY;
        break;
    case modeReadWrite:
        flags |= O_RDWR;
        break;
    default:
        flags |= O_RDONLY;
        break;
    }
    if (nOpenFlags & modeCreate)
        flags |= O_CREAT;
    if (nOpenFlags & modeAppend)
        flags |= O_APPEND;
    const bool truncate =
        (nOpenFlags & modeCreate) && !(nOpenFlags & modeNoTruncate) && (nOpenFlags & 0x3) != 0;
    int fd;
    do {
        fd = ::open(name.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(errno);

    // A directory opens for reading on this platform but is no file to read or write.
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return fail(EISDIR);
    }

    int lockKind = 0;
    switch (nOpenFlags & 0x70) {
    case shareExclusive:
    case shareDenyRead:
        lockKind = LOCK_EX;
        break;
    case shareDenyWrite:
        lockKind = LOCK_SH;
        break;
    default:
        break;
    }
    if (lockKind != 0 && ::flock(fd, lockKind | LOCK_NB) != 0) {
        const int lockError = errno;
        ::close(fd);
        return fail(lockError);
    }

    // Emptying comes after the lock, so that a file that another holder has locked is not cut under it.
    if (truncate && ::ftruncate(fd, 0) != 0) {
        const int truncateError = errno;
        ::close(fd);
        return fail(truncateError);
    }
    m_hFile = fd;
    m_strFileName = name;
    return TRUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
    if (!IsOpen())
        CFileException::ThrowErrno(EBADF, m_strFileName);
    char* out = static_cast<char*>(lpBuf);
    UINT total = 0;
    while (total < nCount) {
        const ssize_t got = ::read(m_hFile, out + total, nCount - total);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            CFileException::ThrowErrno(errno, m_strFileName);
        }
        if (got == 0)
            break;
        total += static_cast<UINT>(got);
    }
    return total;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
    if (!IsOpen())
        CFileException::ThrowErrno(EBADF, m_strFileName);
    const char* in = static_cast<const char*>(lpBuf);
    UINT total = 0;
    while (total < nCount) {
        const ssize_t put = ::write(m_hFile, in + total, nCount - total);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            CFileException::ThrowErrno(errno, m_strFileName);
        }
        if (put == 0)
            CFileException::ThrowErrno(ENOSPC, m_strFileName);
        total += static_cast<UINT>(put);
    }
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
    if (!IsOpen())
        CFileException::ThrowErrno(EBADF, m_strFileName);
    const int whence = nFrom == current ? SEEK_CUR : nFrom == end ? SEEK_END : SEEK_SET;
    const off_t position = ::lseek(m_hFile, static_cast<off_t>(lOff), whence);
    if (position < 0)
        CFileException::ThrowErrno(errno, m_strFileName);
    return static_cast<ULONGLONG>(position);
}

ULONGLONG CFile::GetPosition() const {
    if (!IsOpen())
        CFileException::ThrowErrno(EBADF, m_strFileName);
    const off_t position = ::lseek(m_hFile, 0, SEEK_CUR);
    if (position < 0)
        CFileException::ThrowErrno(errno, m_strFileName);
    return static_cast<ULONGLONG>(position);
}

ULONGLONG CFile::GetLength() const {
    if (!IsOpen())
        CFileException::ThrowErrno(EBADF, m_strFileName);
    struct stat info {};
    if (::fstat(m_hFile, &info) != 0)
        CFileException::ThrowErrno(errno, m_strFileName);
    return static_cast<ULONGLONG>(info.st_size);
}

void CFile::SetLength(ULONGLONG dwNewLen) {
    if (!IsOpen())
        CFileException::ThrowErrno(EBADF, m_strFileName);
    int result;
    do {
        result = ::ftruncate(m_hFile, static_cast<off_t>(dwNewLen));
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        CFileException::ThrowErrno(errno, m_strFileName);
}

void CFile::Flush() {
    if (!IsOpen())
        return;
    if (::fsync(m_hFile) != 0 && errno != EINVAL && errno != EROFS)
        CFileException::ThrowErrno(errno, m_strFileName);
}

void CFile::Close() {
    if (!IsOpen())
        return;
    const int fd = m_hFile;
    m_hFile = hFileNull;
    // The descriptor is released even when close reports an error; retrying could close another file.
    if (::close(fd) != 0 && errno != EINTR)
        CFileException::ThrowErrno(errno, m_strFileName);
}

void CFile::Abort() {
    if (!IsOpen())
        return;
    ::close(m_hFile);
    m_hFile = hFileNull;
}

void CFile::Rename(const char* lpszOldName, const char* lpszNewName) {
    if (::rename(lpszOldName, lpszNewName) != 0)
        CFileException::ThrowErrno(errno, lpszOldName);
}

void CFile::Remove(const char* lpszFileName) {
    if (::unlink(lpszFileName) != 0)
        CFileException::ThrowErrno(errno, lpszFileName);
}
