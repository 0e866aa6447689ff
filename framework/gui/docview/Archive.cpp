#include "framework/gui/docview/Archive.h"

#include "framework/files/File.h"

CArchive::CArchive(CFile* pFile, UINT nMode) : m_pFile(pFile), m_nMode(nMode) {}

UINT CArchive::Read(void* lpBuf, UINT nMax) {
    if (IsStoring())
        throw CArchiveException(CArchiveException::writeOnly);
    char* out = static_cast<char*>(lpBuf);
    UINT total = 0;
    // A file may hand over less than asked before its end; keep reading until it reports the end.
    while (total < nMax) {
        const UINT got = m_pFile->Read(out + total, nMax - total);
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

void CArchive::Write(const void* lpBuf, UINT nMax) {
    if (IsLoading())
        throw CArchiveException(CArchiveException::readOnly);
    if (nMax != 0)
        m_pFile->Write(lpBuf, nMax);
}
