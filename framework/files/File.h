#pragma once

#include "framework/core/WinTypes.h"

#include <cstdint>
#include <exception>

using ULONGLONG = std::uint64_t;
using LONGLONG = std::int64_t;

// A failed file operation: what kind of failure, the platform error code and the errno behind it, and the
// file it concerns. what() and GetErrorMessage give a sentence that names the file and the system's reason.
class CFileException : public std::exception {
public:
    enum Cause {
        none = 0,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    CFileException() = default;
    CFileException(int cause, int errnoValue, const CString& fileName);

    // Copies the description, cut to nMaxError - 1 characters and NUL-terminated. FALSE when there is no
    // failure to describe (cause none) or no room at all.
    BOOL GetErrorMessage(char* lpszError, UINT nMaxError, UINT* pnHelpContext = nullptr) const;
    const char* what() const noexcept override { return m_message.c_str(); }

    // The cause that an errno value stands for.
    static int CauseFromErrno(int errnoValue);
    // Throws the exception for a failed system call on fileName.
    [[noreturn]] static void ThrowErrno(int errnoValue, const CString& fileName);

    int m_cause = none;
    LONG m_lOsError = 0; // the platform error code (ERROR_ACCESS_DENIED and so on)
    int m_errno = 0;     // the system's own error number
    CString m_strFileName;

private:
    void BuildMessage();
    CString m_message;
};

// A file on disk, read and written as bytes. Open reports failure through its result; every operation on an
// open file throws CFileException when it fails. Sharing modes are advisory locks (flock) that only other
// users of this class, or of flock, observe: exclusive and deny-read take an exclusive lock, deny-write a
// shared one, deny-none none.
class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeAppend = 0x0100, // every write goes to the end of the file in one step, whoever else writes
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };
    static constexpr int hFileNull = -1;

    CFile() = default;
    // Opens at once; throws CFileException when the file cannot be opened.
    CFile(const char* lpszFileName, UINT nOpenFlags);
    // Closes the file if it is still open, ignoring any failure: nothing could handle it here.
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens a file (closing none: the object must not hold one). FALSE on failure, with the reason in
    // pError when given. modeCreate without modeNoTruncate empties an existing file.
    virtual BOOL Open(const char* lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    // Reads up to nCount bytes; fewer only at the end of the file.
    virtual UINT Read(void* lpBuf, UINT nCount);
    // Writes all nCount bytes.
    virtual void Write(const void* lpBuf, UINT nCount);
    virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    // Cuts or extends the file; the position stays where it was.
    virtual void SetLength(ULONGLONG dwNewLen);
    // Pushes the written bytes to the disk.
    virtual void Flush();
    // Closes the file; throws when the system reports a failure (the handle is released all the same).
    virtual void Close();
    // Closes the file without reporting anything.
    virtual void Abort();

    BOOL IsOpen() const { return m_hFile != hFileNull; }
    const CString& GetFilePath() const { return m_strFileName; }

    // Renames a file, replacing one that has the new name in a single step: readers see either the old or
    // the new file, never a half-written one. Throws CFileException on failure.
    static void Rename(const char* lpszOldName, const char* lpszNewName);
    static void Remove(const char* lpszFileName);

    int m_hFile = hFileNull;

protected:
    CString m_strFileName;
};
