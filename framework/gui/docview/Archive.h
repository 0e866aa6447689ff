#pragma once

#include "framework/core/UserException.h"
#include "framework/core/WinTypes.h"

#include <exception>

class CFile;
class CDocument;

// A failure of an archive itself (a file that ends early).
class CArchiveException : public std::exception {
public:
    enum Cause { none = 0, generic = 1, readOnly = 2, endOfFile = 3, writeOnly = 4 };
    explicit CArchiveException(int cause = none) : m_cause(cause) {}
    const char* what() const noexcept override { return "archive error"; }
    int m_cause;
};

// Serialization of a document to or from a file: raw bytes, no framing. The file stays the caller's.
class CArchive {
public:
    enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2 };

    CArchive(CFile* pFile, UINT nMode);
    ~CArchive() = default;
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    BOOL IsStoring() const { return (m_nMode & load) == 0; }
    BOOL IsLoading() const { return (m_nMode & load) != 0; }
    CFile* GetFile() const { return m_pFile; }

    // Reads up to nMax bytes; returns how many came (fewer only at the end of the file).
    UINT Read(void* lpBuf, UINT nMax);
    // Writes all nMax bytes or throws the file's exception.
    void Write(const void* lpBuf, UINT nMax);
    void Flush() {}
    void Close() { m_pFile = nullptr; }

    CDocument* m_pDocument = nullptr;

private:
    CFile* m_pFile;
    UINT m_nMode;
};
